#include <string>
#include <vector>

#include "Connection.h"
#include "Merge.h"
#include "Sql.h"
#include "StoreError.h"
#include "Texts.h"
#include "commands.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

// The other copy opens with the store's key when both have the same key table, else with the
// store's passphrase, else with its own.
void unlockOther(store::Connection& other, const store::Connection& cn,
                 const std::optional<store::Secret>& passphrase, PassphraseSource& passphrases) {
  if (!other.isProtected() || other.borrowKey(cn) || (passphrase && other.unlock(*passphrase)))
    return;
  const std::string prompt = store::fillText(texts::kAskOtherPassphrase, other.path());
  if (!other.unlock(passphrases.read(prompt.c_str(), false)))
    throw PassphraseError(texts::kPassphraseWrong);
}

}  // namespace

int runMerge(int argc, char** argv) {
  std::vector<char*> words(argv, argv + argc);
  PassphraseSource passphrases;
  if (!passphrases.takeOption(words) || words.size() != 2) {
    say(texts::kMergeUsage);
    return 2;
  }
  const std::string source = words[0];
  const std::string target = words[1];
  try {
    store::Connection other, cn;
    openStore(other, source, store::Connection::Access::ReadOnly);
    openStore(cn, target);
    const std::optional<store::Secret> passphrase = passphrases.unlock(cn);
    unlockOther(other, cn, passphrase, passphrases);
    const store::MergeCounts done = store::inTransaction(cn, [&] {
      cn.prepareIdentities();
      return store::mergeStores(cn, other);
    });
    say(store::fillText(texts::kMergeDone,
                        {source, target, std::to_string(done.added), std::to_string(done.updated),
                         std::to_string(done.deleted), std::to_string(done.copies)}));
    return 0;
  } catch (const PassphraseError& error) {
    say(error.what());
  } catch (const store::StoreError& error) {
    say(error.description());
  }
  say(store::fillText(texts::kMergeAborted, target));
  return 1;
}
