#pragma once
// Errors of the platform in the program's one hierarchy (tindrel::Error),
// and the one classifier that every boundary (a COM method, a class
// factory, start-up) uses to turn the exception it caught into a result
// and a text. Windows only.

#include <windows.h>

#include <string>
#include <string_view>

#include "base/errors.h"

namespace tindrel::win {

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

// What a caught exception means at a boundary.
struct CaughtError {
  // E_OUTOFMEMORY for std::bad_alloc, the result of a ComError,
  // E_UNEXPECTED for anything else.
  HRESULT result = E_UNEXPECTED;
  // The exception's message; empty for one outside std::exception, or when
  // there was no memory for it.
  std::wstring message;
  bool fromStdException = false;
};

// Call only inside a catch block: classifies the exception being handled.
CaughtError ClassifyCaughtException() noexcept;

}  // namespace tindrel::win
