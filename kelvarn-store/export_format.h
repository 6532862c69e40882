#pragma once

#include <optional>
#include <string>
#include <string_view>

// Field encodings of `kelvarn-store export`, appended to what is written so far. Text that is
// not valid UTF-8 has each bad byte replaced by U+FFFD, so the output is always UTF-8.
namespace exporting {

// A field's value as read: text, or nullopt for a null field.
using FieldView = std::optional<std::string_view>;

// RFC 4180: quoted when it holds a quote, comma, CR or LF, quotes doubled. A null field is
// left empty and an empty text is written "", so the two stay apart for readers that care.
void appendCsv(std::string& out, FieldView field);

// A JSON string (or null), control characters escaped, other characters as they are.
void appendJson(std::string& out, FieldView field);

}  // namespace exporting
