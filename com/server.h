#pragma once
// The automation server of the process: the type library it serves from
// its own TYPELIB resource 1, the class objects it registers with COM, the
// count of live objects that ends an automation process, and the registry
// entries. The creatable classes are the caller's: a table of Coclass rows
// that lives as long as the process. Windows only; main thread only.

#include <windows.h>
#include <oaidl.h>

#include <span>
#include <string>
#include <vector>

#include "com/error_info.h"

namespace tindrel::com {

// One creatable class of the library.
struct Coclass {
  const CLSID& clsid;
  const wchar_t* name;    // the coclass name
  const wchar_t* progId;  // the library's name, a dot and the class's name
  const IID& iid;         // the default (dual) interface
  const IID* events;      // the default source dispinterface, or null
  // A new object of the class, asked for `iid`; what a class factory's
  // CreateInstance returns.
  HRESULT (*create)(REFIID iid, void** out) noexcept;
};

// The type library embedded in the running program as TYPELIB resource 1,
// loaded once (LoadTypeLibEx on the module path, not registered). Throws
// ComError when the program carries none.
ComPtr<ITypeLib> TypeLibrary();
// The description of the type with `guid`: for a dual interface its
// dispatch view (what IDispatch::GetTypeInfo hands out).
ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid);
// The vtable view of the dual interface `iid` (what ITypeInfo::Invoke calls
// through).
ComPtr<ITypeInfo> VtableTypeInfoOf(REFIID iid);

// The server process's count of live objects and class-factory locks
// (CoAddRefServerProcess / CoReleaseServerProcess). Every object holds one
// from construction to destruction.
void ServerProcessAddRef() noexcept;
void ServerProcessRelease() noexcept;

// A reference of the server process's count, held from construction to
// destruction.
class ServerProcessReference {
 public:
  ServerProcessReference() noexcept { ServerProcessAddRef(); }
  ~ServerProcessReference() { ServerProcessRelease(); }
  ServerProcessReference(const ServerProcessReference&) = delete;
  ServerProcessReference& operator=(const ServerProcessReference&) = delete;
};
// Automation mode: when the count drops to zero, the class objects are
// revoked at once (a client that asks now gets a new server process rather
// than this ending one) and WM_QUIT is posted to `threadId` (the main
// thread, whose message loop then ends). In any other mode the last release
// ends nothing and the class objects stay available.
//
// The same end comes to an automation instance that has had no live object
// for AutomationIdleLimit(): its client never made one, or gave up while
// this instance waited for its predecessor. It must not keep the
// single-instance mutex, since every later start would be refused. The wait runs as a thread timer
// of the calling (main) thread, so the message loop must run.
void QuitOnLastRelease(DWORD threadId) noexcept;

// How long an automation instance waits idle before it ends: five minutes.
// For tests only, the environment variable TINDREL_AUTOMATION_IDLE_MS,
// when it holds a whole number of milliseconds from 1 up to that, shortens
// it; anything else is ignored. Read here and nowhere else.
DWORD AutomationIdleLimit() noexcept;

// The class objects of `classes`, registered with COM for the life of this
// value (REGCLS_MULTIPLEUSE; the objects live in the calling
// thread's apartment) and revoked when it ends. Throws ComError when a
// registration fails, revoking the ones already made.
class ClassObjects {
 public:
  explicit ClassObjects(std::span<const Coclass> classes);
  ~ClassObjects();
  ClassObjects(const ClassObjects&) = delete;
  ClassObjects& operator=(const ClassObjects&) = delete;

  // Revokes what is still registered.
  void Revoke() noexcept;

 private:
  std::vector<DWORD> cookies_;  // one per class; zero once revoked
};

// Where the registry entries go: HKEY_CLASSES_ROOT, or the user's
// HKEY_CURRENT_USER\Software\Classes for the per-user switches.
enum class RegistryScope { Machine, User };

// Writes the entries of every class of `classes` (CLSID key with the class's help
// string, LocalServer32 with the quoted program path, ProgID both ways,
// TypeLib and Version) and registers the type library from the program's
// own resource, under locale 409 (RegisterTypeLib) and locale 0 (written
// here: Wine's marshaler looks only there). Gapless and idempotent: entries
// are written in place and only where the registry holds something else,
// the type library is registered again only when its entries differ, and
// what does not belong in the class and ProgID keys (other values and
// subkeys, a former ProgID of the class that still points back at it) is
// removed after the current entries stand. Returns whether it changed
// anything; throws Error on failure.
bool RegisterServer(std::span<const Coclass> classes,
                    RegistryScope scope = RegistryScope::Machine);
// Removes what RegisterServer wrote for `classes`. Entries that are not there are not an
// error. Throws Error when an existing entry cannot be removed.
void UnregisterServer(std::span<const Coclass> classes,
                      RegistryScope scope = RegistryScope::Machine);

}  // namespace tindrel::com
