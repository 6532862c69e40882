#pragma once

#include <string>

namespace store {

// The stored timestamp text "YYYY/MM/DD HH:MM:SS" (24-hour, zero-padded): 2015/01/31 08:05:09.
std::string timestampText(int year, int month, int day, int hour, int minute, int second);
// The local time now, `yearsAgo` years back.
std::string timestampNow(int yearsAgo = 0);

}  // namespace store
