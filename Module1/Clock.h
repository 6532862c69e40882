#pragma once

#include <QDateTime>
#include <functional>
#include <string>

namespace Module1 {

// The local date and time. Every reading goes through here.
QDateTime now();
// One clock reading as the stored timestamp text "YYYY/MM/DD HH:MM:SS".
std::string timestampNow();

// Test seam: a replacement clock; an empty function restores the system clock.
void setClock(std::function<QDateTime()> clock);

}  // namespace Module1
