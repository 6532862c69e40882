#include <cstdio>
#include <string>
#include <vector>

#include "Connection.h"
#include "RowWriter.h"
#include "Sql.h"
#include "StoreError.h"
#include "StoreFile.h"
#include "Texts.h"
#include "commands.h"
#include "mdb_error.h"
#include "mdb_reader.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

// Into a protected store the accounts go in sealed, as the windows write them.
void insertAll(const std::string& target, const std::vector<legacy::Account>& accounts,
               PassphraseSource& passphrases) {
  store::Connection cn;
  openStore(cn, target);
  passphrases.unlock(cn);
  store::inTransaction(cn, [&] {
    store::RowWriter writer(cn);
    for (const legacy::Account& account : accounts)
      writer.insert({account[0], account[1], account[2], account[3], account[4]});
    return true;
  });
}

void removeStore(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

// Creates the store when absent (and removes it again if the rows cannot go in).
void appendAccounts(const std::string& target, const std::vector<legacy::Account>& accounts,
                    PassphraseSource& passphrases) {
  if (store::fileKind(target) != store::FileKind::Missing)
    return insertAll(target, accounts, passphrases);
  store::createStore(target);
  try {
    insertAll(target, accounts, passphrases);
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
    const std::vector<legacy::Account> accounts = legacy::readAccounts(source);
    appendAccounts(target, accounts, passphrases);
    say(store::fillText(texts::kImportDone, std::to_string(accounts.size()), target));
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
