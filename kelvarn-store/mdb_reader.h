#pragma once

#include <array>
#include <string>
#include <vector>

namespace legacy {

// One row of 账号集合 as UTF-8 text, fields in the order of store::kFields. A null value
// is the empty text.
using Account = std::array<std::string, 5>;

// Every row of the table 账号集合 of the Access file at path (Jet 3, Jet 4 or ACE), in the
// file's order. Throws ImportError with the reason in Chinese; prints nothing itself.
std::vector<Account> readAccounts(const std::string& path);

}  // namespace legacy
