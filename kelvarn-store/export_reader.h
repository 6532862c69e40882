#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Account.h"

// Reads back what `kelvarn-store export` writes (export_format): its JSON and its CSV, with the
// five fields of older exports or with the five followed by the identity 标识.
namespace exporting {

enum class Format { Json, Csv };

// One account of an export.
struct ReadAccount {
  store::Account fields;                // nullopt for a null field
  std::optional<std::string> identity;  // 32 lowercase hexadecimal digits; none where null
};

// JSON when the first byte that is not whitespace is '[', CSV when the first line starts with
// the name of the first field; nullopt when the text is neither.
std::optional<Format> formatOf(std::string_view text);

// Every account of `text`, in its order. Anything that the export does not write throws
// legacy::ImportError naming `path` and the line. Linear time, no recursion.
std::vector<ReadAccount> readExport(std::string_view text, Format format, const std::string& path);

}  // namespace exporting
