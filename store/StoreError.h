#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace store {

// The one error type of the store. Nothing in the windows catches it: the application's
// event dispatch reports it with the standard error box and ends the program.
class StoreError : public std::runtime_error {
 public:
  StoreError(long number, std::string description);
  long number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  long number_;
  std::string description_;
};

// Error numbers, after the Jet/ADO numbers of the same meaning. SQLite failures carry
// SQLite's extended result code instead.
namespace errnum {
inline constexpr long kBadStatement = 3001;  // statement text not one of the three
inline constexpr long kNoCurrentRow = 3021;  // before the first or after the last row
inline constexpr long kFileMissing = 3024;
inline constexpr long kUnknownField = 3265;
inline constexpr long kNoTable = 3078;
inline constexpr long kNotDatabase = 3343;   // also an Access file
inline constexpr long kClosed = 3704;        // operation on a closed record set
inline constexpr long kFileExists = 3204;    // createStore: the path is taken
inline constexpr long kCannotCreate = 3044;  // createStore, setAside: the file cannot be made
inline constexpr long kReadOnly = 3051;      // the file or its folder may not be written
inline constexpr long kLocked = 3031;        // a protected store's contents without its key
inline constexpr long kChanged = 3197;       // protected or unprotected by another program
inline constexpr long kDamaged = 3049;       // a content that does not decrypt
inline constexpr long kKeyDamaged = 3343;    // a key table that cannot be read
inline constexpr long kProtection = 3356;    // protect on a protected store, and the like
inline constexpr long kNotMergeable = 3367;  // a copy of the book whose identities are doctored
}  // namespace errnum

// Fills "%1" and "%2" of a text template.
std::string fillText(std::string_view templ, std::string_view arg1, std::string_view arg2 = {});
// Fills "%1" to "%9" with as many arguments.
std::string fillText(std::string_view templ, std::initializer_list<std::string_view> args);

}  // namespace store
