#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "Account.h"

namespace store {

class Connection;

// An account as a walk gives it: its fields as the windows see them, and its identity (empty
// where it has none). The views are valid during the call.
struct WalkedAccount {
  RowId row;
  std::array<std::optional<std::string_view>, kFieldCount> fields;
  std::string_view identity;
};

// Every account of a store in store order, read the fastest way the store's form allows (on a
// store sealed whole, opened on both cores).
void walkAccounts(Connection& cn, const std::function<void(const WalkedAccount&)>& take);

}  // namespace store
