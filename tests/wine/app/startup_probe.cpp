// startup_probe.exe: starts a program and reports what it shows, the way a
// user would see it, one line each:
//
//   messagebox|<caption>|<text>   a message box (answered with OK)
//   window|<caption>              another visible top-level window (closed)
//   exit|<code>                   the program ended by itself
//   running|hidden                still running at the time limit without
//                                 having shown a window (then ended)
//   running|shown                 still running at the time limit although
//                                 its windows were closed (then ended)
//
//   startup_probe.exe [--beside FIRST] MILLISECONDS PROGRAM [ARGUMENTS]
//
// ARGUMENTS is handed over as the program's command line after its quoted
// path, exactly, with {q} standing for a double quote and {cur} for U+00A4
// (both awkward to pass through a shell and Wine). With --beside, a first
// instance is started with FIRST and, once it holds the single-instance
// mutex, the program is probed beside it; the first instance is ended
// afterwards, and every window it showed meanwhile is reported as
// "first-window|<caption>".

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

std::wstring Decode(std::wstring s) {
  const std::pair<const wchar_t*, const wchar_t*> codes[] = {{L"{q}", L"\""},
                                                            {L"{cur}", L"\u00A4"}};
  for (const auto& [code, text] : codes) {
    for (size_t at = s.find(code); at != s.npos; at = s.find(code, at + 1)) {
      s.replace(at, wcslen(code), text);
    }
  }
  return s;
}

// Lines are printed as UTF-8.
void Print(const std::wstring& line) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), n, nullptr, nullptr);
  std::printf("%s\n", utf8.c_str());
  std::fflush(stdout);
}

std::wstring Text(HWND window) {
  wchar_t buf[1024] = {};
  GetWindowTextW(window, buf, 1024);
  return buf;
}

struct Search {
  DWORD process;
  std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND window, LPARAM p) {
  auto* s = reinterpret_cast<Search*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == s->process && IsWindowVisible(window)) s->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> VisibleWindows(DWORD process) {
  Search s{process, {}};
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&s));
  return s.windows;
}

// Reports and answers the windows of `process` not seen before.
void HandleWindows(DWORD process, std::set<HWND>& seen, const wchar_t* prefix, bool answer) {
  for (HWND w : VisibleWindows(process)) {
    if (!seen.insert(w).second) continue;
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (wcscmp(cls, L"#32770") == 0) {
      wchar_t text[2048] = {};
      GetDlgItemTextW(w, 0xFFFF, text, 2048);
      Print(std::wstring(prefix) + L"messagebox|" + Text(w) + L"|" + text);
      if (answer) PostMessageW(w, WM_COMMAND, IDOK, 0);
    } else {
      Print(std::wstring(prefix) + L"window|" + Text(w));
      if (answer) PostMessageW(w, WM_CLOSE, 0, 0);
    }
  }
}

bool Start(const std::wstring& program, const std::wstring& arguments, PROCESS_INFORMATION& pi) {
  std::wstring line = L"\"" + program + L"\"";
  if (!arguments.empty()) line += L" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  return CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi) != FALSE;
}

bool WaitForMutex(DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 100) {
    if (HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, L"mxTindrel2")) {
      CloseHandle(m);
      return true;
    }
    Sleep(100);
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int i = 1;
  std::wstring first;
  bool beside = false;
  if (argc > i + 1 && wcscmp(argv[i], L"--beside") == 0) {
    beside = true;
    first = Decode(argv[i + 1]);
    i += 2;
  }
  if (argc < i + 2) {
    Print(L"usage: startup_probe [--beside FIRST] MILLISECONDS PROGRAM [ARGUMENTS]");
    return 2;
  }
  const DWORD limit = static_cast<DWORD>(_wtoi(argv[i]));
  const std::wstring program = argv[i + 1];
  const std::wstring arguments = argc > i + 2 ? Decode(argv[i + 2]) : std::wstring();

  PROCESS_INFORMATION firstPi{};
  std::set<HWND> firstSeen;
  if (beside) {
    if (!Start(program, first, firstPi) || !WaitForMutex(20000)) {
      Print(L"error|the first instance did not start");
      return 2;
    }
    for (HWND w : VisibleWindows(firstPi.dwProcessId)) firstSeen.insert(w);
  }

  PROCESS_INFORMATION pi{};
  if (!Start(program, arguments, pi)) {
    Print(L"error|CreateProcess failed with " + std::to_wstring(GetLastError()));
    return 2;
  }
  std::set<HWND> seen;
  DWORD waited = 0;
  bool ended = false;
  while (waited < limit) {
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    waited += 100;
    HandleWindows(pi.dwProcessId, seen, L"", true);
    if (beside) HandleWindows(firstPi.dwProcessId, firstSeen, L"first-", false);
  }
  if (ended) {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    Print(L"exit|" + std::to_wstring(code));
  } else {
    Print(seen.empty() ? L"running|hidden" : L"running|shown");
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  if (beside) {
    HandleWindows(firstPi.dwProcessId, firstSeen, L"first-", false);
    TerminateProcess(firstPi.hProcess, 1);
    WaitForSingleObject(firstPi.hProcess, 5000);
    CloseHandle(firstPi.hThread);
    CloseHandle(firstPi.hProcess);
  }
  return 0;
}
