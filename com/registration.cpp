// The registry entries of the automation server (see RegisterServer in
// com/server.h).

#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "com/error_info.h"
#include "com/server.h"
#include "winapi/bitness.h"
#include "winapi/module_path.h"
#include "winapi/registry.h"
#include "winapi/unique_any.h"

namespace tindrel::com {
namespace {

std::wstring GuidText(REFGUID guid) {
  wchar_t buf[40] = {};
  StringFromGUID2(guid, buf, 40);
  return buf;
}

// A new handle to the root the entries go under.
UniqueHKey OpenRoot(RegistryScope scope) {
  UniqueHKey root;
  if (scope == RegistryScope::Machine) {
    ThrowIfError(RegOpenKeyExW(HKEY_CLASSES_ROOT, nullptr, 0, KEY_ALL_ACCESS, root.put()));
  } else {
    ThrowIfError(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, root.put(),
                                 nullptr));
  }
  return root;
}

// The default value of `path`, or empty when the key or the value is missing.
std::wstring GetString(HKEY root, const std::wstring& path) {
  return ReadString(root, path).value_or(std::wstring());
}

// Removes from `path` (a key wholly ours) every named value and every
// subkey not in `subkeys`: what an older or foreign write left there. The
// default value and the listed subkeys stay as they are. True when it
// removed anything.
bool KeepOnly(HKEY root, const std::wstring& path, std::initializer_list<const wchar_t*> subkeys) {
  UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_SET_VALUE | DELETE, key.put()) !=
      ERROR_SUCCESS) {
    return false;
  }
  bool removed = false;
  for (const std::wstring& name : SubkeyNames(key.get())) {
    bool wanted = false;
    for (const wchar_t* s : subkeys) wanted = wanted || _wcsicmp(s, name.c_str()) == 0;
    if (!wanted) {
      DeleteTree(key.get(), name);
      removed = true;
    }
  }
  for (const std::wstring& name : ValueNames(key.get())) {
    if (name.empty()) continue;
    ThrowIfError(RegDeleteValueW(key.get(), name.c_str()));
    removed = true;
  }
  return removed;
}

std::wstring HelpString(ITypeLib& lib, REFGUID guid) {
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(lib.GetTypeInfoOfGuid(guid, info.put()), "GetTypeInfoOfGuid");
  UniqueBstr help;
  ThrowIfFailed(info->GetDocumentation(MEMBERID_NIL, nullptr, help.put(), nullptr, nullptr),
                "GetDocumentation");
  return std::wstring(help.get() ? help.get() : L"");
}

struct LibraryIdentity {
  GUID libid;
  WORD major, minor;
  LCID lcid;
  // "TypeLib\{LIBID}" and "TypeLib\{LIBID}\1.0"
  std::wstring key() const { return L"TypeLib\\" + GuidText(libid); }
  std::wstring versionKey() const {
    return key() + L"\\" + std::to_wstring(major) + L"." + std::to_wstring(minor);
  }
};

LibraryIdentity IdentityOf(ITypeLib& lib) {
  TLIBATTR* attr = nullptr;
  ThrowIfFailed(lib.GetLibAttr(&attr), "GetLibAttr");
  const LibraryIdentity id{attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid};
  lib.ReleaseTLibAttr(attr);
  return id;
}

// The per-user forms of the type library calls exist from Windows Vista
// on; without them the library is registered machine-wide.
template <typename Fn>
Fn OleAutFunction(const char* name) {
  const HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  if (!oleaut) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(oleaut, name)));
}

void RegisterLibrary(ITypeLib& lib, const std::wstring& path, RegistryScope scope) {
  using Register = decltype(&RegisterTypeLib);
  Register fn = &RegisterTypeLib;
  if (scope == RegistryScope::User) {
    if (Register forUser = OleAutFunction<Register>("RegisterTypeLibForUser")) fn = forUser;
  }
  std::wstring file = path;
  ThrowIfFailed(fn(&lib, file.data(), nullptr), "RegisterTypeLib");
}

void UnregisterLibrary(const LibraryIdentity& id, RegistryScope scope) {
  using Unregister = decltype(&UnRegisterTypeLib);
  Unregister fn = &UnRegisterTypeLib;
  if (scope == RegistryScope::User) {
    if (Unregister forUser = OleAutFunction<Unregister>("UnRegisterTypeLibForUser")) fn = forUser;
  }
  // What it leaves behind (a library file that no longer loads makes it
  // stop early) is removed by the caller.
  fn(id.libid, id.major, id.minor, id.lcid, win::kTypeLibSyskind);
}

// The interfaces and dispinterfaces the library describes.
std::vector<GUID> InterfaceIds(ITypeLib& lib) {
  std::vector<GUID> ids;
  const UINT count = lib.GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    TYPEKIND kind = TKIND_MAX;
    if (FAILED(lib.GetTypeInfoType(i, &kind))) continue;
    if (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH) continue;
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    if (FAILED(lib.GetTypeInfo(i, info.put())) || FAILED(info->GetTypeAttr(&attr))) continue;
    ids.push_back(attr->guid);
    info->ReleaseTypeAttr(attr);
  }
  return ids;
}

std::wstring Hex(unsigned value) {
  wchar_t buf[16] = {};
  swprintf(buf, 16, L"%x", value);
  return buf;
}

// Whether the registry already holds what RegisterTypeLib would write for
// the library at `path`: the version key with the library's description,
// its locale, FLAGS and HELPDIR entries, and every interface it describes
// tied back to it. Anything missing or different is reason to register it
// again (in place: registering never removes first).
bool LibraryCurrent(HKEY root, ITypeLib& lib, const LibraryIdentity& id,
                    const std::wstring& path) {
  const std::wstring version = id.versionKey();
  UniqueBstr doc;
  ThrowIfFailed(lib.GetDocumentation(-1, nullptr, doc.put(), nullptr, nullptr), "GetDocumentation");
  if (ReadString(root, version) != std::wstring(doc.get() ? doc.get() : L"") ||
      ReadString(root, version + L"\\" + Hex(id.lcid) + L"\\" + win::kTypeLibPlatformKey) !=
          path ||
      !KeyExists(root, version + L"\\FLAGS") || !KeyExists(root, version + L"\\HELPDIR")) {
    return false;
  }
  const std::wstring libid = GuidText(id.libid);
  const std::wstring versionText = Hex(id.major) + L"." + Hex(id.minor);
  for (const GUID& iid : InterfaceIds(lib)) {
    const std::wstring key = L"Interface\\" + GuidText(iid);
    ComPtr<ITypeInfo> info;
    UniqueBstr name;
    if (FAILED(lib.GetTypeInfoOfGuid(iid, info.put())) ||
        FAILED(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr))) {
      return false;
    }
    if (ReadString(root, key) != std::wstring(name.get() ? name.get() : L"") ||
        ReadString(root, key + L"\\ProxyStubClsid32").value_or(L"").empty() ||
        ReadString(root, key + L"\\TypeLib") != libid ||
        ReadString(root, key + L"\\TypeLib", L"Version") != versionText) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool RegisterServer(std::span<const Coclass> classes, RegistryScope scope) {
  const std::wstring path = win::ModulePath();
  const ComPtr<ITypeLib> lib = TypeLibrary();
  const LibraryIdentity id = IdentityOf(*lib);
  const UniqueHKey root = OpenRoot(scope);
  const std::wstring libid = GuidText(id.libid);
  const std::wstring version = std::to_wstring(id.major) + L"." + std::to_wstring(id.minor);

  // Every entry is written in place and only where it differs, and nothing
  // a client needs is removed on the way: a client activating meanwhile
  // finds the old entries or the new ones, never none.
  bool changed = false;
  for (const Coclass& c : classes) {
    const std::wstring help = HelpString(*lib, c.clsid);
    const std::wstring clsid = GuidText(c.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    const std::optional<std::wstring> oldProgId = ReadString(root.get(), key + L"\\ProgID");
    changed |= EnsureString(root.get(), key, nullptr, help);
    changed |= EnsureString(root.get(), key + L"\\LocalServer32", nullptr, L"\"" + path + L"\"");
    changed |= EnsureString(root.get(), key + L"\\ProgID", nullptr, c.progId);
    changed |= EnsureString(root.get(), key + L"\\TypeLib", nullptr, libid);
    changed |= EnsureString(root.get(), key + L"\\Version", nullptr, version);
    changed |= EnsureString(root.get(), c.progId, nullptr, help);
    changed |= EnsureString(root.get(), std::wstring(c.progId) + L"\\CLSID", nullptr, clsid);
    changed |= KeepOnly(root.get(), key, {L"LocalServer32", L"ProgID", L"TypeLib", L"Version"});
    for (const wchar_t* sub : {L"LocalServer32", L"ProgID", L"TypeLib", L"Version"}) {
      changed |= KeepOnly(root.get(), key + L"\\" + sub, {});
    }
    changed |= KeepOnly(root.get(), c.progId, {L"CLSID"});
    changed |= KeepOnly(root.get(), std::wstring(c.progId) + L"\\CLSID", {});
    // A ProgID the class used to name (an older copy's), still pointing
    // back at the class, goes: only the current one leads to it.
    if (oldProgId && !oldProgId->empty() && _wcsicmp(oldProgId->c_str(), c.progId) != 0 &&
        _wcsicmp(GetString(root.get(), *oldProgId + L"\\CLSID").c_str(), clsid.c_str()) == 0) {
      DeleteTree(root.get(), *oldProgId);
      changed = true;
    }
  }

  if (!LibraryCurrent(root.get(), *lib, id, path)) {
    RegisterLibrary(*lib, path, scope);
    changed = true;
  }
  // RegisterTypeLib writes the library's own locale (409) only; Wine's
  // marshaler looks under locale 0 and, without it, fails every
  // cross-process Advise with E_NOINTERFACE. Harmless on Windows.
  changed |= EnsureString(root.get(), id.versionKey() + L"\\0\\" + win::kTypeLibPlatformKey,
                          nullptr, path);
  return changed;
}

void UnregisterServer(std::span<const Coclass> classes, RegistryScope scope) {
  const ComPtr<ITypeLib> lib = TypeLibrary();
  const LibraryIdentity id = IdentityOf(*lib);
  const UniqueHKey root = OpenRoot(scope);
  const std::wstring libid = GuidText(id.libid);

  for (const Coclass& c : classes) {
    DeleteTree(root.get(), L"CLSID\\" + GuidText(c.clsid));
    DeleteTree(root.get(), c.progId);
  }

  // The locale-0 entry first: UnRegisterTypeLib keeps a version key that
  // still has a locale under it.
  DeleteTree(root.get(), id.versionKey() + L"\\0");
  if (KeyExists(root.get(), id.versionKey())) UnregisterLibrary(id, scope);
  for (const GUID& iid : InterfaceIds(*lib)) {
    const std::wstring key = L"Interface\\" + GuidText(iid);
    if (_wcsicmp(GetString(root.get(), key + L"\\TypeLib").c_str(), libid.c_str()) == 0) {
      DeleteTree(root.get(), key);
    }
  }
  DeleteTree(root.get(), id.versionKey());
  {
    UniqueHKey key;
    if (RegOpenKeyExW(root.get(), id.key().c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
        SubkeyNames(key.get()).empty()) {
      key.reset();
      DeleteTree(root.get(), id.key());
    }
  }
}

}  // namespace tindrel::com
