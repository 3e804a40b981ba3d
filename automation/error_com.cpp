#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <exception>
#include <new>

#include "automation/com_error.h"
#include "automation/com_handle.h"
#include "automation/com_ptr.h"
#include "contract/text.h"

namespace tindrel::com {
namespace {

std::string HexResult(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

std::string Win32ErrorText(DWORD code) {
  std::string text = "Systemfeil " + std::to_string(code);
  const std::string system = SystemMessage(code);
  if (!system.empty()) text += ": " + system;
  return text;
}

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

ComError::ComError(HRESULT hr, std::string_view call)
    : Error(std::string(call) + " feilet med " + HexResult(hr)), hr_(hr) {}

Win32Error::Win32Error(DWORD code) : Error(Win32ErrorText(code)), code_(code) {}

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (n == 0 || !buffer) return {};
  std::wstring text(buffer, n);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return Narrow(text);
}

HRESULT ReportException(const wchar_t* source, REFIID iid) noexcept {
  std::wstring description;
  try {
    try {
      throw;
    } catch (const std::exception& e) {
      description = Widen(e.what());
    } catch (...) {
      // Outside the hierarchy: reported without a text.
    }
  } catch (...) {
    // No memory for the text: the failure is still reported.
    description.clear();
  }
  SetErrorInformation(description, source, iid);
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

HRESULT ExceptionResult() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (const ComError& e) {
    return e.result();
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT CreationFailure() noexcept {
  const HRESULT hr = ExceptionResult();
  if (hr != E_UNEXPECTED) return hr;
  try {
    throw;
  } catch (const std::exception&) {
    ReportException(L"Tindrel2", IID_NULL);
    return E_FAIL;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

std::wstring Widen(std::string_view utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string Narrow(std::wstring_view utf16) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()),
                                         utf16.size()));
}

BSTR AllocBstr(std::u16string_view text) {
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
  if (!b) throw std::bad_alloc();
  return b;
}

}  // namespace tindrel::com
