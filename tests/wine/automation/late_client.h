#pragma once
// A late-bound automation client as the workshop programs are: objects made
// by ProgID out of process, every member reached by name through
// IDispatch::GetIDsOfNames and Invoke, events taken by an IDispatch sink on
// the object's connection point. Every invocation is counted per interface
// and member kind, so that a test can compare what the run reached with the
// members the type library declares.

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "winapi/unique_any.h"
#include "winapi/com_ptr.h"
#include "test_sink.h"

namespace tindrel::test {

// An argument as a script passes it: a string, a Long, an Integer or a
// Boolean.
using Arg = std::variant<std::wstring, long, short, bool>;

// What one invocation gave.
struct Outcome {
  HRESULT hr = E_FAIL;
  win::UniqueVariant value;
  std::wstring description;  // the error information of a failure
  std::wstring source;
};

// A value as "TYPE:value", for comparisons that show both: "BSTR:Kombi",
// "I4:2000", "I2:101", "BOOL:1" (the raw VARIANT_BOOL), "DATE:43525.5",
// "EMPTY", or "FAILED:0x80020009 <description>" for a failed call.
std::string Show(const Outcome& o);
std::string Str(const std::wstring& s);  // "BSTR:" + s in UTF-8
std::string I4(long v);
std::string I2(short v);
std::string Bool(short raw);
std::string Date(double d);

// The automation date of a local calendar date and time.
double LocalDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// The automation date, in this machine's zone, of a moment given in UTC.
double UtcToLocalDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The members invoked so far: interface IID -> (DISPID, INVOKEKIND).
using Coverage = std::map<std::wstring, std::set<std::pair<DISPID, INVOKEKIND>>>;
Coverage& InvokedMembers();
std::wstring GuidText(REFGUID guid);

class Late {
 public:
  // Made by ProgID in the registered local server; null when that failed
  // (Made() tells, with the result in CreateResult()).
  explicit Late(const wchar_t* progId);

  bool Made() const { return static_cast<bool>(object_); }
  HRESULT CreateResult() const { return created_; }
  IDispatch* get() const { return object_.get(); }
  const std::wstring& Iid() const { return iid_; }

  Outcome Get(const wchar_t* name);
  Outcome Put(const wchar_t* name, const Arg& value);
  Outcome Call(const wchar_t* name, std::initializer_list<Arg> args = {});

  // Every property get the object's type description declares, by name.
  std::vector<std::wstring> PropertyNames();
  // Every property get, read: name -> Show(outcome).
  std::map<std::wstring, std::string> ReadAll();

 private:
  Outcome Invoke(const wchar_t* name, WORD flags, std::vector<Arg> args);

  win::ComPtr<IDispatch> object_;
  HRESULT created_ = E_FAIL;
  std::wstring iid_;
};

// A sink for the object's event interface `events`, advised for the life
// of this value. The sink lives here; on destruction it is unadvised and
// its stubs disconnected, so the server never calls into freed memory.
class EventConnection {
 public:
  EventConnection(const Late& object, REFIID events);
  ~EventConnection();
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;

  bool Connected() const { return cookie_ != 0; }
  TestSink& Sink() { return sink_; }
  // The DISPIDs fired so far, in order.
  std::vector<DISPID> Fired() const;
  void Clear() { sink_.calls.clear(); }

 private:
  TestSink sink_;
  win::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace tindrel::test
