// The least an out-of-process automation server can be: one class whose
// IDispatch answers every name with DISPID 1 and every property get with an
// empty string, served from a single-threaded apartment until the last
// object is released. What Tindrel2.exe's activation, calls and memory are
// measured against (the floor).
//
//   floor_server.exe /register     writes its class under HKEY_CLASSES_ROOT
//   floor_server.exe /unregister   removes it
//   floor_server.exe -Embedding    started by COM for a client
//   floor_server.exe /exit         ends at once (a bare process start)
//   floor_server.exe /window       shows a window that closes itself at once
//                                  (what a job's main window costs)

#include <windows.h>
#include <oaidl.h>

#include <new>
#include <string>

namespace {

// {6692B2A4-9E4C-4DCE-A330-0333886E47F3}
const CLSID kFloorClsid = {0x6692b2a4, 0x9e4c, 0x4dce,
                           {0xa3, 0x30, 0x03, 0x33, 0x88, 0x6e, 0x47, 0xf3}};
constexpr wchar_t kClsidText[] = L"{6692B2A4-9E4C-4DCE-A330-0333886E47F3}";
constexpr wchar_t kProgId[] = L"TindrelBench.Floor";

DWORD g_mainThread = 0;
DWORD g_classCookie = 0;

class FloorObject final : public IDispatch {
 public:
  FloorObject() { CoAddRefServerProcess(); }
  ~FloorObject() {
    if (CoReleaseServerProcess() == 0) {
      CoRevokeClassObject(g_classCookie);
      PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
    }
  }
  FloorObject(const FloorObject&) = delete;
  FloorObject& operator=(const FloorObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) ids[i] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (result) {
      VariantInit(result);
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocStringLen(nullptr, 0);
    }
    return S_OK;
  }

 private:
  LONG refs_ = 1;
};

class FloorFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // A static object: COM's references do not decide its life.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    FloorObject* object = new (std::nothrow) FloorObject;
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      CoAddRefServerProcess();
    } else if (CoReleaseServerProcess() == 0) {
      CoRevokeClassObject(g_classCookie);
      PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
    }
    return S_OK;
  }
};

bool SetValue(const std::wstring& key, const std::wstring& value) {
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const LONG r = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

int Register() {
  wchar_t path[MAX_PATH] = {};
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return 1;
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
  const bool ok = SetValue(clsidKey, L"Floor of the activation benchmark") &&
                  SetValue(clsidKey + L"\\LocalServer32", std::wstring(L"\"") + path + L"\"") &&
                  SetValue(clsidKey + L"\\ProgID", kProgId) &&
                  SetValue(kProgId, L"Floor of the activation benchmark") &&
                  SetValue(std::wstring(kProgId) + L"\\CLSID", kClsidText);
  return ok ? 0 : 1;
}

int Unregister() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
  RegDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
  return 0;
}

int Serve() {
  g_mainThread = GetCurrentThreadId();
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  static FloorFactory factory;
  if (FAILED(CoRegisterClassObject(kFloorClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                   &g_classCookie))) {
    CoUninitialize();
    return 1;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  CoUninitialize();
  return 0;
}

LRESULT CALLBACK FlashProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SHOWWINDOW && wParam) PostMessageW(window, WM_CLOSE, 0, 0);
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

int Flash(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &FlashProc;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TindrelBenchFlash";
  if (!RegisterClassExW(&wc)) return 1;
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"Floor", WS_OVERLAPPEDWINDOW, 0, 0, 475,
                                165, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOW);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR line, int) {
  const std::wstring args = line ? line : L"";
  if (args.find(L"/register") != std::wstring::npos) return Register();
  if (args.find(L"/unregister") != std::wstring::npos) return Unregister();
  if (args.find(L"/exit") != std::wstring::npos) return 0;
  if (args.find(L"/window") != std::wstring::npos) return Flash(instance);
  return Serve();
}
