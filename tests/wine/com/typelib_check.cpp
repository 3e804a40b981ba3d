// typelib_check.exe: compares the Tindrel2 type library with the tables in
// typelib_expected.h, type by type and member by member, in both the
// dispatch view (what late-bound clients see) and the vtable view (what
// early-bound clients compiled against the library call).
//
//   typelib_check.exe               the registered library (LoadRegTypeLib,
//                                   version 1.0, locale 0)
//   typelib_check.exe --file PATH   a .tlb file or a module with a TYPELIB
//                                   resource, without registering it
//
// Prints one line per mismatch and ends with "N passed, M failed"; the exit
// code is 0 only when nothing failed. Locale 0 is deliberate for the
// registered library: Wine's marshaler looks the library up under locale 0,
// so a registration that works only under 0x409 must fail here.

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "typelib_expected.h"
#include "winapi/bitness.h"

namespace {

namespace ex = tindrel::typelib_expected;

// Owns one reference to a COM interface.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters; drops what was held before.
  T** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// Owns a BSTR returned by the type library.
class Bstr {
 public:
  Bstr() = default;
  ~Bstr() { SysFreeString(s_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR* put() {
    SysFreeString(std::exchange(s_, nullptr));
    return &s_;
  }
  std::wstring str() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

 private:
  BSTR s_ = nullptr;
};

// Owns a TYPEATTR or FUNCDESC together with a reference to the ITypeInfo
// that must release it.
template <typename D, void (STDMETHODCALLTYPE ITypeInfo::*Release)(D*)>
class InfoDesc {
 public:
  InfoDesc() = default;
  ~InfoDesc() { reset(); }
  InfoDesc(const InfoDesc&) = delete;
  InfoDesc& operator=(const InfoDesc&) = delete;

  // Takes ownership of `d`, which `info` handed out.
  void attach(ITypeInfo* info, D* d) {
    reset();
    info->AddRef();
    info_ = info;
    d_ = d;
  }
  const D* operator->() const { return d_; }
  const D& operator*() const { return *d_; }
  explicit operator bool() const { return d_ != nullptr; }
  void reset() {
    if (d_) (info_->*Release)(std::exchange(d_, nullptr));
    if (info_) std::exchange(info_, nullptr)->Release();
  }

 private:
  ITypeInfo* info_ = nullptr;
  D* d_ = nullptr;
};

using TypeAttr = InfoDesc<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FuncDesc = InfoDesc<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;

std::string Narrow(std::wstring_view w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::string Hex(unsigned long v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%lX", v);
  return buf;
}

std::string GuidText(const GUID& g) {
  wchar_t buf[40] = {};
  StringFromGUID2(g, buf, 40);
  return Narrow(buf);
}

std::string Quoted(const wchar_t* s) { return s ? "\"" + Narrow(s) + "\"" : "(none)"; }
std::string Quoted(const std::wstring& s) { return s.empty() ? "(none)" : "\"" + Narrow(s) + "\""; }

// Counts checks; prints one line per failed check.
class Report {
 public:
  bool Check(bool ok, const std::string& where, const std::string& what) {
    if (ok) {
      ++passed_;
    } else {
      ++failed_;
      std::printf("FAIL %s: %s\n", where.c_str(), what.c_str());
    }
    return ok;
  }

  bool Equal(const std::string& where, const char* what, long long expected, long long actual) {
    return Check(expected == actual, where,
                 std::string(what) + " expected " + std::to_string(expected) + ", got " +
                     std::to_string(actual));
  }
  bool EqualHex(const std::string& where, const char* what, unsigned long expected,
                unsigned long actual) {
    return Check(expected == actual, where,
                 std::string(what) + " expected " + Hex(expected) + ", got " + Hex(actual));
  }
  // A missing help string and an empty one read the same to every client.
  bool EqualText(const std::string& where, const char* what, const wchar_t* expected,
                 const std::wstring& actual) {
    return Check(actual == (expected ? expected : L""), where,
                 std::string(what) + " expected " + Quoted(expected) + ", got " + Quoted(actual));
  }
  bool EqualGuid(const std::string& where, const char* what, const GUID& expected,
                 const GUID& actual) {
    return Check(IsEqualGUID(expected, actual) != FALSE, where,
                 std::string(what) + " expected " + GuidText(expected) + ", got " +
                     GuidText(actual));
  }
  bool Succeeded(const std::string& where, const char* call, HRESULT hr) {
    return Check(SUCCEEDED(hr), where, std::string(call) + " failed with " + Hex(hr));
  }

  int passed() const { return passed_; }
  int failed() const { return failed_; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

constexpr long kInheritedSlots = 7;  // IUnknown (3) and IDispatch (4)
constexpr long kSlotSize = sizeof(void*);

bool IsInheritedName(const std::wstring& name) {
  for (const wchar_t* n : {L"QueryInterface", L"AddRef", L"Release", L"GetTypeInfoCount",
                           L"GetTypeInfo", L"GetIDsOfNames", L"Invoke"}) {
    if (name == n) return true;
  }
  return false;
}

struct Doc {
  std::wstring name;
  std::wstring help;
};

Doc Documentation(ITypeInfo* info, MEMBERID memid) {
  Bstr name, help;
  Doc doc;
  if (SUCCEEDED(info->GetDocumentation(memid, name.put(), help.put(), nullptr, nullptr))) {
    doc = {name.str(), help.str()};
  }
  return doc;
}

// A type description reduced to what automation types need: the type, and
// for a pointer the type pointed to.
struct Vt {
  VARTYPE vt = VT_EMPTY;
  VARTYPE pointee = VT_EMPTY;
  bool operator==(const Vt&) const = default;
};

Vt Reduce(const TYPEDESC& t) {
  Vt r{t.vt, VT_EMPTY};
  if (t.vt == VT_PTR && t.lptdesc) r.pointee = t.lptdesc->vt;
  return r;
}

std::string VtName(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: return "VT_EMPTY";
    case VT_I2: return "VT_I2";
    case VT_I4: return "VT_I4";
    case VT_DATE: return "VT_DATE";
    case VT_BSTR: return "VT_BSTR";
    case VT_BOOL: return "VT_BOOL";
    case VT_VARIANT: return "VT_VARIANT";
    case VT_HRESULT: return "VT_HRESULT";
    case VT_VOID: return "VT_VOID";
    case VT_PTR: return "VT_PTR";
    default: return "VARTYPE " + std::to_string(vt);
  }
}

std::string VtText(const Vt& v) {
  return v.vt == VT_PTR ? "VT_PTR to " + VtName(v.pointee) : VtName(v.vt);
}

struct ParamSeen {
  Vt type;
  USHORT flags = 0;
};

// One FUNCDESC as read from the library, with the documentation and the
// names that belong to its member id.
struct FuncSeen {
  Doc doc;
  std::vector<std::wstring> names;  // member name, then parameter names
  MEMBERID memid = 0;
  INVOKEKIND invkind = INVOKE_FUNC;
  FUNCKIND funckind = FUNC_DISPATCH;
  CALLCONV callconv = CC_STDCALL;
  long oVft = 0;
  Vt result;
  std::vector<ParamSeen> params;
};

std::vector<FuncSeen> ReadFuncs(ITypeInfo* info, UINT count, Report& report,
                                const std::string& where) {
  std::vector<FuncSeen> funcs;
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* raw = nullptr;
    if (!report.Succeeded(where, "GetFuncDesc", info->GetFuncDesc(i, &raw))) continue;
    FuncDesc fd;
    fd.attach(info, raw);
    FuncSeen f;
    f.memid = fd->memid;
    f.invkind = fd->invkind;
    f.funckind = fd->funckind;
    f.callconv = fd->callconv;
    f.oVft = fd->oVft;
    f.result = Reduce(fd->elemdescFunc.tdesc);
    for (SHORT p = 0; p < fd->cParams; ++p) {
      const ELEMDESC& e = fd->lprgelemdescParam[p];
      f.params.push_back({Reduce(e.tdesc), e.paramdesc.wParamFlags});
    }
    f.doc = Documentation(info, f.memid);
    BSTR names[8] = {};
    UINT got = 0;
    if (SUCCEEDED(info->GetNames(f.memid, names, 8, &got))) {
      for (UINT n = 0; n < got; ++n) {
        f.names.emplace_back(names[n] ? names[n] : L"");
        SysFreeString(names[n]);
      }
    }
    funcs.push_back(std::move(f));
  }
  return funcs;
}

// One vtable slot of a row: get/put rows give two, get first.
struct Slot {
  const ex::Member* row;
  INVOKEKIND invkind;
};

std::vector<Slot> Expand(std::span<const ex::Member> rows) {
  std::vector<Slot> slots;
  for (const ex::Member& m : rows) {
    if (m.kind == ex::kMethod) {
      slots.push_back({&m, INVOKE_FUNC});
      continue;
    }
    if (m.kind & INVOKE_PROPERTYGET) slots.push_back({&m, INVOKE_PROPERTYGET});
    if (m.kind & INVOKE_PROPERTYPUT) slots.push_back({&m, INVOKE_PROPERTYPUT});
  }
  return slots;
}

enum class View { kDispatch, kVtable };

struct ParamWanted {
  Vt type;
  USHORT flags;
  const wchar_t* name;  // nullptr: not checked (property arguments)
};

// What a slot must look like in the given view. In the dispatch view the
// HRESULT disappears and an [out, retval] argument becomes the result.
void Wanted(const Slot& s, View view, Vt& result, std::vector<ParamWanted>& params) {
  const ex::Member& m = *s.row;
  const bool vtable = view == View::kVtable;
  constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
  params.clear();
  result = vtable ? Vt{VT_HRESULT} : Vt{VT_VOID};
  switch (s.invkind) {
    case INVOKE_PROPERTYGET:
      if (vtable) {
        params.push_back({{VT_PTR, m.type}, kRetval, nullptr});
      } else {
        result = {m.type};
      }
      break;
    case INVOKE_PROPERTYPUT:
      params.push_back({{m.type}, PARAMFLAG_FIN, nullptr});
      break;
    default:
      for (const ex::Param& p : m.params) params.push_back({{p.vt}, PARAMFLAG_FIN, p.name});
      if (m.result) {
        if (vtable) {
          params.push_back({{VT_PTR, m.result->vt}, kRetval, m.result->name});
        } else {
          result = {m.result->vt};
        }
      }
      break;
  }
}

const char* InvokeText(INVOKEKIND k) {
  switch (k) {
    case INVOKE_PROPERTYGET: return "get";
    case INVOKE_PROPERTYPUT: return "put";
    case INVOKE_PROPERTYPUTREF: return "putref";
    default: return "method";
  }
}

void CompareSlot(Report& report, const std::string& where, const Slot& s, const FuncSeen& f,
                 View view) {
  const ex::Member& m = *s.row;
  report.EqualText(where, "name", m.name, f.doc.name);
  report.Equal(where, "DISPID", m.dispid, f.memid);
  report.Check(f.invkind == s.invkind, where,
               std::string("kind expected ") + InvokeText(s.invkind) + ", got " +
                   InvokeText(f.invkind));
  report.EqualText(where, "help string", m.help, f.doc.help);
  report.Equal(where, "FUNCKIND", view == View::kVtable ? FUNC_PUREVIRTUAL : FUNC_DISPATCH,
               f.funckind);
  if (view == View::kVtable) report.Equal(where, "calling convention", CC_STDCALL, f.callconv);

  Vt result;
  std::vector<ParamWanted> params;
  Wanted(s, view, result, params);
  report.Check(result == f.result, where,
               "result type expected " + VtText(result) + ", got " + VtText(f.result));
  if (!report.Equal(where, "parameter count", static_cast<long long>(params.size()),
                    static_cast<long long>(f.params.size()))) {
    return;
  }
  for (size_t i = 0; i < params.size(); ++i) {
    const std::string at = where + " parameter " + std::to_string(i + 1);
    report.Check(params[i].type == f.params[i].type, at,
                 "type expected " + VtText(params[i].type) + ", got " +
                     VtText(f.params[i].type));
    constexpr USHORT kDirection = PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    report.EqualHex(at, "direction flags", params[i].flags, f.params[i].flags & kDirection);
    if (params[i].name) {
      std::wstring seen = i + 1 < f.names.size() ? f.names[i + 1] : std::wstring();
      report.EqualText(at, "name", params[i].name, seen);
    }
  }
}

// Checks that an interface's one base is IDispatch.
void CheckBaseIsIDispatch(Report& report, const std::string& where, ITypeInfo* info,
                          const TYPEATTR& attr) {
  if (!report.Equal(where, "number of base interfaces", 1, attr.cImplTypes)) return;
  HREFTYPE href = 0;
  ComRef<ITypeInfo> base;
  if (!report.Succeeded(where, "GetRefTypeOfImplType(0)", info->GetRefTypeOfImplType(0, &href)) ||
      !report.Succeeded(where, "GetRefTypeInfo(base)", info->GetRefTypeInfo(href, base.put()))) {
    return;
  }
  TYPEATTR* raw = nullptr;
  if (!report.Succeeded(where, "GetTypeAttr(base)", base->GetTypeAttr(&raw))) return;
  TypeAttr baseAttr;
  baseAttr.attach(base.get(), raw);
  report.EqualGuid(where, "base interface", IID_IDispatch, baseAttr->guid);
}

// The dispatch view: own members only, in row order. Whether the inherited
// IUnknown/IDispatch entries are listed as well differs between oleaut32
// versions, so those are set aside by name.
void CheckDispatchView(Report& report, const std::string& name, ITypeInfo* info,
                       const TYPEATTR& attr, std::span<const ex::Member> rows) {
  const std::string where = name + " [dispatch]";
  CheckBaseIsIDispatch(report, where, info, attr);
  report.Equal(where, "number of variables", 0, attr.cVars);

  std::vector<FuncSeen> own;
  for (FuncSeen& f : ReadFuncs(info, attr.cFuncs, report, where)) {
    if (!IsInheritedName(f.doc.name)) own.push_back(std::move(f));
  }
  const std::vector<Slot> slots = Expand(rows);
  report.Equal(where, "number of own functions", static_cast<long long>(slots.size()),
               static_cast<long long>(own.size()));
  for (size_t i = 0; i < slots.size() && i < own.size(); ++i) {
    CompareSlot(report, where + " function " + std::to_string(i) + " " + Narrow(slots[i].row->name),
                slots[i], own[i], View::kDispatch);
  }

  // Late binding: every member name, and with a method's argument names the
  // argument positions, as a client's GetIDsOfNames would ask.
  for (const ex::Member& m : rows) {
    std::vector<std::wstring> text{m.name};
    for (const ex::Param& p : m.params) text.emplace_back(p.name);
    std::vector<LPOLESTR> names;
    for (std::wstring& t : text) names.push_back(t.data());
    std::vector<MEMBERID> ids(names.size(), DISPID_UNKNOWN);
    const std::string at = where + " GetIDsOfNames " + Narrow(m.name);
    if (!report.Succeeded(at, "GetIDsOfNames",
                          info->GetIDsOfNames(names.data(), static_cast<UINT>(names.size()),
                                              ids.data()))) {
      continue;
    }
    report.Equal(at, "DISPID", m.dispid, ids[0]);
    for (size_t p = 1; p < ids.size(); ++p) {
      report.Equal(at + " argument " + Narrow(text[p]), "position", static_cast<long long>(p - 1),
                   ids[p]);
    }
  }
}

// The vtable view of a dual interface: exactly the rows' slots, starting
// right after IDispatch::Invoke, one slot per row (two for get/put).
void CheckVtableView(Report& report, const std::string& name, ITypeInfo* dispatch,
                     const ex::Type& type, std::span<const ex::Member> rows) {
  const std::string where = name + " [vtable]";
  HREFTYPE href = 0;
  ComRef<ITypeInfo> info;
  if (!report.Succeeded(where, "GetRefTypeOfImplType(-1)",
                        dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) ||
      !report.Succeeded(where, "GetRefTypeInfo", dispatch->GetRefTypeInfo(href, info.put()))) {
    return;
  }
  TYPEATTR* raw = nullptr;
  if (!report.Succeeded(where, "GetTypeAttr", info->GetTypeAttr(&raw))) return;
  TypeAttr attr;
  attr.attach(info.get(), raw);

  report.Equal(where, "TYPEKIND", TKIND_INTERFACE, attr->typekind);
  report.EqualGuid(where, "IID", type.guid, attr->guid);
  report.EqualHex(where, "type flags", type.flags, attr->wTypeFlags);
  report.EqualText(where, "help string", type.help, Documentation(info.get(), MEMBERID_NIL).help);
  CheckBaseIsIDispatch(report, where, info.get(), *attr);
  report.Equal(where, "number of variables", 0, attr->cVars);

  const std::vector<Slot> slots = Expand(rows);
  report.Equal(where, "vtable size", (kInheritedSlots + static_cast<long>(slots.size())) * kSlotSize,
               attr->cbSizeVft);
  std::vector<FuncSeen> funcs = ReadFuncs(info.get(), attr->cFuncs, report, where);
  report.Equal(where, "number of functions", static_cast<long long>(slots.size()),
               static_cast<long long>(funcs.size()));
  for (size_t i = 0; i < slots.size() && i < funcs.size(); ++i) {
    const std::string at = where + " slot " + std::to_string(kInheritedSlots + i) + " " +
                           Narrow(slots[i].row->name) + " " + InvokeText(slots[i].invkind);
    CompareSlot(report, at, slots[i], funcs[i], View::kVtable);
    report.Equal(at, "vtable offset", (kInheritedSlots + static_cast<long>(i)) * kSlotSize,
                 funcs[i].oVft);
  }
}

const ex::Type* FindExpected(std::wstring_view name) {
  for (const ex::Type& t : ex::kTypes) {
    if (name == t.name) return &t;
  }
  return nullptr;
}

void CheckCoclass(Report& report, const std::string& where, ITypeInfo* info,
                  const TYPEATTR& attr, const ex::Type& type) {
  struct Impl {
    const wchar_t* name;
    int flags;
  };
  std::vector<Impl> wanted{{type.defaultInterface, IMPLTYPEFLAG_FDEFAULT}};
  if (type.defaultSource) {
    wanted.push_back({type.defaultSource, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE});
  }
  report.Equal(where, "number of functions", 0, attr.cFuncs);
  if (!report.Equal(where, "number of implemented interfaces",
                    static_cast<long long>(wanted.size()), attr.cImplTypes)) {
    return;
  }
  for (UINT i = 0; i < wanted.size(); ++i) {
    const std::string at = where + " implemented interface " + std::to_string(i);
    INT flags = 0;
    if (report.Succeeded(at, "GetImplTypeFlags", info->GetImplTypeFlags(i, &flags))) {
      report.EqualHex(at, "IMPLTYPEFLAGS", wanted[i].flags, flags);
    }
    HREFTYPE href = 0;
    ComRef<ITypeInfo> ref;
    if (!report.Succeeded(at, "GetRefTypeOfImplType", info->GetRefTypeOfImplType(i, &href)) ||
        !report.Succeeded(at, "GetRefTypeInfo", info->GetRefTypeInfo(href, ref.put()))) {
      continue;
    }
    report.EqualText(at, "name", wanted[i].name, Documentation(ref.get(), MEMBERID_NIL).name);
    TYPEATTR* raw = nullptr;
    const ex::Type* target = FindExpected(wanted[i].name);
    if (target && report.Succeeded(at, "GetTypeAttr", ref->GetTypeAttr(&raw))) {
      TypeAttr refAttr;
      refAttr.attach(ref.get(), raw);
      report.EqualGuid(at, "GUID", target->guid, refAttr->guid);
    }
  }
}

void CheckType(Report& report, ITypeLib* lib, UINT index, const ex::Type& type) {
  const std::string where = "type " + std::to_string(index) + " " + Narrow(type.name);
  TYPEKIND kind = TKIND_MAX;
  if (report.Succeeded(where, "GetTypeInfoType", lib->GetTypeInfoType(index, &kind))) {
    report.Equal(where, "TYPEKIND", type.kind, kind);
  }
  ComRef<ITypeInfo> info;
  if (!report.Succeeded(where, "GetTypeInfo", lib->GetTypeInfo(index, info.put()))) return;
  TYPEATTR* raw = nullptr;
  if (!report.Succeeded(where, "GetTypeAttr", info->GetTypeAttr(&raw))) return;
  TypeAttr attr;
  attr.attach(info.get(), raw);

  const Doc doc = Documentation(info.get(), MEMBERID_NIL);
  report.EqualText(where, "name", type.name, doc.name);
  report.EqualText(where, "help string", type.help, doc.help);
  report.EqualGuid(where, "GUID", type.guid, attr->guid);
  report.Equal(where, "TYPEKIND in TYPEATTR", type.kind, attr->typekind);
  // oleaut32 reports the dispatch view of a dual interface without
  // TYPEFLAG_FOLEAUTOMATION; the flag shows on the vtable view (checked
  // there), which is the view the stored flags belong to.
  WORD flags = type.flags;
  if (type.kind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL)) flags &= ~TYPEFLAG_FOLEAUTOMATION;
  report.EqualHex(where, "type flags", flags, attr->wTypeFlags);

  // Clients and the marshaler find types by GUID, not by position.
  ComRef<ITypeInfo> byGuid;
  if (report.Succeeded(where, "GetTypeInfoOfGuid", lib->GetTypeInfoOfGuid(type.guid, byGuid.put()))) {
    report.EqualText(where, "type found by its GUID", type.name,
                     Documentation(byGuid.get(), MEMBERID_NIL).name);
  }

  if (type.kind == TKIND_COCLASS) {
    CheckCoclass(report, where, info.get(), *attr, type);
    return;
  }
  const std::string name = Narrow(type.name);
  CheckDispatchView(report, name, info.get(), *attr, type.members);
  if (type.flags & TYPEFLAG_FDUAL) {
    CheckVtableView(report, name, info.get(), type, type.members);
  } else {
    // An event interface is implemented by the client's sink and called
    // through IDispatch::Invoke only; it must not offer a vtable view.
    HREFTYPE href = 0;
    const HRESULT hr = info->GetRefTypeOfImplType(static_cast<UINT>(-1), &href);
    report.Check(FAILED(hr), name, "pure dispinterface offers a vtable view");
  }
}

void CheckLibrary(Report& report, ITypeLib* lib) {
  const std::string where = "library";
  TLIBATTR* attr = nullptr;
  if (report.Succeeded(where, "GetLibAttr", lib->GetLibAttr(&attr))) {
    report.EqualGuid(where, "LIBID", ex::kLibrary.libid, attr->guid);
    report.Equal(where, "major version", ex::kLibrary.major, attr->wMajorVerNum);
    report.Equal(where, "minor version", ex::kLibrary.minor, attr->wMinorVerNum);
    report.EqualHex(where, "LCID", ex::kLibrary.lcid, attr->lcid);
    report.Equal(where, "SYSKIND", tindrel::win::kTypeLibSyskind, attr->syskind);
    lib->ReleaseTLibAttr(attr);
  }
  Bstr name, help;
  if (report.Succeeded(where, "GetDocumentation",
                       lib->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr))) {
    report.EqualText(where, "name", ex::kLibrary.name, name.str());
    report.EqualText(where, "help string", ex::kLibrary.help, help.str());
  }
}

ComRef<ITypeInfo> InterfaceByName(Report& report, ITypeLib* lib, const wchar_t* name,
                                  const std::string& where) {
  ComRef<ITypeInfo> info;
  const ex::Type* type = FindExpected(name);
  if (!report.Check(type != nullptr, where, "interface not in the expected tables")) return info;
  report.Succeeded(where, "GetTypeInfoOfGuid", lib->GetTypeInfoOfGuid(type->guid, info.put()));
  return info;
}

void CheckNameLookups(Report& report, ITypeLib* lib) {
  for (const ex::NameLookup& l : ex::kNameLookups) {
    const std::string where =
        "GetIDsOfNames " + Narrow(l.interfaceName) + "." + Narrow(l.memberName);
    ComRef<ITypeInfo> info = InterfaceByName(report, lib, l.interfaceName, where);
    if (!info) continue;
    std::wstring name = l.memberName;
    LPOLESTR names[] = {name.data()};
    MEMBERID id = DISPID_UNKNOWN;
    const HRESULT hr = info->GetIDsOfNames(names, 1, &id);
    if (l.dispid == ex::kUnknownName) {
      report.Check(hr == DISP_E_UNKNOWNNAME, where,
                   "expected DISP_E_UNKNOWNNAME, got " + Hex(hr) + " with DISPID " +
                       std::to_string(id));
    } else if (report.Succeeded(where, "GetIDsOfNames", hr)) {
      report.Equal(where, "DISPID", l.dispid, id);
    }
  }
}

void CheckSlotOrders(Report& report, ITypeLib* lib) {
  for (const ex::SlotOrder& o : ex::kSlotOrders) {
    const std::string where = Narrow(o.interfaceName) + " [vtable] " + Narrow(o.earlier) +
                              " then " + Narrow(o.later);
    ComRef<ITypeInfo> dispatch = InterfaceByName(report, lib, o.interfaceName, where);
    HREFTYPE href = 0;
    ComRef<ITypeInfo> info;
    if (!dispatch ||
        !report.Succeeded(where, "GetRefTypeOfImplType(-1)",
                          dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &href)) ||
        !report.Succeeded(where, "GetRefTypeInfo", dispatch->GetRefTypeInfo(href, info.put()))) {
      continue;
    }
    TYPEATTR* raw = nullptr;
    if (!report.Succeeded(where, "GetTypeAttr", info->GetTypeAttr(&raw))) continue;
    TypeAttr attr;
    attr.attach(info.get(), raw);
    // The last slot of `earlier` (its put, if it has one) and the first of `later`.
    long earlierEnd = -1, laterStart = -1;
    for (const FuncSeen& f : ReadFuncs(info.get(), attr->cFuncs, report, where)) {
      if (f.doc.name == o.earlier) earlierEnd = f.oVft;
      if (f.doc.name == o.later && laterStart < 0) laterStart = f.oVft;
    }
    if (report.Check(earlierEnd >= 0 && laterStart >= 0, where, "member not found")) {
      report.Equal(where, "vtable offset of the later member", earlierEnd + kSlotSize,
                   laterStart);
    }
  }
}

ComRef<ITypeLib> Load(Report& report, int argc, char** argv) {
  ComRef<ITypeLib> lib;
  if (argc >= 3 && std::string_view(argv[1]) == "--file") {
    const int n = MultiByteToWideChar(CP_ACP, 0, argv[2], -1, nullptr, 0);
    std::wstring path(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, argv[2], -1, path.data(), n);
    report.Succeeded(std::string("load ") + argv[2], "LoadTypeLibEx",
                     LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put()));
  } else if (argc == 1) {
    report.Succeeded("load registered library", "LoadRegTypeLib",
                     LoadRegTypeLib(ex::kLibrary.libid, ex::kLibrary.major, ex::kLibrary.minor, 0,
                                    lib.put()));
  } else {
    report.Check(false, "command line", "usage: typelib_check [--file PATH]");
  }
  return lib;
}

void Run(Report& report, int argc, char** argv) {
  ComRef<ITypeLib> lib = Load(report, argc, argv);
  if (!lib) return;
  CheckLibrary(report, lib.get());
  const UINT count = lib->GetTypeInfoCount();
  report.Equal("library", "number of types", static_cast<long long>(std::size(ex::kTypes)), count);
  for (UINT i = 0; i < count && i < std::size(ex::kTypes); ++i) {
    CheckType(report, lib.get(), i, ex::kTypes[i]);
  }
  CheckNameLookups(report, lib.get());
  CheckSlotOrders(report, lib.get());
}

}  // namespace

int main(int argc, char** argv) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Report report;
  Run(report, argc, argv);
  if (SUCCEEDED(init)) CoUninitialize();
  std::printf("%d passed, %d failed\n", report.passed(), report.failed());
  std::fflush(stdout);
  return report.failed() == 0 ? 0 : 1;
}
