#pragma once
// Move-only owners of Win32 handles, one template over a traits type that
// names the invalid value and the close function. Closing keeps the caller's
// last error, so a failing call can be examined after its handles are gone.
// Windows only.

#include <windows.h>

#include <utility>

namespace tindrel {

template <class Traits>
class UniqueHandle {
 public:
  using T = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(T h) : h_(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Traits::Invalid()));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  T get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  T release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(T h = Traits::Invalid()) {
    const T old = std::exchange(h_, h);
    if (old != Traits::Invalid()) {
      const DWORD error = GetLastError();
      Traits::Close(old);
      SetLastError(error);
    }
  }
  // Closes now and says whether closing succeeded (it can report a write
  // that failed late).
  bool CloseNow() {
    const T old = std::exchange(h_, Traits::Invalid());
    return old == Traits::Invalid() || Traits::Close(old);
  }

 private:
  T h_ = Traits::Invalid();
};

struct FileHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};
using FileHandle = UniqueHandle<FileHandleTraits>;

struct FontHandleTraits {
  using Type = HFONT;
  static HFONT Invalid() { return nullptr; }
  static bool Close(HFONT h) { return DeleteObject(h) != FALSE; }
};
using FontHandle = UniqueHandle<FontHandleTraits>;

struct WindowHandleTraits {
  using Type = HWND;
  static HWND Invalid() { return nullptr; }
  static bool Close(HWND h) { return DestroyWindow(h) != FALSE; }
};
using WindowHandle = UniqueHandle<WindowHandleTraits>;

}  // namespace tindrel
