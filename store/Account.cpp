#include "Account.h"

namespace store {

std::string columnList(std::string_view suffix) {
  std::string out;
  for (const char* field : kFields) (out += out.empty() ? "" : ", ") += field, out += suffix;
  return out;
}

std::size_t fieldAt(std::string_view name) {
  std::size_t i = 0;
  while (i < kFieldCount && name != kFields[i]) ++i;
  return i;
}

}  // namespace store
