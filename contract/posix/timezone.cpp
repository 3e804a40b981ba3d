// The machine's zone from the C library (honours TZ), for the native build.
#include <ctime>

#include "contract/datetime.h"

namespace tindrel {
namespace {

class PosixTimeZone final : public ITimeZone {
 public:
  int OffsetAtUtc(int64_t utcSeconds) const override {
    const time_t t = static_cast<time_t>(utcSeconds);
    tm local{};
    if (!localtime_r(&t, &local)) return 0;
    return static_cast<int>(local.tm_gmtoff / 60);
  }

  int OffsetAtLocal(int64_t localSeconds) const override {
    const LocalDateTime w = FromEpochSeconds(localSeconds);
    tm parts{};
    parts.tm_year = w.year - 1900;
    parts.tm_mon = w.month - 1;
    parts.tm_mday = w.day;
    parts.tm_hour = w.hour;
    parts.tm_min = w.minute;
    parts.tm_sec = w.second;
    parts.tm_isdst = -1;
    const time_t t = mktime(&parts);
    if (t == static_cast<time_t>(-1)) return 0;
    return static_cast<int>(parts.tm_gmtoff / 60);
  }
};

}  // namespace

const ITimeZone& SystemTimeZone() {
  static const PosixTimeZone zone;
  return zone;
}

}  // namespace tindrel
