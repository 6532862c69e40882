#include "export_format.h"

#include <cstdio>

#include "Utf8.h"

namespace exporting {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// Appends `text` a run at a time: `escape` says what a byte becomes (nullptr: itself), and
// bytes that are not part of valid UTF-8 become U+FFFD.
template <typename Escape>
void appendRuns(std::string& out, std::string_view text, Escape&& escape) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : store::utf8SequenceLength(text, i);
    const char* instead = length == 0 ? kReplacement : length == 1 ? escape(c) : nullptr;
    if (instead) {
      out.append(text.substr(run, i - run)) += instead;
      run = i + (length ? length : 1);
    }
    i += length ? length : 1;
  }
  out.append(text.substr(run));
}

}  // namespace

void appendCsv(std::string& out, FieldView field) {
  if (!field) return;
  if (!field->empty() && field->find_first_of("\",\r\n") == std::string_view::npos)
    return appendRuns(out, *field, [](unsigned char) -> const char* { return nullptr; });
  out += '"';
  appendRuns(out, *field, [](unsigned char c) { return c == '"' ? "\"\"" : nullptr; });
  out += '"';
}

void appendJson(std::string& out, FieldView field) {
  if (!field) {
    out += "null";
    return;
  }
  char code[8];
  out += '"';
  appendRuns(out, *field, [&code](unsigned char c) -> const char* {
    switch (c) {
      case '"':
        return "\\\"";
      case '\\':
        return "\\\\";
      case '\b':
        return "\\b";
      case '\f':
        return "\\f";
      case '\n':
        return "\\n";
      case '\r':
        return "\\r";
      case '\t':
        return "\\t";
      default:
        if (c >= 0x20) return nullptr;
        std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(c));
        return code;
    }
  });
  out += '"';
}

}  // namespace exporting
