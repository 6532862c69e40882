#pragma once

namespace store {

// Keeps what the process holds in memory (contents shown, keys, passphrases) out of core files
// and away from other processes of the same user: no core dump is written, and an ordinary
// process can neither attach to this one nor read its memory. Root still can. Called first
// thing by both programs.
void guardProcessMemory();

}  // namespace store
