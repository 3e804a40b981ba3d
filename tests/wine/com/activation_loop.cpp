// A client activating <progid> over and over until a line arrives on stdin,
// both ways clients do: by the class identifier it learnt at its start (as
// one built against the type library), and by the ProgID looked up, the
// class's ProgID looked up back, then the object created; each object is
// released at once. One object is held throughout, so the
// server stays up. Prints "ready" once it holds it, then at the end
// "done iterations=N failures=N" and one "hr <hex> <count>" line per
// failing result.

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <map>

#include "winapi/com_ptr.h"
#include "winapi/unique_any.h"

namespace {

volatile LONG g_stop = 0;

DWORD WINAPI WaitForLine(void*) {
  char line[64];
  fgets(line, sizeof line, stdin);
  InterlockedExchange(&g_stop, 1);
  return 0;
}

HRESULT Create(REFCLSID clsid, IUnknown** out) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                          reinterpret_cast<void**>(out));
}

HRESULT Activate(const wchar_t* progId, IUnknown** out, CLSID& clsid) {
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  wchar_t* back = nullptr;
  hr = ProgIDFromCLSID(clsid, &back);
  CoTaskMemFree(back);
  if (FAILED(hr)) return hr;
  return Create(clsid, out);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  if (FAILED(CoInitialize(nullptr))) return 1;
  tindrel::win::ComPtr<IUnknown> held;
  CLSID clsid{};
  if (FAILED(Activate(argv[1], held.put(), clsid))) {
    std::printf("not ready\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const tindrel::win::UniqueHandle reader(CreateThread(nullptr, 0, WaitForLine, nullptr, 0, nullptr));
  long iterations = 0, failures = 0;
  std::map<HRESULT, long> byResult;
  while (!g_stop) {
    for (int way = 0; way < 2; ++way) {
      tindrel::win::ComPtr<IUnknown> object;
      CLSID found{};
      const HRESULT hr = way == 0 ? Create(clsid, object.put())
                                  : Activate(argv[1], object.put(), found);
      ++iterations;
      if (FAILED(hr)) {
        ++failures;
        ++byResult[hr];
      }
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  std::printf("done iterations=%ld failures=%ld\n", iterations, failures);
  for (const auto& [hr, count] : byResult) {
    std::printf("hr %08lx %ld\n", static_cast<unsigned long>(hr), count);
  }
  std::fflush(stdout);
  held.reset();
  CoUninitialize();
  return 0;
}
