// Drives Tindrel2.exe's windows from outside, the way a user would: a
// console program for the end-to-end tests, run once under Wine for a whole
// test run. It reads one command per line from stdin (fields separated by
// TAB, UTF-8) and answers each with one line: "ok" and the result, or
// "error" and why. Waits are bounded and poll every 20 ms.
//
//   find     <class> <title> <timeout-ms>     top-level window, visible -> ok <hwnd>
//   exists   <class> <title> <timeout-ms>     the same, visible or not -> ok <hwnd> <0|1>
//   gone     <hwnd> <timeout-ms>              the window no longer exists
//   text     <hwnd> <control-id>              the control's text
//   visible  <hwnd> <control-id>              1 or 0
//   type     <hwnd> <control-id> <text>       one WM_CHAR per character
//   key      <hwnd> <control-id> <vk>         a key press posted to the control
//   click    <hwnd> <control-id>              BM_CLICK posted to the button
//   close    <hwnd>                           the close box (SC_CLOSE)
//   dialog   <hwnd>                           left top topmost focus-id password-char
//   message  <hwnd>                           a message box's text
//   date     <year> <month> <day>             the user's short date
//   windows                                   visible top-level windows: class|title;...
//   quit
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

// Line breaks and TABs would end the answer line; they travel escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

void Answer(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    const size_t tab = line.find('\t', pos);
    out.push_back(line.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos));
    if (tab == std::string::npos) break;
    pos = tab + 1;
  }
  return out;
}

HWND ToWindow(const std::string& s) {
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::strtoll(s.c_str(), nullptr, 10)));
}

std::string FromWindow(HWND h) {
  return std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(h)));
}

std::wstring WindowText(HWND h) {
  // WM_GETTEXT rather than GetWindowText: the window is another process's.
  wchar_t buffer[4096] = {};
  SendMessageTimeoutW(h, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return buffer;
}

template <class Test>
bool PollUntil(DWORD timeoutMs, Test test) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (test()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

HWND Control(HWND window, const std::string& id) {
  return GetDlgItem(window, std::atoi(id.c_str()));
}

struct MessageText {
  std::wstring text;
};

BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  wchar_t cls[64] = {};
  GetClassNameW(child, cls, 64);
  if (lstrcmpiW(cls, L"Static") == 0) {
    const std::wstring text = WindowText(child);
    if (!text.empty()) {
      auto* out = reinterpret_cast<MessageText*>(param);
      if (!out->text.empty()) out->text += L"\n";
      out->text += text;
    }
  }
  return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t cls[128] = {};
  GetClassNameW(window, cls, 128);
  auto* out = reinterpret_cast<std::wstring*>(param);
  if (!out->empty()) *out += L";";
  *out += std::wstring(cls) + L"|" + WindowText(window);
  return TRUE;
}

std::string Run(const std::vector<std::string>& a) {
  const std::string& cmd = a[0];
  auto need = [&](size_t n) {
    if (a.size() < n + 1) throw std::string("error\t") + cmd + " needs " + std::to_string(n);
  };
  if (cmd == "find") {
    need(3);
    const std::wstring cls = Wide(a[1]), title = Wide(a[2]);
    HWND found = nullptr;
    if (!PollUntil(std::atoi(a[3].c_str()), [&] {
          found = FindWindowW(cls.c_str(), title.c_str());
          return found && IsWindowVisible(found);
        }))
      return "error\ttimeout";
    return "ok\t" + FromWindow(found);
  }
  if (cmd == "exists") {
    need(3);
    const std::wstring cls = Wide(a[1]), title = Wide(a[2]);
    HWND found = nullptr;
    if (!PollUntil(std::atoi(a[3].c_str()),
                   [&] { return (found = FindWindowW(cls.c_str(), title.c_str())) != nullptr; }))
      return "error\ttimeout";
    return "ok\t" + FromWindow(found) + "\t" + (IsWindowVisible(found) ? "1" : "0");
  }
  if (cmd == "gone") {
    need(2);
    HWND h = ToWindow(a[1]);
    if (!PollUntil(std::atoi(a[2].c_str()), [&] { return !IsWindow(h); })) return "error\ttimeout";
    return "ok";
  }
  if (cmd == "text") {
    need(2);
    HWND c = Control(ToWindow(a[1]), a[2]);
    if (!c) return "error\tno control";
    return "ok\t" + Escape(Utf8(WindowText(c)));
  }
  if (cmd == "visible") {
    need(2);
    HWND c = Control(ToWindow(a[1]), a[2]);
    if (!c) return "error\tno control";
    return std::string("ok\t") + (IsWindowVisible(c) ? "1" : "0");
  }
  if (cmd == "type") {
    need(3);
    HWND c = Control(ToWindow(a[1]), a[2]);
    if (!c) return "error\tno control";
    for (wchar_t ch : Wide(a[3])) SendMessageW(c, WM_CHAR, ch, 1);
    return "ok";
  }
  if (cmd == "key") {
    need(3);
    HWND c = Control(ToWindow(a[1]), a[2]);
    if (!c) return "error\tno control";
    const WPARAM vk = static_cast<WPARAM>(std::atoi(a[3].c_str()));
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), 0);
    PostMessageW(c, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageW(c, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
    return "ok";
  }
  if (cmd == "click") {
    need(2);
    HWND c = Control(ToWindow(a[1]), a[2]);
    if (!c) return "error\tno control";
    PostMessageW(c, BM_CLICK, 0, 0);
    return "ok";
  }
  if (cmd == "close") {
    need(1);
    PostMessageW(ToWindow(a[1]), WM_SYSCOMMAND, SC_CLOSE, 0);
    return "ok";
  }
  if (cmd == "dialog") {
    need(1);
    HWND h = ToWindow(a[1]);
    RECT r{};
    GetWindowRect(h, &r);
    const bool topmost = (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &info);
    const int focus = info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0;
    // The password field's mask character, and whether it masks at all.
    HWND password = GetDlgItem(h, 1002);
    const LRESULT mask = password ? SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0) : 0;
    return "ok\t" + std::to_string(r.left) + "\t" + std::to_string(r.top) + "\t" +
           (topmost ? "1" : "0") + "\t" + std::to_string(focus) + "\t" +
           Utf8(std::wstring(1, static_cast<wchar_t>(mask ? mask : L'-')));
  }
  if (cmd == "message") {
    need(1);
    MessageText out;
    EnumChildWindows(ToWindow(a[1]), CollectStatic, reinterpret_cast<LPARAM>(&out));
    return "ok\t" + Escape(Utf8(out.text));
  }
  if (cmd == "date") {
    need(3);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(std::atoi(a[1].c_str()));
    st.wMonth = static_cast<WORD>(std::atoi(a[2].c_str()));
    st.wDay = static_cast<WORD>(std::atoi(a[3].c_str()));
    wchar_t text[128] = {};
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, text, 128) <= 0)
      return "error\tGetDateFormatW";
    return "ok\t" + Utf8(text);
  }
  if (cmd == "windows") {
    std::wstring out;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&out));
    return "ok\t" + Escape(Utf8(out));
  }
  return "error\tunknown command " + cmd;
}

}  // namespace

int main() {
  std::string line;
  int c;
  Answer("ready");
  while ((c = std::fgetc(stdin)) != EOF) {
    if (c == '\r') continue;
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    if (line == "quit") break;
    try {
      Answer(Run(Split(line)));
    } catch (const std::string& e) {
      Answer(e);
    }
    line.clear();
  }
  return 0;
}
