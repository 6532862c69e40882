#include "mdb_text.h"

#include <iconv.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Timestamp.h"

namespace legacy {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isHighSurrogate(char16_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// Code units, with U+FFFD standing for a unit cut short by a dangling byte.
std::u16string codeUnits(std::string_view raw) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(raw[i]); };
  std::u16string units;
  units.reserve(raw.size());
  const auto appendPairs = [&](size_t from, size_t to) {
    size_t i = from;
    for (; i + 1 < to; i += 2) units += static_cast<char16_t>(byte(i) | (byte(i + 1) << 8));
    if (i < to) units += static_cast<char16_t>(kReplacement);
  };
  if (raw.size() < 2 || byte(0) != 0xFF || byte(1) != 0xFE) {
    appendPairs(0, raw.size());
    return units;
  }
  bool compressed = true;
  for (size_t i = 2; i < raw.size();) {
    if (byte(i) == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      units += static_cast<char16_t>(byte(i));
      ++i;
    } else {
      size_t end = i;
      while (end < raw.size() && byte(end) != 0) ++end;
      appendPairs(i, end);
      i = end;
    }
  }
  return units;
}

}  // namespace

std::string jet4Text(std::string_view raw) {
  const std::u16string units = codeUnits(raw);
  std::string out;
  out.reserve(units.size() * 3);
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
      ++i;
    } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

std::string jet3Text(std::string_view raw) {
  iconv_t cd = iconv_open("UTF-8", "CP936");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(raw);  // glibc always has CP936
  std::string out;
  std::vector<char> buffer(4 * raw.size() + 4);
  char* in = const_cast<char*>(raw.data());
  size_t inLeft = raw.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), outPtr);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      appendUtf8(out, kReplacement);
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

std::optional<std::string> jetDateText(double days) {
  using namespace std::chrono;
  constexpr double kFirst = -657434;  // 0100-01-01
  constexpr double kLast = 2958466;   // 10000-01-01
  if (!std::isfinite(days) || days <= kFirst - 1 || days >= kLast) return std::nullopt;
  double wholeDays = std::trunc(days);
  std::int64_t seconds = std::llround(std::fabs(days - wholeDays) * 86400.0);
  if (seconds == 86400) {
    wholeDays += 1;
    seconds = 0;
  }
  const year_month_day date{sys_days{year{1899} / December / 30} +
                            std::chrono::days{std::int64_t(wholeDays)}};
  const int y = int(date.year());
  if (y < 100 || y > 9999) return std::nullopt;
  return store::timestampText(y, int(unsigned(date.month())), int(unsigned(date.day())),
                              int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
}

}  // namespace legacy
