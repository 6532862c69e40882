#include "export_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "StoreError.h"
#include "Texts.h"
#include "Utf8.h"
#include "mdb_error.h"

namespace exporting {
namespace {

constexpr std::size_t kMostFields = store::kFieldCount + 1;  // the five and the identity
constexpr char kJsonSpace[] = " \t\r\n";
// What follows a backslash in a JSON string, and what it stands for.
constexpr std::string_view kEscapes = "\"\\/bfnrt", kEscaped = "\"\\/\b\f\n\r\t";

std::string_view nameAt(std::size_t i) {
  return i < store::kFieldCount ? store::kFields[i] : texts::kIdentityField;
}

// What the JSON and the CSV reader share: the text, where they are in it, and the checks of
// names and values.
class Reader {
 public:
  // Checks the text whole first, so that the readers may take every byte as valid UTF-8.
  Reader(std::string_view text, const std::string& path) : text_(text), path_(path) {
    for (std::size_t length = 0; pos_ < text_.size(); pos_ += length) {
      if ((length = store::utf8SequenceLength(text_, pos_)) == 0) fail(pos_, texts::kImportNotUtf8);
    }
    pos_ = 0;
  }

 protected:
  // The line is counted only here, once: counting as the reader goes would cost every file.
  [[noreturn]] void fail(std::size_t at, const char* reason, std::string_view arg = {}) const {
    const auto line = std::count(text_.begin(), text_.begin() + at, '\n') + 1;
    throw legacy::ImportError(store::fillText(texts::kImportAtLine, path_, std::to_string(line)) +
                              store::fillText(reason, arg));
  }

  // `name` (a JSON key, a CSV header), found at `at`, is to be the name of field `i`.
  void checkName(std::string_view name, std::size_t i, std::size_t at) const {
    if (i < kMostFields && name == nameAt(i)) return;
    for (std::size_t k = 0; k < kMostFields; ++k) {
      if (name == nameAt(k) && k < i) fail(at, texts::kImportDuplicateName, name);
      if (name == nameAt(k)) fail(at, texts::kImportMissingName, nameAt(i));
    }
    fail(at, texts::kImportWrongName);
  }

  // Field `i` of `account` is `value`, found at `at`.
  void put(ReadAccount& account, std::size_t i, store::Value&& value, std::size_t at) const {
    if (i < store::kFieldCount) {
      account.fields[i] = std::move(value);
      return;
    }
    if (!value) return;  // an account that had none
    if (value->size() != 32 || value->find_first_not_of("0123456789abcdef") != npos)
      fail(at, texts::kImportBadIdentity, nameAt(i));
    account.identity = std::move(value);
  }

  static constexpr std::size_t npos = std::string_view::npos;
  std::string_view text_;
  std::size_t pos_ = 0;

 private:
  const std::string& path_;
};

// An array of flat objects whose values are strings or null: read in one loop, so no nesting
// in the file can deepen the stack.
class JsonReader : Reader {
 public:
  using Reader::Reader;

  std::vector<ReadAccount> read() {
    std::vector<ReadAccount> accounts;
    take('[');
    while (token() != ']') {
      if (!accounts.empty()) take(',');
      accounts.push_back(object());
    }
    ++pos_;
    pos_ = std::min(text_.find_first_not_of(kJsonSpace, pos_), text_.size());
    if (pos_ != text_.size()) fail(pos_, texts::kImportTrailing);
    return accounts;
  }

 private:
  // The next byte that is not whitespace, left where it is.
  char token() {
    pos_ = text_.find_first_not_of(kJsonSpace, pos_);
    if (pos_ == npos) fail(text_.size(), texts::kImportCutShort);
    return text_[pos_];
  }

  void take(char c) {
    if (token() != c) fail(pos_, texts::kImportJsonSyntax);
    ++pos_;
  }

  ReadAccount object() {
    ReadAccount account;
    std::size_t count = 0;
    take('{');
    for (; token() != '}'; ++count) {
      if (count) take(',');
      if (token() != '"') fail(pos_, texts::kImportJsonSyntax);
      const std::size_t at = pos_;
      checkName(string(), count, at);
      take(':');
      put(account, count, value(nameAt(count)), at);
    }
    if (count < store::kFieldCount) fail(pos_, texts::kImportMissingName, nameAt(count));
    ++pos_;
    return account;
  }

  store::Value value(std::string_view name) {
    if (token() == '"') return string();
    if (text_.substr(pos_, 4) != "null") fail(pos_, texts::kImportNotText, name);
    pos_ += 4;
    return std::nullopt;
  }

  // The string that starts at pos_, unescaped; what needs no unescaping is copied a run at a time.
  std::string string() {
    const std::size_t start = pos_++;
    std::string out;
    for (;;) {
      std::size_t end = pos_;
      while (end < text_.size() && static_cast<unsigned char>(text_[end]) >= 0x20 &&
             text_[end] != '"' && text_[end] != '\\')
        ++end;
      out.append(text_.substr(pos_, end - pos_));
      if ((pos_ = end) == text_.size()) fail(start, texts::kImportUnclosed);
      if (text_[pos_++] == '"') return out;
      if (text_[pos_ - 1] != '\\') fail(pos_ - 1, texts::kImportBadString);  // a control character
      unescape(out);
    }
  }

  // The escape after a backslash.
  void unescape(std::string& out) {
    const std::size_t at = pos_ - 1;
    const char c = pos_ < text_.size() ? text_[pos_++] : '\0';
    if (const std::size_t simple = kEscapes.find(c); simple != npos) {
      out += kEscaped[simple];
    } else if (c != 'u') {
      fail(at, texts::kImportBadString);
    } else {
      std::uint32_t code = hex(at);
      if (code >= 0xD800 && code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
        pos_ += 2;
        const std::uint32_t low = hex(at);
        if (low >= 0xDC00 && low < 0xE000) code = 0x10000 + ((code - 0xD800) << 10) + low - 0xDC00;
      }
      if (code >= 0xD800 && code < 0xE000) fail(at, texts::kImportBadString);  // a lone half
      appendUtf8(out, code);
    }
  }

  // The four hexadecimal digits of a \u escape.
  std::uint32_t hex(std::size_t at) {
    std::uint32_t code = 0;
    const char* digits = text_.data() + pos_;
    if (text_.size() - pos_ < 4 || std::from_chars(digits, digits + 4, code, 16).ptr != digits + 4)
      fail(at, texts::kImportBadString);
    pos_ += 4;
    return code;
  }

  static void appendUtf8(std::string& out, std::uint32_t c) {
    const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(tail ? ((0xF0 << (3 - tail)) & 0xFF) | (c >> 6 * tail) : c);
    for (int k = tail - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> 6 * k) & 0x3F));
  }
};

// RFC 4180 with a header line: an empty field is null, "" the empty text. Lines may end in
// CR LF, as the export writes them, or in LF alone.
class CsvReader : Reader {
 public:
  using Reader::Reader;

  std::vector<ReadAccount> read() {
    std::size_t width = 0;
    for (bool more = true; more; ++width) {
      const std::size_t at = pos_;
      store::Value name;
      more = field(name);
      checkName(name.value_or(""), width, at);
    }
    if (width < store::kFieldCount) fail(0, texts::kImportMissingName, nameAt(width));
    std::vector<ReadAccount> accounts;
    while (pos_ < text_.size()) {
      const std::size_t start = pos_;
      ReadAccount& account = accounts.emplace_back();
      std::size_t count = 0;
      for (bool more = true; more; ++count) {
        const std::size_t at = pos_;
        if (count == width) fail(at, texts::kImportFieldCount, std::to_string(width));
        store::Value value;
        more = field(value);
        put(account, count, std::move(value), at);
      }
      if (count < width) fail(start, texts::kImportFieldCount, std::to_string(width));
    }
    return accounts;
  }

 private:
  // Reads the field at pos_ into `value`; true when another one follows on the same line.
  bool field(store::Value& value) {
    if (pos_ < text_.size() && text_[pos_] == '"') {
      const std::size_t start = pos_++;
      std::string& out = value.emplace();
      for (;;) {
        const std::size_t quote = text_.find('"', pos_);
        if (quote == npos) fail(start, texts::kImportUnclosed);
        out.append(text_.substr(pos_, quote - pos_));
        pos_ = quote + 1;
        if (pos_ == text_.size() || text_[pos_] != '"') break;
        out += '"';
        ++pos_;
      }
    } else {
      const std::size_t end = std::min(text_.find_first_of(",\r\n\"", pos_), text_.size());
      if (end > pos_) value = std::string(text_.substr(pos_, end - pos_));
      pos_ = end;
    }
    const std::string_view rest = text_.substr(pos_);
    const std::size_t used = rest.starts_with(',') || rest.starts_with('\n') ? 1
                             : rest.starts_with("\r\n")                      ? 2
                                                                             : 0;
    if (!used && !rest.empty()) fail(pos_, texts::kImportCsvSyntax);
    pos_ += used;
    return used == 1 && rest[0] == ',';
  }
};

}  // namespace

std::optional<Format> formatOf(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kJsonSpace);
  if (first != std::string_view::npos && text[first] == '[') return Format::Json;
  if (text.substr(0, text.find_first_of(",\r\n")) == store::kName) return Format::Csv;
  return std::nullopt;
}

std::vector<ReadAccount> readExport(std::string_view text, Format format, const std::string& path) {
  if (format == Format::Json) return JsonReader(text, path).read();
  return CsvReader(text, path).read();
}

}  // namespace exporting
