#include "StoreError.h"

namespace store {

StoreError::StoreError(long number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

// One pass over the template, so a "%2" inside the first argument stays as it is.
std::string fillText(std::string_view templ, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(templ.size());
  for (std::size_t i = 0; i < templ.size(); ++i) {
    const std::size_t at = i + 1 < templ.size() ? static_cast<std::size_t>(templ[i + 1] - '1') : 9;
    if (templ[i] == '%' && at < args.size()) {
      out += args.begin()[at];
      ++i;
    } else {
      out += templ[i];
    }
  }
  return out;
}

std::string fillText(std::string_view templ, std::string_view arg1, std::string_view arg2) {
  return fillText(templ, {arg1, arg2});
}

}  // namespace store
