#pragma once
// The COM boundary: where any exception becomes a COM failure with
// automation error information. Windows only.
//
// Every automation member has the same shape:
//
//   try { ...; return S_OK; } catch (...) { return ReportException(source, iid); }
//
// (the object base spells it once as Call/Read, see com/object.h). No C++
// exception ever leaves a COM method. All three functions below take their
// result and text from win::ClassifyCaughtException.

#include <windows.h>
#include <oaidl.h>

#include "winapi/com_ptr.h"
#include "winapi/error.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"

namespace tindrel::com {

// The COM layer is built on the Windows helpers; their names are used here
// unqualified.
using namespace tindrel::win;

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
// members (class factories, connection points): the classified result,
// without error information.
HRESULT ExceptionResult() noexcept;

// Call only inside a catch block, for an object that could not be made:
// the classified result, but E_FAIL in place of E_UNEXPECTED together with
// the exception's message as the thread's error information (source: the
// type library's name), so that the client sees why (for example that there is no
// session).
HRESULT CreationFailure() noexcept;

}  // namespace tindrel::com
