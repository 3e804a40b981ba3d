#pragma once
// Registry reads and writes shared by the automation server's registration
// and the ".orv" association. Paths are relative to an open key; string
// values are REG_SZ stored with their terminating null. Writes throw
// Win32Error on failure; Windows XP has no RegDeleteTree, hence DeleteTree.
// Windows only.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace tindrel::win {

// The string value `name` (the default value for null) of `path`, without
// trailing nulls; nothing when the key or the value is missing or holds
// another type than REG_SZ.
std::optional<std::wstring> ReadString(HKEY root, const std::wstring& path,
                                       const wchar_t* name = nullptr);

// Creates the key `path` under `root` as needed and sets its value `name`
// (the default value for null).
void SetString(HKEY root, const std::wstring& path, const wchar_t* name,
               const std::wstring& value);

// SetString, skipped when the registry already holds exactly `value`: a
// refresh of a current registration writes nothing. True when it wrote.
bool EnsureString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value);

bool KeyExists(HKEY root, const std::wstring& path);

// The names of the subkeys and of the values (the default value as an
// empty name) of `key`, which must allow enumerating.
std::vector<std::wstring> SubkeyNames(HKEY key);
std::vector<std::wstring> ValueNames(HKEY key);

// Deletes `path` under `root` with everything below it; a missing key is
// not an error.
void DeleteTree(HKEY root, const std::wstring& path);

}  // namespace tindrel::win
