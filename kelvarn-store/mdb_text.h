#pragma once

#include <optional>
#include <string>
#include <string_view>

// Turns the raw bytes of Access values into the UTF-8 text the store keeps.
namespace legacy {

// Jet 4 and later keep text as UTF-16LE, or in the "compressed" form that starts with
// FF FE and switches between one-byte and two-byte runs at every zero byte. Surrogate
// pairs become one character; an unpaired half or a dangling byte becomes U+FFFD.
std::string jet4Text(std::string_view raw);

// Jet 3 keeps text in the writer's ANSI code page: CP936 for the Windows program's files.
// Bytes that are not CP936 become U+FFFD.
std::string jet3Text(std::string_view raw);

// A Date/Time value (days since 1899-12-30, the fraction being the time of day, also for
// negative days) as the store's timestamp text, rounded to the second; nothing when the
// value lies outside the years 100 to 9999 that Access allows.
std::optional<std::string> jetDateText(double days);

}  // namespace legacy
