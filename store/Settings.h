#pragma once

// What a store keeps besides its accounts, for every program that opens it: one small table made
// the first time a setting is changed. A store without it, or without a setting, has its default.
#include <optional>
#include <string_view>

namespace store {

class Connection;

// The idle minutes after which Kelvarn locks a protected store; 0: never by time.
inline constexpr int kDefaultLockMinutes = 10;
inline constexpr int kMaxLockMinutes = 24 * 60;

// The stored minutes; the default for a store that has none, or a value out of range (the file
// may come from anywhere).
int lockMinutes(const Connection& cn);
// Throws StoreError when the store may not be written; the caller keeps to the range.
void setLockMinutes(const Connection& cn, int minutes);

// Minutes written by a person: digits only, within the range; nothing otherwise.
std::optional<int> parseLockMinutes(std::string_view text);

}  // namespace store
