#include "app/registration.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "automation/win/coclasses.h"
#include "com/server.h"
#include "winapi/error.h"
#include "winapi/module_path.h"
#include "winapi/registry.h"
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

// Sets the value unless the key already holds exactly this type and data.
void EnsureValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  DWORD oldType = 0, oldSize = 0;
  if (RegQueryValueExW(key, name, nullptr, &oldType, nullptr, &oldSize) == ERROR_SUCCESS &&
      oldType == type && oldSize == size) {
    std::wstring old(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &oldType, reinterpret_cast<BYTE*>(old.data()),
                         &oldSize) == ERROR_SUCCESS &&
        oldType == type && oldSize == size && std::memcmp(old.data(), data, size) == 0) {
      return;
    }
  }
  RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  EnsureValue(key, name, REG_SZ, value.c_str(),
              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetDword(HKEY key, const wchar_t* name, DWORD value) {
  EnsureValue(key, name, REG_DWORD, &value, sizeof value);
}

// The default value of HKEY_CLASSES_ROOT\`path`, or empty.
std::wstring ClassesString(const std::wstring& path) {
  return win::ReadString(HKEY_CLASSES_ROOT, path).value_or(std::wstring());
}

// The program's path, or empty when the system cannot tell.
std::wstring ProgramPath() {
  try {
    return win::ModulePath();
  } catch (const win::Win32Error&) {
    return {};
  }
}

std::wstring OpenCommand(const std::wstring& program) {
  return L"\"" + program + L"\" \"%1\"";
}

const std::wstring& CommandKey() {
  static const std::wstring key = std::wstring(kDocumentProgId) + L"\\shell\\open\\command";
  return key;
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
    const std::wstring program = ProgramPath();
    if (program.empty()) return;
    if (win::UniqueHKey key = CreateClassesKey(L".orv")) {
      SetString(key.get(), nullptr, kDocumentProgId);
    }
    if (win::UniqueHKey key = CreateClassesKey(kDocumentProgId)) {
      SetDword(key.get(), L"BrowserFlags", 8);      // open downloads outside the browser
      SetDword(key.get(), L"EditFlags", 0x10000);  // safe to open
    }
    if (win::UniqueHKey key = CreateClassesKey(CommandKey())) {
      SetString(key.get(), nullptr, OpenCommand(program));
    }
  } catch (...) {
    // Only the strings can throw (no memory): the association stays unwritten.
  }
}

void UnregisterFileAssociation() {
  const std::wstring program = ProgramPath();
  if (program.empty() ||
      _wcsicmp(ClassesString(CommandKey()).c_str(), OpenCommand(program).c_str()) != 0) {
    return;
  }
  if (_wcsicmp(ClassesString(L".orv").c_str(), kDocumentProgId) == 0) {
    win::DeleteTree(HKEY_CLASSES_ROOT, L".orv");
  }
  win::DeleteTree(HKEY_CLASSES_ROOT, kDocumentProgId);
}

bool RegisterAutomationServer() {
  return com::RegisterServer(Coclasses(), com::RegistryScope::Machine);
}

void UnregisterAutomationServer() {
  com::UnregisterServer(Coclasses(), com::RegistryScope::Machine);
}

void RegistrationProcedure(HWND owner) {
  if (IsElevated()) {
    // Repairs in place what differs; a client activating meanwhile never
    // finds the classes missing.
    RegisterAutomationServer();
    return;
  }
  if (IsAdministrator()) {
    RegisterAutomationServer();
    return;
  }
  const std::wstring program = ProgramPath();
  if (program.empty()) return;

  // The elevated copy refreshes the registration at its start-up, then ends
  // at the single-instance mutex this process holds.
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = program.c_str();
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
