#pragma once
// What the Windows clients of the Wine tests share: the server processes
// they count and wait for, and the service double's control call (the
// double's address in TINDREL_SERVICE_URL, set by their Python driver).

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "contract/http_transport.h"
#include "winapi/unique_any.h"

namespace tindrel::test {

// The ids of the running processes of `image` (the automation server).
inline std::vector<DWORD> ServerProcesses(const wchar_t* image = L"Tindrel2.exe") {
  std::vector<DWORD> ids;
  const win::UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, image) == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

// Waits up to `ms` for every server process to end, delivering what COM
// still has for this apartment meanwhile; whether none is left.
inline bool NoServerWithin(DWORD ms) {
  const DWORD start = GetTickCount();
  while (!ServerProcesses().empty()) {
    if (GetTickCount() - start > ms) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(100);
  }
  return true;
}

// An environment variable's value, "" when it is not set.
inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The double's address, from TINDREL_SERVICE_URL.
inline std::string ServiceUrl() { return Env("TINDREL_SERVICE_URL"); }

// Posts `body` (JSON) to the double's /control; its reply.
inline HttpReply DoubleControl(const std::string& body) {
  const std::string url = ServiceUrl();
  const std::string control = url.substr(0, url.find('/', url.find("://") + 3)) + "/control";
  return CreatePlatformHttpTransport()->Post(control, "\"\"", "application/json", body);
}

}  // namespace tindrel::test
