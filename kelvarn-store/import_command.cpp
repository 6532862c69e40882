#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "Connection.h"
#include "Identity.h"
#include "RowWriter.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoreFile.h"
#include "Texts.h"
#include "commands.h"
#include "export_reader.h"
#include "mdb_error.h"
#include "mdb_reader.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

using Accounts = std::vector<exporting::ReadAccount>;

// The whole of the file at path; std::bad_alloc when it does not fit in memory.
std::string readFile(const std::string& path) {
  // Non-blocking, so that a FIFO cannot hang the import.
  const struct File {
    int fd;
    ~File() {
      if (fd >= 0) ::close(fd);
    }
  } file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
  const char* fault =
      file.fd < 0 && errno == ENOENT ? texts::kImportMissing : texts::kImportUnreadable;
  struct stat info {};
  std::string text;
  ssize_t got = -1;
  if (file.fd >= 0 && ::fstat(file.fd, &info) == 0 && S_ISREG(info.st_mode)) {
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[1 << 16];
    while ((got = ::read(file.fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
  }
  if (got < 0) throw legacy::ImportError(store::fillText(fault, path));
  return text;
}

// The accounts of the file at path, told apart by content: an old Access file by its header,
// an export of kelvarn-store by its first bytes.
Accounts readSource(const std::string& path) {
  if (store::fileKind(path) == store::FileKind::Access) {
    Accounts accounts;
    for (legacy::Account& row : legacy::readAccounts(path))
      std::ranges::move(row, accounts.emplace_back().fields.begin());
    return accounts;
  }
  try {
    const std::string text = readFile(path);
    if (const auto format = exporting::formatOf(text))
      return exporting::readExport(text, *format, path);
  } catch (const std::bad_alloc&) {
    throw legacy::ImportError(store::fillText(texts::kImportTooBig, path));
  }
  throw legacy::ImportError(store::fillText(texts::kImportNotOurs, path));
}

std::string upper(std::string hex) {
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return hex;
}

// Into a protected store the accounts go in sealed, as the windows write them.
// Returns how many were added.
std::size_t insertAll(const std::string& target, const Accounts& accounts,
                      PassphraseSource& passphrases) {
  std::size_t added = 0;
  store::Connection cn;
  openStore(cn, target);
  passphrases.unlock(cn);
  store::inTransaction(cn, [&] {
    store::RowWriter writer(cn);
    // An account already there (the same identity) is not added twice.
    const std::vector<std::string> present =
        store::firstColumn(cn, std::string("SELECT hex(") + store::kIdentity + ") FROM 账号集合");
    std::unordered_set<std::string> known(present.begin(), present.end());
    for (const exporting::ReadAccount& account : accounts) {
      std::string identity;
      if (account.identity) {
        if (!known.insert(upper(*account.identity)).second) continue;
        identity.resize(store::kIdentitySize);
        sodium_hex2bin(reinterpret_cast<unsigned char*>(identity.data()), identity.size(),
                       account.identity->data(), account.identity->size(), nullptr, nullptr,
                       nullptr);
      }
      writer.insert(account.fields, store::RowWriter::kAll, identity);
      ++added;
    }
    return true;
  });
  return added;
}

void removeStore(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

// Creates the store when absent (and removes it again if the rows cannot go in).
std::size_t appendAccounts(const std::string& target, const Accounts& accounts,
                           PassphraseSource& passphrases) {
  if (store::fileKind(target) != store::FileKind::Missing)
    return insertAll(target, accounts, passphrases);
  store::createStore(target);
  try {
    return insertAll(target, accounts, passphrases);
  } catch (...) {
    removeStore(target);
    throw;
  }
}

}  // namespace

int runImport(int argc, char** argv) {
  std::vector<char*> words(argv, argv + argc);
  PassphraseSource passphrases;
  if (!passphrases.takeOption(words) || words.size() != 2) {
    say(texts::kImportUsage);
    return 2;
  }
  const std::string source = words[0];
  const std::string target = words[1];
  try {
    // Everything is read before the store is touched.
    const Accounts accounts = readSource(source);
    const std::size_t added = appendAccounts(target, accounts, passphrases);
    say(store::fillText(texts::kImportDone, std::to_string(added), target));
    return 0;
  } catch (const legacy::ImportError& error) {
    say(error.what());
  } catch (const PassphraseError& error) {
    say(error.what());
  } catch (const store::StoreError& error) {
    say(error.description());
  }
  say(store::fillText(texts::kImportAborted, target));
  return 1;
}
