#include "app/registration.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "com/server.h"
#include "winapi/error.h"
#include "winapi/unique_any.h"

namespace tindrel {
namespace {

constexpr wchar_t kDocumentProgId[] = L"TindrelORV.Document";
constexpr wchar_t kKeyClass[] = L"ORV AS";

// Creates or opens `path` under HKEY_CLASSES_ROOT with the association's
// key class; an empty handle when that fails.
win::UniqueHKey CreateClassesKey(const std::wstring& path) {
  win::UniqueHKey key;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, const_cast<wchar_t*>(kKeyClass),
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS) {
    key.release();
  }
  return key;
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

bool IsElevated() {
  DWORD error = ERROR_SUCCESS;
  TOKEN_ELEVATION elevation{};
  {
    win::UniqueHandle token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
        !GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
      error = GetLastError();
    }
  }
  if (error == ERROR_SUCCESS) return elevation.TokenIsElevated != 0;
  // Systems before token elevation do not know the information class.
  if (error == ERROR_INVALID_PARAMETER) return true;
  throw win::Win32Error(error);
}

bool IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  win::UniqueSid administrators;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                0, 0, 0, 0, 0, administrators.put())) {
    win::ThrowLastError();
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators.get(), &member)) win::ThrowLastError();
  return member != FALSE;
}

void RegisterFileAssociation() noexcept {
  try {
    wchar_t program[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (n == 0 || n == MAX_PATH) return;
    const std::wstring command = L"\"" + std::wstring(program) + L"\" \"%1\"";
    const std::wstring commandKey = std::wstring(kDocumentProgId) + L"\\shell\\open\\command";

    if (win::UniqueHKey key = CreateClassesKey(L".orv")) {
      SetString(key.get(), nullptr, kDocumentProgId);
    }
    if (win::UniqueHKey key = CreateClassesKey(kDocumentProgId)) {
      SetDword(key.get(), L"BrowserFlags", 8);      // open downloads outside the browser
      SetDword(key.get(), L"EditFlags", 0x10000);  // safe to open
    }
    if (win::UniqueHKey key = CreateClassesKey(commandKey)) {
      SetString(key.get(), nullptr, command);
    }
  } catch (...) {
    // Only the strings can throw (no memory): the association stays unwritten.
  }
}

void RegisterAutomationServer() { com::RegisterServer(com::RegistryScope::Machine); }

void UnregisterAutomationServer() { com::UnregisterServer(com::RegistryScope::Machine); }

void RegistrationProcedure(HWND owner) {
  if (IsElevated()) {
    UnregisterAutomationServer();
    RegisterAutomationServer();
    return;
  }
  if (IsAdministrator()) {
    RegisterAutomationServer();
    return;
  }
  wchar_t program[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH);
  if (n == 0 || n == MAX_PATH) return;

  // The elevated copy refreshes the registration at its start-up, then ends
  // at the single-instance mutex this process holds.
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program;
  info.lpParameters = L"/REGSERVER";
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) {
    const win::UniqueHandle process(info.hProcess);
    if (process) WaitForSingleObject(process.get(), INFINITE);
    return;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_CANCELLED) return;  // the user declined the prompt
  const std::wstring text = L"Registrering feilet: " + std::to_wstring(error);
  MessageBoxW(owner, text.c_str(), L"Registrering feilet", MB_OK);
}

}  // namespace tindrel
