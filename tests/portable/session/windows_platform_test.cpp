// The session's Windows services, as the running system answers them.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include "session/win/windows_platform.h"

namespace tindrel {
namespace {

TEST(WindowsPlatform, TheShortDateOfTheUserComesBackAsTheSameDay) {
  for (const CalendarDate& d : {CalendarDate{2030, 12, 31}, CalendarDate{2029, 1, 2},
                                CalendarDate{2032, 2, 29}}) {
    const std::string text = windows::FormatShortDate(d);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(windows::ParseShortDate(text), d) << text;
  }
}

TEST(WindowsPlatform, TheCacheLivesInTheRoamingApplicationData) {
  const std::wstring path = windows::TokenCachePath().wstring();
  ASSERT_GT(path.size(), 20u);
  EXPECT_EQ(path.substr(path.size() - 20), L"\\ORV_AS\\Tindrel2.dat");
  EXPECT_EQ(path.find(L"\\\\ORV_AS"), std::wstring::npos);
}

TEST(WindowsPlatform, AWorkgroupComputerIsSaltedWithItsOwnName) {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameExW(ComputerNamePhysicalNetBIOS, name, &size));
  const std::string salt = windows::MachineSalt();
  EXPECT_EQ(salt.size(), size);
  EXPECT_FALSE(salt.empty());
}

}  // namespace
}  // namespace tindrel
#endif
