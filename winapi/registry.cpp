#include "winapi/registry.h"

#include "winapi/error.h"
#include "winapi/unique_any.h"

namespace tindrel::win {

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path,
                                       const wchar_t* name) {
  UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  // One character more than asked for: a value stored without its
  // terminating null still ends in one here.
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                       &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return value;
}

void SetString(HKEY root, const std::wstring& path, const wchar_t* name,
               const std::wstring& value) {
  UniqueHKey key;
  ThrowIfError(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_SET_VALUE, nullptr, key.put(), nullptr));
  ThrowIfError(RegSetValueExW(key.get(), name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

bool EnsureString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value) {
  if (ReadString(root, path, name) == value) return false;
  SetString(root, path, name, value);
  return true;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  UniqueHKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];  // the longest key name is 255 characters
    DWORD length = 256;
    const LONG rc = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ThrowIfError(rc);
    names.emplace_back(name, length);
  }
  return names;
}

std::vector<std::wstring> ValueNames(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];  // the longest value name is 16383 characters
    DWORD length = 16384;
    const LONG rc = RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ThrowIfError(rc);
    names.emplace_back(name, length);
  }
  return names;
}

void DeleteTree(HKEY root, const std::wstring& path) {
  {
    UniqueHKey key;
    const LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put());
    if (rc == ERROR_FILE_NOT_FOUND) return;
    ThrowIfError(rc);
    for (const std::wstring& sub : SubkeyNames(key.get())) DeleteTree(key.get(), sub);
  }
  const LONG rc = RegDeleteKeyW(root, path.c_str());
  if (rc != ERROR_FILE_NOT_FOUND) ThrowIfError(rc);
}

}  // namespace tindrel::win
