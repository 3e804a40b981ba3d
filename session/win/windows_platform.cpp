// The notification entry needs the NOTIFYICONDATAW of Vista and later (its
// full size); everything else here works on the program's base version.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x06000000

#include <windows.h>
#include <lm.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "base/text.h"
#include "session/short_date.h"
#include "session/win/windows_platform.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"

namespace tindrel::windows {
namespace {

constexpr UINT kStatusIconId = 1043;
// The full layout (with guidItem and hBalloonIcon): 956 bytes in the 32-bit
// program, 976 in the 64-bit build, whose handles are wider.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 8 ? 976 : 956),
              "the entry is described with its full size");

// The buffer NetGetJoinInformation hands out.
using NetApiBuffer = win::UniqueAny<win::NullIsInvalid<LPWSTR, &::NetApiBufferFree>>;

using win::Narrow;

template <size_t N>
void CopyTruncated(WCHAR (&dest)[N], const std::u16string& text) {
  const size_t n = text.size() < N - 1 ? text.size() : N - 1;
  for (size_t i = 0; i < n; ++i) dest[i] = static_cast<WCHAR>(text[i]);
  dest[n] = 0;
}

NOTIFYICONDATAW StatusIconData() {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = nullptr;
  data.uID = kStatusIconId;
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = NIIF_INFO;
  return data;
}

}  // namespace

std::string MachineSalt() {
  NetApiBuffer name;
  NETSETUP_JOIN_STATUS status = NetSetupUnknownStatus;
  if (NetGetJoinInformation(nullptr, name.put(), &status) == NERR_Success &&
      status == NetSetupDomainName && name.get())
    return Narrow(name.get());
  DWORD length = 0;
  GetComputerNameExW(ComputerNamePhysicalNetBIOS, nullptr, &length);
  if (length == 0) return {};
  std::vector<wchar_t> buffer(length + 1);
  DWORD size = length + 1;
  if (!GetComputerNameExW(ComputerNamePhysicalNetBIOS, buffer.data(), &size)) return {};
  return Narrow(std::wstring_view(buffer.data(), size));
}

std::filesystem::path TokenCachePath() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return {};
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += L"ORV_AS\\Tindrel2.dat";
  return std::filesystem::path(path);
}

std::string FormatShortDate(const CalendarDate& date) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(date.year);
  st.wMonth = static_cast<WORD>(date.month);
  st.wDay = static_cast<WORD>(date.day);
  wchar_t text[128] = {};
  const int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 128);
  return n > 0 ? Narrow(text) : std::string();
}

std::optional<CalendarDate> ParseShortDate(const std::string& text) {
  wchar_t pattern[128] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, pattern, 128) <= 0)
    return std::nullopt;
  return ParseDateWithPattern(text, Narrow(pattern));
}

void AddStatusIcon() {
  NOTIFYICONDATAW data = StatusIconData();
  Shell_NotifyIconW(NIM_ADD, &data);
}

void ShowStatusBalloon(const std::u16string& title, const std::u16string& text) {
  NOTIFYICONDATAW data = StatusIconData();
  CopyTruncated(data.szInfoTitle, title);
  CopyTruncated(data.szInfo, text);
  Shell_NotifyIconW(NIM_MODIFY, &data);
}

void ShowInspectionRefused(const std::string& reason) {
  MessageBoxW(nullptr, win::Widen(reason).c_str(), L"Kunne ikke opprette kontroll!",
              MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_TOPMOST);
}

std::optional<LoginAnswer> SessionPlatform::AskForLogin() {
  std::optional<LoginAnswer> answer;
  ui_.runLoginDialog([&](std::optional<LoginAnswer> given) { answer = std::move(given); }, {});
  return answer;
}

bool SessionPlatform::RunLoginDialog(
    const std::function<void(std::optional<LoginAnswer>)>& answered) {
  return ui_.runLoginDialog(answered, std::exchange(loginReason_, std::string()));
}

// The thread's own message loop, one level deeper: the open dialog's
// messages (with its keyboard handling) and the calls of other clients run
// as they would in the dialog's loop.
bool SessionPlatform::WaitForLogin(const std::function<bool()>& pending) {
  MSG msg;
  while (pending()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) return false;
    if (got == 0) {
      // The program ends: the quit goes on to the loops further down.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    HWND dialog = ui_.openLoginDialog();
    if (dialog && IsDialogMessageW(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace tindrel::windows
