#include "Clock.h"

#include "Timestamp.h"

namespace Module1 {
namespace {

std::function<QDateTime()>& clockOverride() {
  static std::function<QDateTime()> clock;
  return clock;
}

}  // namespace

QDateTime now() {
  return clockOverride() ? clockOverride()() : QDateTime::currentDateTime();
}

std::string timestampNow() {
  const QDateTime reading = now();  // one reading: date and time cannot straddle midnight
  const QDate date = reading.date();
  const QTime time = reading.time();
  return store::timestampText(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                              time.second());
}

void setClock(std::function<QDateTime()> clock) {
  clockOverride() = std::move(clock);
}

}  // namespace Module1
