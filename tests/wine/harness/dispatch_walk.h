#pragma once
// Calls every member of an object late-bound, as a script client would:
// the members come from the object's own type description (GetTypeInfo),
// every property get and method is invoked with empty arguments, every
// property put with the empty value of its type. The caller checks the
// results.

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "winapi/unique_any.h"
#include "winapi/com_ptr.h"

namespace tindrel::test {

struct MemberResult {
  std::wstring name;
  DISPID dispid = 0;
  INVOKEKIND kind = INVOKE_FUNC;
  HRESULT hr = S_OK;
  VARTYPE declared = VT_EMPTY;  // the result type the library declares
  VARTYPE returned = VT_EMPTY;  // what came back
  bool empty = false;           // the result is the empty value of its type
                                // (a valid empty BSTR, 0, date 0)
};

inline bool IsInherited(const std::wstring& name) {
  for (const wchar_t* n : {L"QueryInterface", L"AddRef", L"Release", L"GetTypeInfoCount",
                           L"GetTypeInfo", L"GetIDsOfNames", L"Invoke"}) {
    if (name == n) return true;
  }
  return false;
}

inline void SetEmpty(VARIANT& v, VARTYPE vt) {
  VariantInit(&v);
  v.vt = vt;
  switch (vt) {
    case VT_BSTR: v.bstrVal = SysAllocString(L""); break;
    case VT_I4: v.lVal = 0; break;
    case VT_I2: v.iVal = 0; break;
    case VT_BOOL: v.boolVal = VARIANT_FALSE; break;
    case VT_DATE: v.date = 0; break;
    default: v.vt = VT_EMPTY; break;
  }
}

inline bool IsEmptyValue(const VARIANT& v) {
  switch (v.vt) {
    case VT_BSTR: return v.bstrVal != nullptr && SysStringLen(v.bstrVal) == 0;
    case VT_I4: return v.lVal == 0;
    case VT_I2: return v.iVal == 0;
    case VT_BOOL: return v.boolVal == 0;
    case VT_DATE: return v.date == 0;
    case VT_EMPTY: return true;
    default: return false;
  }
}

// One call per FUNCDESC of the dispatch view (the inherited IUnknown and
// IDispatch entries left out).
inline std::vector<MemberResult> CallEveryMember(IDispatch* object) {
  std::vector<MemberResult> results;
  win::ComPtr<ITypeInfo> info;
  if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()))) return results;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return results;
  const UINT count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* fd = nullptr;
    if (FAILED(info->GetFuncDesc(i, &fd))) continue;
    MemberResult r;
    r.dispid = fd->memid;
    r.kind = fd->invkind;
    r.declared = fd->elemdescFunc.tdesc.vt;
    win::UniqueBstr name;
    info->GetDocumentation(fd->memid, name.put(), nullptr, nullptr, nullptr);
    r.name = name.get() ? name.get() : L"";
    std::vector<VARTYPE> paramTypes;
    for (SHORT p = 0; p < fd->cParams; ++p) paramTypes.push_back(fd->lprgelemdescParam[p].tdesc.vt);
    info->ReleaseFuncDesc(fd);
    if (IsInherited(r.name)) continue;

    // Arguments go in reverse order.
    std::vector<win::UniqueVariant> args(paramTypes.size());
    std::vector<VARIANT> raw(paramTypes.size());
    for (size_t p = 0; p < paramTypes.size(); ++p) {
      SetEmpty(*args[p].get(), paramTypes[p]);
    }
    for (size_t p = 0; p < paramTypes.size(); ++p) raw[paramTypes.size() - 1 - p] = *args[p].get();
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{raw.empty() ? nullptr : raw.data(), nullptr,
                      static_cast<UINT>(raw.size()), 0};
    WORD flags = DISPATCH_METHOD;
    if (r.kind == INVOKE_PROPERTYGET) flags = DISPATCH_PROPERTYGET;
    if (r.kind == INVOKE_PROPERTYPUT) {
      flags = DISPATCH_PROPERTYPUT;
      params.rgdispidNamedArgs = &putId;
      params.cNamedArgs = 1;
    }
    win::UniqueVariant result;
    EXCEPINFO excep{};
    UINT argError = 0;
    r.hr = object->Invoke(r.dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                          r.kind == INVOKE_PROPERTYPUT ? nullptr : result.get(), &excep,
                          &argError);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
    r.returned = result->vt;
    r.empty = IsEmptyValue(*result.get());
    results.push_back(r);
  }
  return results;
}

}  // namespace tindrel::test
