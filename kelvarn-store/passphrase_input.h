#pragma once

#include <optional>
#include <stdexcept>
#include <vector>

#include "Connection.h"
#include "Protection.h"

// A passphrase that could not be had, or was refused; the text is the user's message.
struct PassphraseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Where passphrases come from: the terminal, without echo, or, with --passphrase-fd N, one
// line each from file descriptor N. Never from the command line or the environment.
class PassphraseSource {
 public:
  // Takes "--passphrase-fd N" out of the words; false when it is given wrongly.
  bool takeOption(std::vector<char*>& words);

  // Refuses (PassphraseError) an empty one, one longer than the limit, and a new one of spaces.
  store::Secret read(const char* prompt, bool isNew);
  // A new passphrase: on the terminal typed twice, which must agree.
  store::Secret readNew();
  // Unlocks a protected store on cn with the passphrase it returns; PassphraseError when the
  // passphrase is wrong. Nothing for a plain store. `readAhead`: the fields the command will
  // walk, read while the key is derived.
  std::optional<store::Secret> unlock(store::Connection& cn,
                                      const store::Connection::Fields& readAhead = {});

 private:
  int fd_ = -1;  // -1: the terminal
};
