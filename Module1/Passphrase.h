#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace store {
class Secret;
}

namespace Module1 {

// Asks for a protected store's passphrase in a small modal window (caption "Kelvarn", the
// characters hidden, 确定 and 取消) until `accept` takes it; a wrong one is told in a box and
// asked again. False when the user cancels. `note` (a text of Texts.h) says why it is asked.
bool askPassphrase(const std::function<bool(const store::Secret&)>& accept,
                   const char* note = nullptr);

// Test seam: while set, no window is shown; each call gives what the user types next, or
// nothing for 取消. An empty function restores the window.
void setPassphraseScript(std::function<std::optional<QString>()> script);

}  // namespace Module1
