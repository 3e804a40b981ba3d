#pragma once
// Move-only owners of platform resources, all from one template over the
// resource's close function: `UniqueAny<T, Close, Invalid>`. Closing keeps the
// caller's last error, so a failing call can still be examined after the
// handles it opened are gone. Windows only.
//
// Ownership of automation values, stated once for the COM layer:
//   - a BSTR or VARIANT handed to a member ([in]) belongs to the caller;
//   - a BSTR or VARIANT a member hands out ([out, retval]) belongs to the
//     caller from then on; on failure the member hands out nothing (NULL);
//   - UniqueBstr and UniqueVariant own what they hold and free it once.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace tindrel::com {

template <typename T>
constexpr T NullValue() {
  return T{};
}

// `Close` frees a value; `Invalid` gives the value that owns nothing.
template <typename T, auto Close, auto Invalid = &NullValue<T>>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }
  // For out-parameters: frees what was held and hands out the slot.
  T* put() {
    reset();
    return &value_;
  }
  T release() { return std::exchange(value_, Invalid()); }
  void reset(T value = Invalid()) {
    const T old = std::exchange(value_, value);
    if (old != Invalid()) {
      const DWORD error = GetLastError();
      Close(old);
      SetLastError(error);
    }
  }

 private:
  T value_ = Invalid();
};

// CreateFile reports failure as INVALID_HANDLE_VALUE, the rest of the
// kernel as NULL: two types over the same close function.
inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
inline HANDLE InvalidFileHandle() { return INVALID_HANDLE_VALUE; }
using UniqueHandle = UniqueAny<HANDLE, &CloseKernelHandle>;
using UniqueFileHandle = UniqueAny<HANDLE, &CloseKernelHandle, &InvalidFileHandle>;

inline void CloseRegistryKey(HKEY key) { RegCloseKey(key); }
using UniqueHKey = UniqueAny<HKEY, &CloseRegistryKey>;

// For SIDs made by AllocateAndInitializeSid.
inline void ReleaseSid(PSID sid) { FreeSid(sid); }
using UniqueSid = UniqueAny<PSID, &ReleaseSid>;

using UniqueBstr = UniqueAny<BSTR, &::SysFreeString>;

// A new BSTR holding `text`; throws std::bad_alloc when none can be made.
BSTR AllocBstr(std::u16string_view text);
inline UniqueBstr MakeBstr(std::u16string_view text) { return UniqueBstr(AllocBstr(text)); }
inline std::u16string_view View(BSTR b) {
  return b ? std::u16string_view(reinterpret_cast<const char16_t*>(b), SysStringLen(b))
           : std::u16string_view();
}

// A VARIANT that clears itself. Not a UniqueAny: a VARIANT is a value, not a
// handle, and its empty state is VT_EMPTY rather than a sentinel.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&v_); }
  UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    if (this != &other) {
      reset();
      v_ = other.v_;
      VariantInit(&other.v_);
    }
    return *this;
  }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { reset(); }

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* operator->() { return &v_; }
  const VARIANT* operator->() const { return &v_; }
  // For out-parameters: clears what was held first.
  VARIANT* put() {
    reset();
    return &v_;
  }
  void reset() { VariantClear(&v_); }

 private:
  VARIANT v_;
};

}  // namespace tindrel::com
