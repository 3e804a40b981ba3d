#pragma once
// Errors of the platform, in the program's one hierarchy (tindrel::Error),
// and the one boundary where any exception becomes an automation failure.
// Windows only.
//
// Every automation member has the same shape:
//
//   try { ...; return S_OK; } catch (...) { return ReportException(source, iid); }
//
// (the object base spells it once as Call/Read, see com_object.h). No C++
// exception ever leaves a COM method.

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "contract/errors.h"

namespace tindrel::com {

// A failed COM call; what() names the call and the HRESULT in hex.
class ComError : public Error {
 public:
  ComError(HRESULT hr, std::string_view call);
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

// A failed Win32 call: the system error code and the system's text for it.
class Win32Error : public Error {
 public:
  explicit Win32Error(DWORD code);
  DWORD code() const { return code_; }

 private:
  DWORD code_;
};

inline void ThrowIfFailed(HRESULT hr, std::string_view call) {
  if (FAILED(hr)) throw ComError(hr, call);
}
// Throws Win32Error with `code` unless it is ERROR_SUCCESS.
inline void ThrowIfError(LONG code) {
  if (code != ERROR_SUCCESS) throw Win32Error(static_cast<DWORD>(code));
}
[[noreturn]] inline void ThrowLastError() { throw Win32Error(GetLastError()); }

// The system's text for a Win32 error code, without the trailing line
// break; empty when the system has none.
std::string SystemMessage(DWORD code);

// Call only inside a catch block. Sets the thread's automation error
// information (description: the exception's message, empty for an
// exception outside std::exception; source: `source`, the class's ProgID;
// GUID: `iid`, the interface that failed) and returns DISP_E_EXCEPTION.
HRESULT ReportException(const wchar_t* source, REFIID iid) noexcept;

// Fills `excep` from the thread's error information (taking it), when a
// failing member set some: what a late-bound client sees as its run-time
// error. Leaves `excep` as it is when there is none.
void FillExcepInfo(EXCEPINFO& excep) noexcept;

// Call only inside a catch block. For COM methods outside automation
// members (class factories, connection points): E_OUTOFMEMORY for
// std::bad_alloc, the result of a ComError, E_UNEXPECTED otherwise.
HRESULT ExceptionResult() noexcept;

// Call only inside a catch block, for an object that could not be made:
// ExceptionResult's code, E_FAIL in place of E_UNEXPECTED, and the
// exception's message as the thread's error information (source "Tindrel2"),
// so that the client sees why (for example that there is no session).
HRESULT CreationFailure() noexcept;

// UTF-8 to UTF-16 and back for the Win32 edge; wchar_t is UTF-16 here.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace tindrel::com
