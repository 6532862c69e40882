#include "StoreError.h"

namespace store {

StoreError::StoreError(long number, std::string description)
    : std::runtime_error(description), number_(number), description_(std::move(description)) {}

// One pass over the template, so a "%2" inside the first argument stays as it is.
std::string fillText(std::string_view templ, std::string_view arg1, std::string_view arg2) {
  std::string out;
  out.reserve(templ.size() + arg1.size() + arg2.size());
  for (std::size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] == '%' && i + 1 < templ.size() && (templ[i + 1] == '1' || templ[i + 1] == '2')) {
      out += templ[i + 1] == '1' ? arg1 : arg2;
      ++i;
    } else {
      out += templ[i];
    }
  }
  return out;
}

}  // namespace store
