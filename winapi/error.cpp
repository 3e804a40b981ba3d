#include "winapi/error.h"

#include <cstdio>
#include <exception>
#include <new>

#include "winapi/strings.h"

namespace tindrel::win {
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

CaughtError ClassifyCaughtException() noexcept {
  CaughtError caught;
  try {
    try {
      throw;
    } catch (const std::bad_alloc& e) {
      caught.result = E_OUTOFMEMORY;
      caught.fromStdException = true;
      caught.message = Widen(e.what());
    } catch (const ComError& e) {
      caught.result = e.result();
      caught.fromStdException = true;
      caught.message = Widen(e.what());
    } catch (const std::exception& e) {
      caught.fromStdException = true;
      caught.message = Widen(e.what());
    } catch (...) {
      // Outside the hierarchy: no text to give.
    }
  } catch (...) {
    // No memory for the text: the result still tells what failed.
    caught.message.clear();
  }
  return caught;
}

}  // namespace tindrel::win
