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

// One line from fd, without its line break; false at the end of the input before any. The whole
// line is read, so that nothing typed is left for the shell, but only as much of it is kept as
// can be a passphrase, in room taken at once: no copy of it is left behind in freed memory.
bool readLine(int fd, std::string& line) {
  line.reserve(store::kMaxPassphraseBytes + 1);
  char c = 0;
  ssize_t got = 0;
  bool any = false;
  while ((got = ::read(fd, &c, 1)) == 1 && c != '\n') {
    any = true;
    if (line.size() <= store::kMaxPassphraseBytes) line += c;  // one more says: too long
  }
  return got == 1 || any;
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

store::Secret PassphraseSource::read(const char* prompt, bool isNew) {
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
  const char* problem = store::passphraseProblem(line, isNew);
  sodium_memzero(line.data(), line.size());
  if (problem) throw PassphraseError(problem);
  return secret;
}

store::Secret PassphraseSource::readNew() {
  store::Secret first = read(texts::kAskNewPassphrase, true);
  if (fd_ < 0 && !(read(texts::kAskNewPassphraseAgain, true) == first))
    throw PassphraseError(texts::kPassphraseMismatch);
  return first;
}

std::optional<store::Secret> PassphraseSource::unlock(store::Connection& cn,
                                                      const store::Connection::Fields& readAhead) {
  if (!cn.isProtected()) return std::nullopt;
  store::Secret passphrase = read(texts::kAskPassphrase, false);
  if (!cn.unlock(passphrase, readAhead)) throw PassphraseError(texts::kPassphraseWrong);
  return passphrase;
}
