#include "passphrase_input.h"

#include <fcntl.h>
#include <sodium.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "Connection.h"
#include "Texts.h"

namespace {

// One line from fd, without its line break; false at the end of the input before any.
bool readLine(int fd, std::string& line) {
  char c = 0;
  ssize_t got = 0;
  while ((got = ::read(fd, &c, 1)) == 1 && c != '\n') line += c;
  return got == 1 || !line.empty();
}

}  // namespace

bool PassphraseSource::takeOption(std::vector<char*>& words) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (std::strcmp(words[i], "--passphrase-fd") != 0) continue;
    char* end = nullptr;
    if (i + 1 == words.size() ||
        (fd_ = static_cast<int>(std::strtol(words[i + 1], &end, 10))) < 0 || *end != '\0' ||
        end == words[i + 1])
      return false;
    words.erase(words.begin() + static_cast<long>(i), words.begin() + static_cast<long>(i) + 2);
    return true;
  }
  return true;
}

store::Secret PassphraseSource::read(const char* prompt) {
  std::string line;
  bool got = false;
  if (fd_ >= 0) {
    got = readLine(fd_, line);
  } else if (const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC); tty >= 0) {
    termios saved{};
    const bool quiet = tcgetattr(tty, &saved) == 0;
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (quiet) tcsetattr(tty, TCSANOW, &silent);
    ::write(tty, prompt, std::strlen(prompt));
    got = readLine(tty, line);
    if (quiet) tcsetattr(tty, TCSANOW, &saved);
    ::write(tty, "\n", 1);
    ::close(tty);
  }
  if (!got) throw PassphraseError(texts::kPassphraseUnreadable);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  store::Secret secret(line);
  sodium_memzero(line.data(), line.size());
  if (secret.size() == 0) throw PassphraseError(texts::kPassphraseEmpty);
  return secret;
}

store::Secret PassphraseSource::readNew() {
  store::Secret first = read(texts::kAskNewPassphrase);
  if (fd_ < 0 && !(read(texts::kAskNewPassphraseAgain) == first))
    throw PassphraseError(texts::kPassphraseMismatch);
  return first;
}

void PassphraseSource::unlock(store::Connection& cn) {
  if (cn.isProtected() && !cn.unlock(read(texts::kAskPassphrase)))
    throw PassphraseError(texts::kPassphraseWrong);
}
