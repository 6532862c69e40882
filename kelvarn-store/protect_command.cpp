#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Connection.h"
#include "Protection.h"
#include "StoreError.h"
#include "Texts.h"
#include "commands.h"
#include "passphrase_input.h"
#include "tool.h"

namespace {

enum class Conversion { Protect, Unprotect, Passphrase };

// One conversion of a whole store: exit code 0 when done, 1 (said why) when not, 2 for a
// wrong call.
int convert(Conversion conversion, int argc, char** argv) {
  std::vector<char*> words(argv, argv + argc);
  PassphraseSource passphrases;
  if (!passphrases.takeOption(words) || words.size() != 1) {
    std::fputs(texts::kStoreToolUsage, stderr);
    return 2;
  }
  const std::string path = words[0];
  try {
    store::Connection cn;
    openStore(cn, path);
    // A store whose contents alone are sealed is protected, but can still be sealed whole.
    const bool already =
        conversion == Conversion::Protect ? cn.form() == store::Form::Whole : !cn.isProtected();
    if (already)
      throw store::StoreError(
          store::errnum::kProtection,
          store::fillText(cn.isProtected() ? texts::kStoreProtected : texts::kStoreNotProtected,
                          path));
    const std::optional<store::Secret> passphrase = passphrases.unlock(cn);
    if (conversion == Conversion::Protect && passphrase)
      store::changePassphrase(cn, *passphrase);  // sealed whole under its passphrase
    else if (conversion == Conversion::Protect)
      store::protect(cn, passphrases.readNew());
    if (conversion == Conversion::Unprotect) store::unprotect(cn);
    if (conversion == Conversion::Passphrase) store::changePassphrase(cn, passphrases.readNew());
    const char* done[] = {texts::kProtectDone, texts::kUnprotectDone, texts::kPassphraseDone};
    say(store::fillText(done[static_cast<int>(conversion)], path));
    return 0;
  } catch (const PassphraseError& error) {
    say(error.what());
  } catch (const store::StoreError& error) {
    say(error.description());
  }
  return 1;
}

}  // namespace

int runProtect(int argc, char** argv) {
  return convert(Conversion::Protect, argc, argv);
}
int runUnprotect(int argc, char** argv) {
  return convert(Conversion::Unprotect, argc, argv);
}
int runPassphrase(int argc, char** argv) {
  return convert(Conversion::Passphrase, argc, argv);
}
