#include "com/error_info.h"

#include <oleauto.h>

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
  SetErrorInformation(caught.message, L"Tindrel2", IID_NULL);
  return E_FAIL;
}

}  // namespace tindrel::com
