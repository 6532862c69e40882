#pragma once

#include <string_view>
#include <vector>

#include "Account.h"

namespace store {

class Connection;

// The rows whose name is `name`, in store order: by SQL on a plain store; on a store sealed
// whole through the name catalog (read anew by a walk when another program changed the file),
// each candidate opened to make sure.
std::vector<RowId> rowsNamed(Connection& cn, std::string_view name);

}  // namespace store
