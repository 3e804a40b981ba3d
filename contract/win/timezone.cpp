// The machine's zone from the Win32 time-zone information, so daylight saving
// follows the rules Windows has for the year in question.
#include <windows.h>

#include "contract/datetime.h"

namespace tindrel {
namespace {

bool ToSystemTime(int64_t seconds, SYSTEMTIME& st) {
  const LocalDateTime t = FromEpochSeconds(seconds);
  if (t.year < 1601 || t.year > 30827) return false;
  st = {};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  return true;
}

int64_t FromSystemTime(const SYSTEMTIME& st) {
  return ToEpochSeconds(LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                                      st.wSecond, 0});
}

// Offset of the standard time when a date is outside what SYSTEMTIME holds.
int StandardOffset() {
  TIME_ZONE_INFORMATION tzi{};
  GetTimeZoneInformation(&tzi);
  return -static_cast<int>(tzi.Bias);
}

class WindowsTimeZone final : public ITimeZone {
 public:
  int OffsetAtUtc(int64_t utcSeconds) const override {
    SYSTEMTIME utc, local;
    if (!ToSystemTime(utcSeconds, utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
      return StandardOffset();
    return static_cast<int>((FromSystemTime(local) - utcSeconds) / 60);
  }

  int OffsetAtLocal(int64_t localSeconds) const override {
    SYSTEMTIME local, utc;
    if (!ToSystemTime(localSeconds, local) ||
        !TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc))
      return StandardOffset();
    return static_cast<int>((localSeconds - FromSystemTime(utc)) / 60);
  }
};

}  // namespace

const ITimeZone& SystemTimeZone() {
  static const WindowsTimeZone zone;
  return zone;
}

}  // namespace tindrel
