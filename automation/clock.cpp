#include "automation/clock.h"

#include <chrono>

namespace tindrel {
namespace {

class TSystemClock final : public IClock {
 public:
  LocalDateTime LocalNow() const override {
    // system_clock counts from 1970-01-01 UTC (guaranteed since C++20).
    const int64_t utc = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    return FromEpochSeconds(utc + int64_t{SystemTimeZone().OffsetAtUtc(utc)} * 60);
  }
};

}  // namespace

const IClock& SystemClock() {
  static const TSystemClock clock;
  return clock;
}

double AutomationToday(const IClock& clock) {
  LocalDateTime today = clock.LocalNow();
  today.hour = today.minute = today.second = today.millisecond = 0;
  return ToAutomationDate(today);
}

}  // namespace tindrel
