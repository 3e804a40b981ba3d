#include "com/error_info.h"

#include <oleauto.h>

#include "com/server.h"

namespace tindrel::com {
namespace {

// Sets the error information; failures here leave the thread without any,
// which clients read as a failure without description.
void SetErrorInformation(const std::wstring& description, const wchar_t* source,
                         REFIID iid) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(iid);
  create->SetSource(const_cast<LPOLESTR>(source));
  create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
  ComPtr<IErrorInfo> info = create.try_query<IErrorInfo>(IID_IErrorInfo);
  if (info) SetErrorInfo(0, info.get());
}

// The type library's name, the source of a failure that belongs to no
// class yet; empty when the program carries no library.
std::wstring LibraryName() noexcept {
  try {
    UniqueBstr name;
    if (SUCCEEDED(TypeLibrary()->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr)) &&
        name)
      return name.get();
  } catch (...) {
  }
  return {};
}

}  // namespace

HRESULT ReportException(const wchar_t* source, REFIID iid) noexcept {
  SetErrorInformation(ClassifyCaughtException().message, source, iid);
  return DISP_E_EXCEPTION;
}

void FillExcepInfo(EXCEPINFO& excep) noexcept {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return;
  info->GetDescription(&excep.bstrDescription);
  info->GetSource(&excep.bstrSource);
  info->GetHelpFile(&excep.bstrHelpFile);
  info->GetHelpContext(&excep.dwHelpContext);
  if (excep.wCode == 0 && excep.scode == 0) excep.scode = DISP_E_EXCEPTION;
}

HRESULT ExceptionResult() noexcept { return ClassifyCaughtException().result; }

HRESULT CreationFailure() noexcept {
  const CaughtError caught = ClassifyCaughtException();
  if (caught.result != E_UNEXPECTED || !caught.fromStdException) return caught.result;
  SetErrorInformation(caught.message, LibraryName().c_str(), IID_NULL);
  return E_FAIL;
}

}  // namespace tindrel::com
