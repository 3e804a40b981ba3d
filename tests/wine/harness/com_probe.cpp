// An automation client for the fault and load tests, driven by its
// arguments: each word names a step, followed by its operands, and each step
// prints one line when it is done ("<step> ok ..." or "<step> fail ...").
// Lines read from stdin release the steps that wait for them (hold, poll),
// so a harness can keep the client in the middle of its work; meanwhile the
// client pumps messages, as an apartment-threaded client must.
//
//   create <progid>       CoCreateInstance out of process; the object becomes current
//   call <method> <text>  late-bound method call with one string argument
//   get <property>        late-bound property get, the value as text
//   advise                connects a sink to the current object's events
//   events                the DISPIDs the sink received so far
//   pop                   releases the current object
//   release               releases every object held
//   hold                  waits for a line on stdin
//   sleep <ms>
//   pid                   this process's id
//   terminate <pid>       ends another process at once (TerminateProcess)
//   image <file name>     the server that the next steps look at (Tindrel2.exe)
//   servers               how many processes of the server run
//   memory                the server's working set and peak, in bytes
//   waitend <ms>          waits until no process of the server runs
//   load <objects> <calls> <progid> <property>...
//                         creates and releases <objects> objects of <progid>,
//                         then makes <calls> gets, cycling through the properties
//   poll <property>       gets the property on the current object until a
//                         line arrives on stdin; counts calls and failures
//   lock <path>           opens the file without sharing and keeps it open

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "winapi/unique_any.h"
#include "winapi/com_ptr.h"
#include "winapi/strings.h"
#include "test_sink.h"
#include "wine_client.h"

namespace {

using tindrel::win::ComPtr;
using tindrel::win::UniqueBstr;
using tindrel::win::UniqueHandle;
using tindrel::win::UniqueFileHandle;
using tindrel::win::UniqueVariant;
using tindrel::win::Narrow;
using tindrel::win::Widen;

constexpr UINT kStdinLine = WM_APP + 1;

DWORD g_mainThread = 0;
std::mutex g_linesMutex;
std::deque<std::string> g_lines;
bool g_stdinClosed = false;
std::wstring g_serverImage = L"Tindrel2.exe";

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// One answer per line: line breaks and TABs of a text travel as spaces.
std::string Utf8(std::wstring_view w) {
  std::string s = Narrow(w);
  for (char& c : s)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return s;
}

std::string Utf8(BSTR b) { return b ? Utf8(std::wstring_view(b, SysStringLen(b))) : std::string(); }

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

double Millis(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 / frequency;
}

LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

std::string Fixed(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// Reads stdin on its own thread and wakes the main thread for every line.
DWORD WINAPI ReadStdin(void*) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  std::string line;
  char c;
  DWORD n = 0;
  while (ReadFile(in, &c, 1, &n, nullptr) && n == 1) {
    if (c == '\r') continue;
    if (c != '\n') {
      line.push_back(c);
      continue;
    }
    {
      const std::lock_guard<std::mutex> lock(g_linesMutex);
      g_lines.push_back(line);
    }
    line.clear();
    PostThreadMessageW(g_mainThread, kStdinLine, 0, 0);
  }
  {
    const std::lock_guard<std::mutex> lock(g_linesMutex);
    g_stdinClosed = true;
  }
  PostThreadMessageW(g_mainThread, kStdinLine, 0, 0);
  return 0;
}

// Takes the next stdin line, if one came (an ended stdin counts as one).
bool TakeLine() {
  const std::lock_guard<std::mutex> lock(g_linesMutex);
  if (!g_lines.empty()) {
    g_lines.pop_front();
    return true;
  }
  return g_stdinClosed;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Pumps messages for `ms` milliseconds, or until `done` holds.
template <class Done>
bool PumpUntil(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  for (;;) {
    Pump();
    if (done()) return true;
    const DWORD spent = GetTickCount() - start;
    if (ms != INFINITE && spent >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms == INFINITE ? 50 : std::min<DWORD>(50, ms - spent),
                              QS_ALLINPUT);
  }
}

std::vector<DWORD> ServerProcesses() { return tindrel::test::ServerProcesses(g_serverImage.c_str()); }

// What the system says of the one running server's memory.
struct ServerCounters {
  DWORD pid = 0;
  SIZE_T workingSet = 0;
  SIZE_T peak = 0;        // of the working set
  SIZE_T committed = 0;   // private bytes (PagefileUsage)
};

bool ServerMemory(ServerCounters& out) {
  const std::vector<DWORD> ids = ServerProcesses();
  if (ids.size() != 1) return false;
  out.pid = ids[0];
  const UniqueHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, out.pid));
  if (!process) return false;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) return false;
  out.workingSet = counters.WorkingSetSize;
  out.peak = counters.PeakWorkingSetSize;
  out.committed = counters.PagefileUsage;
  return true;
}

struct Held {
  ComPtr<IDispatch> object;
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
};

class Probe {
 public:
  ~Probe() { ReleaseAll(); }

  int Run(int argc, wchar_t** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.push_back(Utf8(std::wstring_view(argv[i])));
    size_t i = 0;
    auto next = [&]() -> std::string {
      if (i >= words.size()) throw std::string("missing operand");
      return words[i++];
    };
    try {
      while (i < words.size()) {
        const std::string step = words[i++];
        if (step == "create") {
          Create(next());
        } else if (step == "call") {
          const std::string method = next();
          Call(method, next());
        } else if (step == "get") {
          Get(next());
        } else if (step == "advise") {
          Advise();
        } else if (step == "events") {
          std::string list;
          for (const auto& call : sink_.calls)
            list += (list.empty() ? "" : ",") + std::to_string(call.dispid);
          Print("events ok " + list);
        } else if (step == "pop") {
          if (!held_.empty()) Unhold(held_.back()), held_.pop_back();
          Print("pop ok");
        } else if (step == "release") {
          ReleaseAll();
          Print("release ok");
        } else if (step == "hold") {
          PumpUntil(INFINITE, TakeLine);
          Print("hold ok");
        } else if (step == "sleep") {
          PumpUntil(static_cast<DWORD>(std::atoi(next().c_str())), [] { return false; });
          Print("sleep ok");
        } else if (step == "pid") {
          Print("pid ok " + std::to_string(GetCurrentProcessId()));
        } else if (step == "terminate") {
          Terminate(static_cast<DWORD>(std::strtoul(next().c_str(), nullptr, 10)));
        } else if (step == "image") {
          g_serverImage = Widen(next());
          Print("image ok");
        } else if (step == "servers") {
          Print("servers ok " + std::to_string(ServerProcesses().size()));
        } else if (step == "memory") {
          Memory();
        } else if (step == "waitend") {
          const DWORD ms = static_cast<DWORD>(std::atoi(next().c_str()));
          const LARGE_INTEGER start = Now();
          const bool ended = PumpUntil(ms, [] { return ServerProcesses().empty(); });
          Print(ended ? "waitend ok " + Fixed(Millis(start, Now())) : "waitend fail running");
        } else if (step == "load") {
          const int objects = std::atoi(next().c_str());
          const int calls = std::atoi(next().c_str());
          const std::string progId = next();
          std::vector<std::string> properties;
          while (i < words.size() && words[i].find('.') == std::string::npos &&
                 !IsStep(words[i]))
            properties.push_back(words[i++]);
          Load(objects, calls, progId, properties);
        } else if (step == "poll") {
          Poll(next());
        } else if (step == "lock") {
          Lock(next());
        } else {
          Print("error unknown step " + step);
          return 2;
        }
      }
    } catch (const std::string& e) {
      Print("error " + e);
      return 2;
    }
    return 0;
  }

 private:
  static bool IsStep(const std::string& w) {
    static const char* const steps[] = {"create", "call",      "get",     "advise", "events",
                                        "pop",    "release",   "hold",    "sleep",  "pid",
                                        "terminate", "servers", "memory", "waitend", "load",
                                        "poll",   "lock",    "image"};
    for (const char* s : steps)
      if (w == s) return true;
    return false;
  }

  static HRESULT CreateObject(const std::string& progId, ComPtr<IDispatch>& out) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(Widen(progId).c_str(), &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, out.put_void());
  }

  void Create(const std::string& progId) {
    Held h;
    const LARGE_INTEGER start = Now();
    const HRESULT hr = CreateObject(progId, h.object);
    const double ms = Millis(start, Now());
    if (FAILED(hr)) {
      Print("create fail " + Hex(hr));
      return;
    }
    held_.push_back(std::move(h));
    Print("create ok " + Fixed(ms));
  }

  IDispatch* Current() {
    if (held_.empty()) throw std::string("no object");
    return held_.back().object.get();
  }

  static HRESULT Dispid(IDispatch* object, const std::string& name, DISPID& id) {
    std::wstring w = Widen(name);
    LPOLESTR names[] = {w.data()};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  }

  // The failure line of a late-bound call: the result, and for
  // DISP_E_EXCEPTION the error's source and description.
  static std::string Failure(const char* step, HRESULT hr, EXCEPINFO& excep) {
    std::string line = std::string(step) + " fail " + Hex(hr);
    if (hr == DISP_E_EXCEPTION) {
      if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
      line += "\t" + Utf8(excep.bstrSource) + "\t" + Utf8(excep.bstrDescription);
    }
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    return line;
  }

  void Call(const std::string& method, const std::string& text) {
    IDispatch* object = Current();
    DISPID id = 0;
    HRESULT hr = Dispid(object, method, id);
    if (FAILED(hr)) {
      Print("call fail " + Hex(hr));
      return;
    }
    UniqueVariant argument;
    argument->vt = VT_BSTR;
    const std::wstring w = Widen(text);
    argument->bstrVal = SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
    DISPPARAMS params{argument.get(), nullptr, 1, 0};
    EXCEPINFO excep{};
    UniqueVariant result;
    const LARGE_INTEGER start = Now();
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                        result.put(), &excep, nullptr);
    const double ms = Millis(start, Now());
    Print(FAILED(hr) ? Failure("call", hr, excep) : "call ok " + Fixed(ms));
  }

  static HRESULT GetText(IDispatch* object, DISPID id, std::string* text, EXCEPINFO& excep) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    UniqueVariant value;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                      &none, value.put(), &excep, nullptr);
    if (FAILED(hr) || !text) return hr;
    UniqueVariant asText;
    if (SUCCEEDED(VariantChangeTypeEx(asText.get(), value.get(), 0x0409, 0, VT_BSTR)))
      *text = Utf8(asText->bstrVal);
    return hr;
  }

  void Get(const std::string& property) {
    IDispatch* object = Current();
    DISPID id = 0;
    HRESULT hr = Dispid(object, property, id);
    if (FAILED(hr)) {
      Print("get fail " + Hex(hr));
      return;
    }
    EXCEPINFO excep{};
    std::string text;
    hr = GetText(object, id, &text, excep);
    Print(FAILED(hr) ? Failure("get", hr, excep) : "get ok " + text);
  }

  void Advise() {
    Held& h = held_.empty() ? throw std::string("no object") : held_.back();
    const ComPtr<IConnectionPointContainer> container =
        h.object.try_query<IConnectionPointContainer>(IID_IConnectionPointContainer);
    ComPtr<IEnumConnectionPoints> points;
    HRESULT hr = container ? container->EnumConnectionPoints(points.put()) : E_NOINTERFACE;
    ComPtr<IConnectionPoint> point;
    ULONG fetched = 0;
    if (SUCCEEDED(hr)) hr = points->Next(1, point.put(), &fetched);
    if (SUCCEEDED(hr) && fetched != 1) hr = CONNECT_E_NOCONNECTION;
    IID events = IID_NULL;
    if (SUCCEEDED(hr)) hr = point->GetConnectionInterface(&events);
    if (SUCCEEDED(hr)) sink_.SetEvents(events);
    if (SUCCEEDED(hr)) hr = point->Advise(&sink_, &h.cookie);
    if (FAILED(hr)) {
      Print("advise fail " + Hex(hr));
      return;
    }
    h.point = point;
    Print("advise ok");
  }

  static void Unhold(Held& h) {
    if (h.point && h.cookie) h.point->Unadvise(h.cookie);
    h.point.reset();
    h.object.reset();
  }

  void ReleaseAll() {
    while (!held_.empty()) {
      Unhold(held_.back());
      held_.pop_back();
    }
    // No stub may outlive the sink, which lives in this object.
    CoDisconnectObject(&sink_, 0);
  }

  static void Terminate(DWORD pid) {
    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process || !TerminateProcess(process.get(), 9)) {
      Print("terminate fail " + std::to_string(GetLastError()));
      return;
    }
    WaitForSingleObject(process.get(), 10000);
    Print("terminate ok");
  }

  // "memory ok <pid> <working set> <peak working set> <private bytes>"
  static void Memory() {
    ServerCounters c;
    if (!ServerMemory(c)) {
      Print("memory fail");
      return;
    }
    Print("memory ok " + std::to_string(c.pid) + " " + std::to_string(c.workingSet) + " " +
          std::to_string(c.peak) + " " + std::to_string(c.committed));
  }

  // The load of one busy client: objects made and released one at a time,
  // then property gets on one object. Prints the counts, the failures and
  // the server's working set and private bytes at checkpoints: after a
  // tenth of the objects, after 55 %, after all of them, after half of the
  // calls and at the end.
  void Load(int objects, int calls, const std::string& progId,
            const std::vector<std::string>& properties) {
    int failures = 0;
    std::vector<ServerCounters> checkpoints;
    auto checkpoint = [&] {
      ServerCounters c;
      ServerMemory(c);
      checkpoints.push_back(c);
    };
    const LARGE_INTEGER start = Now();
    for (int n = 1; n <= objects; ++n) {
      ComPtr<IDispatch> object;
      if (FAILED(CreateObject(progId, object))) ++failures;
      object.reset();
      if (n == objects / 10 || n == objects * 55 / 100) checkpoint();
      if ((n & 15) == 0) Pump();
    }
    checkpoint();
    const LARGE_INTEGER afterObjects = Now();
    ComPtr<IDispatch> object;
    HRESULT hr = CreateObject(progId, object);
    std::vector<DISPID> ids;
    for (const std::string& p : properties) {
      DISPID id = 0;
      if (SUCCEEDED(hr)) hr = Dispid(object.get(), p, id);
      ids.push_back(id);
    }
    if (FAILED(hr) || ids.empty()) {
      Print("load fail " + Hex(hr));
      return;
    }
    for (int n = 1; n <= calls; ++n) {
      EXCEPINFO excep{};
      if (FAILED(GetText(object.get(), ids[static_cast<size_t>(n) % ids.size()], nullptr, excep)))
        ++failures;
      SysFreeString(excep.bstrSource);
      SysFreeString(excep.bstrDescription);
      SysFreeString(excep.bstrHelpFile);
      if (n == calls / 2) checkpoint();
      if ((n & 63) == 0) Pump();
    }
    const LARGE_INTEGER end = Now();
    checkpoint();
    std::string ws, committed;
    for (const ServerCounters& c : checkpoints) {
      ws += (ws.empty() ? "" : ",") + std::to_string(c.workingSet);
      committed += (committed.empty() ? "" : ",") + std::to_string(c.committed);
    }
    Print("load ok objects=" + std::to_string(objects) + " calls=" + std::to_string(calls) +
          " failures=" + std::to_string(failures) + " objects_ms=" +
          Fixed(Millis(start, afterObjects)) + " calls_ms=" + Fixed(Millis(afterObjects, end)) +
          " ws=" + ws + " ws_peak=" + std::to_string(checkpoints.back().peak) +
          " private=" + committed);
  }

  // A second client beside the busy one: the server must keep answering it.
  void Poll(const std::string& property) {
    IDispatch* object = Current();
    DISPID id = 0;
    HRESULT hr = Dispid(object, property, id);
    if (FAILED(hr)) {
      Print("poll fail " + Hex(hr));
      return;
    }
    int calls = 0, failures = 0;
    double slowest = 0;
    for (;;) {
      Pump();
      if (TakeLine()) break;
      EXCEPINFO excep{};
      const LARGE_INTEGER start = Now();
      if (FAILED(GetText(object, id, nullptr, excep))) ++failures;
      slowest = std::max(slowest, Millis(start, Now()));
      SysFreeString(excep.bstrSource);
      SysFreeString(excep.bstrDescription);
      SysFreeString(excep.bstrHelpFile);
      ++calls;
      Sleep(5);
    }
    Print("poll ok calls=" + std::to_string(calls) + " failures=" + std::to_string(failures) +
          " slowest_ms=" + Fixed(slowest));
  }

  void Lock(const std::string& path) {
    UniqueFileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      Print("lock fail " + std::to_string(GetLastError()));
      return;
    }
    locks_.push_back(std::move(file));
    Print("lock ok");
  }

  std::vector<Held> held_;
  std::vector<UniqueFileHandle> locks_;
  // One sink for every object's events: it answers for the dispinterface
  // of the connection point it was last advised on.
  tindrel::test::TestSink sink_{nullptr};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  g_mainThread = GetCurrentThreadId();
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, before the reader
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) {
    Print("error CoInitializeEx " + Hex(hr));
    return 2;
  }
  const UniqueHandle reader(CreateThread(nullptr, 0, &ReadStdin, nullptr, 0, nullptr));
  int rc;
  {
    Probe probe;
    rc = probe.Run(argc, argv);
  }
  CoUninitialize();
  // The reader may still block on stdin; the process ends regardless.
  ExitProcess(static_cast<UINT>(rc));
}
