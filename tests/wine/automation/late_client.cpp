#include "late_client.h"

#include <cstdio>

#include "com/error_info.h"
#include "dispatch_walk.h"

namespace tindrel::test {
namespace {

INVOKEKIND KindOf(WORD flags) {
  if (flags & DISPATCH_PROPERTYGET) return INVOKE_PROPERTYGET;
  if (flags & DISPATCH_PROPERTYPUT) return INVOKE_PROPERTYPUT;
  return INVOKE_FUNC;
}

void SetArg(VARIANT& v, const Arg& arg) {
  VariantInit(&v);
  if (const auto* s = std::get_if<std::wstring>(&arg)) {
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(s->data(), static_cast<UINT>(s->size()));
  } else if (const auto* l = std::get_if<long>(&arg)) {
    v.vt = VT_I4;
    v.lVal = *l;
  } else if (const auto* i = std::get_if<short>(&arg)) {
    v.vt = VT_I2;
    v.iVal = *i;
  } else {
    v.vt = VT_BOOL;
    v.boolVal = std::get<bool>(arg) ? VARIANT_TRUE : VARIANT_FALSE;
  }
}

double VariantDate(const SYSTEMTIME& st) {
  double d = 0;
  SYSTEMTIME copy = st;
  SystemTimeToVariantTime(&copy, &d);
  return d;
}

SYSTEMTIME Time(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  return st;
}

}  // namespace

std::string Str(const std::wstring& s) { return "BSTR:" + win::Narrow(s); }
std::string I4(long v) { return "I4:" + std::to_string(v); }
std::string I2(short v) { return "I2:" + std::to_string(v); }
std::string Bool(short raw) { return "BOOL:" + std::to_string(raw); }
std::string Date(double d) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", d);
  std::string s = text;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  return "DATE:" + s;
}

std::string Show(const Outcome& o) {
  if (FAILED(o.hr)) {
    char hr[16];
    std::snprintf(hr, sizeof hr, "0x%08lX", static_cast<unsigned long>(o.hr));
    return std::string("FAILED:") + hr + " " + win::Narrow(o.description);
  }
  const VARIANT& v = *o.value.get();
  switch (v.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_BSTR: return Str(v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"");
    case VT_I4: return I4(v.lVal);
    case VT_I2: return I2(v.iVal);
    case VT_BOOL: return Bool(v.boolVal);
    case VT_DATE: return Date(v.date);
    default: return "VT" + std::to_string(v.vt);
  }
}

double LocalDate(int year, int month, int day, int hour, int minute, int second) {
  return VariantDate(Time(year, month, day, hour, minute, second));
}

double UtcToLocalDate(int year, int month, int day, int hour, int minute, int second) {
  const SYSTEMTIME utc = Time(year, month, day, hour, minute, second);
  SYSTEMTIME local{};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  return VariantDate(local);
}

Coverage& InvokedMembers() {
  static Coverage coverage;
  return coverage;
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[64] = {};
  StringFromGUID2(guid, text, 64);
  return text;
}

Late::Late(const wchar_t* progId) {
  CLSID clsid{};
  created_ = CLSIDFromProgID(progId, &clsid);
  if (FAILED(created_)) return;
  created_ = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              object_.put_void());
  if (FAILED(created_)) return;
  win::ComPtr<ITypeInfo> info;
  TYPEATTR* attr = nullptr;
  if (SUCCEEDED(object_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) &&
      SUCCEEDED(info->GetTypeAttr(&attr))) {
    iid_ = GuidText(attr->guid);
    info->ReleaseTypeAttr(attr);
  }
}

Outcome Late::Get(const wchar_t* name) { return Invoke(name, DISPATCH_PROPERTYGET, {}); }

Outcome Late::Put(const wchar_t* name, const Arg& value) {
  return Invoke(name, DISPATCH_PROPERTYPUT, {value});
}

Outcome Late::Call(const wchar_t* name, std::initializer_list<Arg> args) {
  return Invoke(name, DISPATCH_METHOD, std::vector<Arg>(args));
}

Outcome Late::Invoke(const wchar_t* name, WORD flags, std::vector<Arg> args) {
  Outcome out;
  if (!object_) return out;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  out.hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(out.hr)) return out;
  InvokedMembers()[iid_].insert({id, KindOf(flags)});

  // Arguments travel last first.
  std::vector<VARIANT> raw(args.size());
  for (size_t i = 0; i < args.size(); ++i) SetArg(raw[args.size() - 1 - i], args[i]);
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr, static_cast<UINT>(raw.size()),
                    0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO excep{};
  UINT argError = 0;
  out.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                           flags == DISPATCH_PROPERTYPUT ? nullptr : out.value.get(), &excep,
                           &argError);
  for (VARIANT& v : raw) VariantClear(&v);
  if (out.hr == DISP_E_EXCEPTION) {
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    if (excep.bstrDescription) out.description = excep.bstrDescription;
    if (excep.bstrSource) out.source = excep.bstrSource;
  }
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrHelpFile);
  return out;
}

std::vector<std::wstring> Late::PropertyNames() {
  std::vector<std::wstring> names;
  win::ComPtr<ITypeInfo> info;
  TYPEATTR* attr = nullptr;
  if (!object_ || FAILED(object_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) ||
      FAILED(info->GetTypeAttr(&attr)))
    return names;
  const UINT count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(info->GetFuncDesc(i, &fd))) continue;
    const bool get = fd->invkind == INVOKE_PROPERTYGET;
    win::UniqueBstr name;
    info->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
    info->ReleaseFuncDesc(fd);
    if (get && name && !IsInherited(name.get())) names.emplace_back(name.get());
  }
  return names;
}

std::map<std::wstring, std::string> Late::ReadAll() {
  std::map<std::wstring, std::string> values;
  for (const std::wstring& name : PropertyNames()) values[name] = Show(Get(name.c_str()));
  return values;
}

EventConnection::EventConnection(const Late& object, REFIID events) : sink_(&events) {
  if (!object.get()) return;
  win::ComPtr<IConnectionPointContainer> container;
  if (FAILED(object.get()->QueryInterface(IID_IConnectionPointContainer, container.put_void())))
    return;
  if (FAILED(container->FindConnectionPoint(events, point_.put()))) return;
  if (FAILED(point_->Advise(&sink_, &cookie_))) cookie_ = 0;
}

EventConnection::~EventConnection() {
  if (point_ && cookie_) point_->Unadvise(cookie_);
  point_.reset();
  CoDisconnectObject(&sink_, 0);
}

std::vector<DISPID> EventConnection::Fired() const {
  std::vector<DISPID> ids;
  for (const TestSink::Call& c : sink_.calls) ids.push_back(c.dispid);
  return ids;
}

}  // namespace tindrel::test
