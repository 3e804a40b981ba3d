#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <utility>

#include "com/error_info.h"
#include "com/class_factory.h"
#include "com/server.h"
#include "winapi/module_path.h"

namespace tindrel::com {
namespace {

// Zero: not in automation mode.
DWORD g_quitThread = 0;
// The registration of the class objects while there is one.
ClassObjects* g_classObjects = nullptr;
// Live objects and factory locks, as counted here.
ULONG g_live = 0;
// The idle timer of automation mode, while it runs.
UINT_PTR g_idleTimer = 0;

constexpr DWORD kAutomationIdleLimitMs = 5 * 60 * 1000;

// The end of an automation instance: no class object left to ask (a client
// that asks now gets a new server process rather than this ending one), then
// the main thread's loop ends.
void EndAutomationInstance() noexcept {
  if (g_idleTimer) KillTimer(nullptr, std::exchange(g_idleTimer, 0));
  if (g_classObjects) g_classObjects->Revoke();
  PostThreadMessageW(g_quitThread, WM_QUIT, 0, 0);
}

void CALLBACK IdleTimerElapsed(HWND, UINT, UINT_PTR, DWORD) noexcept {
  if (g_idleTimer) KillTimer(nullptr, std::exchange(g_idleTimer, 0));
  if (g_quitThread != 0 && g_live == 0) EndAutomationInstance();
}

}  // namespace

ComPtr<ITypeLib> TypeLibrary() {
  // Loaded on first use and kept for the life of the process; a type
  // library does not belong to an apartment.
  static const ComPtr<ITypeLib> library = [] {
    ComPtr<ITypeLib> lib;
    ThrowIfFailed(LoadTypeLibEx(win::ModulePath().c_str(), REGKIND_NONE, lib.put()),
                  "LoadTypeLibEx (TYPELIB-ressursen)");
    return lib;
  }();
  return library;
}

ComPtr<ITypeInfo> TypeInfoOf(REFGUID guid) {
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(TypeLibrary()->GetTypeInfoOfGuid(guid, info.put()), "GetTypeInfoOfGuid");
  return info;
}

ComPtr<ITypeInfo> VtableTypeInfoOf(REFIID iid) {
  const ComPtr<ITypeInfo> dispatch = TypeInfoOf(iid);
  HREFTYPE vtable = 0;
  ThrowIfFailed(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable),
                "GetRefTypeOfImplType");
  ComPtr<ITypeInfo> info;
  ThrowIfFailed(dispatch->GetRefTypeInfo(vtable, info.put()), "GetRefTypeInfo");
  return info;
}

void ServerProcessAddRef() noexcept {
  ++g_live;
  // An object lives: from now on its last release ends the instance.
  if (g_idleTimer) KillTimer(nullptr, std::exchange(g_idleTimer, 0));
  CoAddRefServerProcess();
}

void ServerProcessRelease() noexcept {
  if (g_live > 0) --g_live;
  if (CoReleaseServerProcess() != 0) return;
  if (g_quitThread != 0) {
    EndAutomationInstance();
  } else {
    // COM suspended the class objects when the count reached zero; outside
    // automation mode the running instance keeps serving new clients (a
    // second process would stop at the single-instance mutex).
    CoResumeClassObjects();
  }
}

void QuitOnLastRelease(DWORD threadId) noexcept {
  g_quitThread = threadId;
  if (g_live == 0 && !g_idleTimer)
    g_idleTimer = SetTimer(nullptr, 0, AutomationIdleLimit(), &IdleTimerElapsed);
}

DWORD AutomationIdleLimit() noexcept {
  wchar_t text[16] = {};
  const DWORD n = GetEnvironmentVariableW(L"TINDREL_AUTOMATION_IDLE_MS", text, 16);
  if (n == 0 || n >= 16) return kAutomationIdleLimitMs;
  wchar_t* end = nullptr;
  const unsigned long ms = wcstoul(text, &end, 10);
  if (end == text || *end != L'\0' || ms == 0 || ms > kAutomationIdleLimitMs)
    return kAutomationIdleLimitMs;
  return static_cast<DWORD>(ms);
}

ClassObjects::ClassObjects(std::span<const Coclass> classes) : cookies_(classes.size(), 0) {
  size_t registered = 0;
  try {
    for (const Coclass& c : classes) {
      const ComPtr<ClassFactory> factory = ComPtr<ClassFactory>::Attach(new ClassFactory(c));
      ThrowIfFailed(CoRegisterClassObject(c.clsid, factory.get(), CLSCTX_LOCAL_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookies_[registered]),
                    "CoRegisterClassObject");
      ++registered;
    }
  } catch (...) {
    Revoke();
    throw;
  }
  g_classObjects = this;
}

ClassObjects::~ClassObjects() {
  Revoke();
  if (g_classObjects == this) g_classObjects = nullptr;
}

void ClassObjects::Revoke() noexcept {
  for (DWORD& cookie : cookies_) {
    if (cookie != 0) CoRevokeClassObject(std::exchange(cookie, 0));
  }
}

}  // namespace tindrel::com
