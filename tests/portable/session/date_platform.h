#pragma once
// Just enough of a session platform to read and write token caches: the
// "dd.MM.yyyy" short date format and a zone of UTC+1. Everything else fails
// loudly, since no cache code may reach it.

#include <stdexcept>

#include "session/session_platform.h"
#include "session/short_date.h"

namespace tindrel::test {

class DateOnlyPlatform final : public ISessionPlatform {
 public:
  std::string FormatShortDate(const CalendarDate& date) override {
    return FormatDateWithPattern(date, "dd.MM.yyyy");
  }
  std::optional<CalendarDate> ParseShortDate(const std::string& text) override {
    return ParseDateWithPattern(text, "dd.MM.yyyy");
  }
  const ITimeZone& TimeZone() override { return zone_; }

  std::string GetMachineSalt() override { throw std::logic_error("GetMachineSalt"); }
  std::optional<LoginAnswer> AskForLogin() override { throw std::logic_error("AskForLogin"); }
  void ShowInspectionRefused(const std::string&) override {
    throw std::logic_error("ShowInspectionRefused");
  }
  void AddStatusIcon() override { throw std::logic_error("AddStatusIcon"); }
  void ShowStatusBalloon(const std::u16string&, const std::u16string&) override {
    throw std::logic_error("ShowStatusBalloon");
  }
  void NotifyMainWindow() override { throw std::logic_error("NotifyMainWindow"); }
  std::filesystem::path TokenCachePath() override { throw std::logic_error("TokenCachePath"); }
  std::shared_ptr<ITindrel2Service> MakeServiceProxy(const std::string&) override {
    throw std::logic_error("MakeServiceProxy");
  }

 private:
  FixedTimeZone zone_{60};
};

}  // namespace tindrel::test
