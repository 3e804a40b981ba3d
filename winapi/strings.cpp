#include "winapi/strings.h"

#include <new>

#include "base/text.h"

namespace tindrel::win {

std::wstring Widen(std::string_view utf8) { return Widen(std::u16string_view(Utf8ToUtf16(utf8))); }

std::string Narrow(std::wstring_view utf16) {
  return Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()));
}

std::string Ansi(std::u16string_view utf16) {
  const std::wstring w = Widen(utf16);
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string a(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), a.data(), n, nullptr,
                        nullptr);
  }
  return a;
}

BSTR AllocBstr(std::u16string_view text) {
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
  if (!b) throw std::bad_alloc();
  return b;
}

}  // namespace tindrel::win
