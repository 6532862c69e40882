#include "Settings.h"

#include <charconv>
#include <string>
#include <vector>

#include "Sql.h"

namespace store {
namespace {

constexpr char kTable[] = "设置";
constexpr char kLockMinutes[] = "锁定分钟";

}  // namespace

int lockMinutes(const Connection& cn) {
  if (firstColumn(cn, std::string("SELECT name FROM sqlite_master WHERE type='table' AND name='") +
                          kTable + "'")
          .empty())
    return kDefaultLockMinutes;
  const std::vector<std::string> value = firstColumn(
      cn, std::string("SELECT 值 FROM ") + kTable + " WHERE 名称='" + kLockMinutes + "'");
  return value.empty() ? kDefaultLockMinutes
                       : parseLockMinutes(value.front()).value_or(kDefaultLockMinutes);
}

void setLockMinutes(const Connection& cn, int minutes) {
  inTransaction(cn, [&] {
    exec(cn, std::string("CREATE TABLE IF NOT EXISTS ") + kTable +
                 "(名称 TEXT PRIMARY KEY NOT NULL, 值 TEXT NOT NULL)");
    exec(cn, std::string("INSERT OR REPLACE INTO ") + kTable + " VALUES('" + kLockMinutes + "','" +
                 std::to_string(minutes) + "')");
    return true;
  });
}

std::optional<int> parseLockMinutes(std::string_view text) {
  int minutes = 0;
  const char* end = text.data() + text.size();
  // from_chars takes no sign nor space but a leading '-'; digits alone, at most five of them.
  if (text.empty() || text.size() > 5 || text.front() == '-' ||
      std::from_chars(text.data(), end, minutes).ptr != end || minutes > kMaxLockMinutes)
    return std::nullopt;
  return minutes;
}

}  // namespace store
