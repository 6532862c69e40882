#include "Timestamp.h"

#include <cstdio>

namespace store {

std::string timestampText(int year, int month, int day, int hour, int minute, int second) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

}  // namespace store
