#include <optional>
#include <string>

#include "Settings.h"
#include "StoreError.h"
#include "Texts.h"
#include "commands.h"
#include "tool.h"

// Kept in the store itself: it is not secret, so no passphrase is asked, and Kelvarn reads it
// when it opens the store.
int runLockAfter(int argc, char** argv) {
  if (argc != 2) {
    say(texts::kLockAfterUsage);
    return 2;
  }
  const std::string path = argv[0];
  const std::optional<int> minutes = store::parseLockMinutes(argv[1]);
  if (!minutes) {
    say(store::fillText(texts::kLockAfterBad, path, argv[1]));
    return 1;
  }
  try {
    store::Connection cn;
    openStore(cn, path);
    store::setLockMinutes(cn, *minutes);
  } catch (const store::StoreError& error) {
    say(error.description());
    return 1;
  }
  say(store::fillText(*minutes ? texts::kLockAfterDone : texts::kLockAfterNever, path,
                      std::to_string(*minutes)));
  return 0;
}
