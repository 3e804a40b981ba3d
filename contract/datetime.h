#pragma once
// xs:dateTime values. The value keeps the text it was received or set with;
// conversions to local time happen only when a reader asks, so reading a
// reply costs a syntax check per date and no time-zone work.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tindrel {

// A calendar date and time of day without a zone.
struct LocalDateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// Source of the machine's UTC offset, injectable so that tests can run in
// several zones. Offsets are minutes east of UTC (local = UTC + offset).
class ITimeZone {
 public:
  virtual ~ITimeZone() = default;
  // Offset in force at the instant given as seconds since 1970-01-01 UTC.
  virtual int OffsetAtUtc(int64_t utcSeconds) const = 0;
  // Offset in force at the local wall-clock time given as seconds since
  // 1970-01-01 local.
  virtual int OffsetAtLocal(int64_t localSeconds) const = 0;
};

// A zone with one fixed offset.
class FixedTimeZone final : public ITimeZone {
 public:
  explicit FixedTimeZone(int offsetMinutes) : offset_(offsetMinutes) {}
  int OffsetAtUtc(int64_t) const override { return offset_; }
  int OffsetAtLocal(int64_t) const override { return offset_; }

 private:
  int offset_;
};

// The machine's own zone (Win32 time-zone information on Windows, the C
// library's zone elsewhere). Lives for the whole process.
const ITimeZone& SystemTimeZone();

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Seconds since 1970-01-01 of the wall-clock value (whole seconds).
int64_t ToEpochSeconds(const LocalDateTime& t);
LocalDateTime FromEpochSeconds(int64_t seconds);

// Automation DATE: days since 1899-12-30, the fraction being the time of day
// (for days before the epoch the fraction still counts forward, so the value
// is the day number minus the fraction).
double ToAutomationDate(const LocalDateTime& t);

class XsDateTime {
 public:
  // The parsed parts of the text.
  struct Parts {
    LocalDateTime wall;                // as written (milliseconds truncated)
    std::optional<int> offsetMinutes;  // none when the text has no zone
  };

  // Validates xs:dateTime lexical form; nullopt when malformed.
  static std::optional<XsDateTime> Parse(std::string_view text);
  static std::unique_ptr<XsDateTime> FromLocal(const LocalDateTime& local,
                                               const ITimeZone& zone);

  const std::string& Text() const { return text_; }
  Parts Split() const;

  // Date and time as written, offset removed (no offset counts as UTC), the
  // machine's offset at that instant added; fractions of a second dropped.
  LocalDateTime AsLocal(const ITimeZone& zone) const;
  // The year as written, no offset applied.
  int Year() const;
  // Text becomes yyyy-mm-ddThh:nn:ss.zzz followed by the machine's offset as
  // +hh:mm / -hh:mm, or Z when it is zero.
  void SetFromLocal(const LocalDateTime& local, const ITimeZone& zone);
  // AsLocal as an automation DATE.
  double AsAutomationDate(const ITimeZone& zone) const;

 private:
  explicit XsDateTime(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

}  // namespace tindrel
