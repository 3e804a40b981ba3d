#pragma once
// Move-only owners of platform resources, all from one template over a
// traits type: `UniqueAny<Traits>`, where Traits names the resource type,
// the value that owns nothing and the close function. A resource that is
// freed by a function and invalid when null is one line:
//
//   using UniqueHKey = UniqueAny<NullIsInvalid<HKEY, &::RegCloseKey>>;
//
// Kinds used in one file only (HINTERNET, NetApi buffers, the main window)
// are declared beside their use the same way. Closing keeps the caller's
// last error, so a failing call can still be examined after the handles it
// opened are gone. Windows only.
//
// Ownership of automation values, stated once for the program:
//   - a BSTR or VARIANT handed to a member ([in]) belongs to the caller;
//   - a BSTR or VARIANT a member hands out ([out, retval]) belongs to the
//     caller from then on; on failure the member hands out nothing (NULL);
//   - UniqueBstr and UniqueVariant own what they hold and free it once.

#include <windows.h>
#include <oleauto.h>

#include <concepts>
#include <utility>

namespace tindrel::win {

template <class Traits>
class UniqueAny {
 public:
  using Type = typename Traits::Type;

  UniqueAny() = default;
  explicit UniqueAny(Type value) : value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }
  // For out-parameters: frees what was held and hands out the slot.
  Type* put() {
    reset();
    return &value_;
  }
  Type release() { return std::exchange(value_, Traits::Invalid()); }
  void reset(Type value = Traits::Invalid()) {
    const Type old = std::exchange(value_, value);
    if (old != Traits::Invalid()) {
      const DWORD error = GetLastError();
      Traits::Close(old);
      SetLastError(error);
    }
  }
  // Closes now and says whether closing succeeded, for resources whose
  // close can report a failure of its own (a file's late write error).
  bool CloseNow()
    requires std::same_as<decltype(Traits::Close(Type{})), bool>
  {
    const Type old = release();
    return old == Traits::Invalid() || Traits::Close(old);
  }

 private:
  Type value_ = Traits::Invalid();
};

// Null owns nothing; `CloseFunction` frees a value (its result is ignored).
template <typename T, auto CloseFunction>
struct NullIsInvalid {
  using Type = T;
  static T Invalid() { return T{}; }
  static void Close(T value) { CloseFunction(value); }
};

// Kernel objects: NULL owns nothing. CreateFile and CreateToolhelp32Snapshot
// report failure as INVALID_HANDLE_VALUE instead, and a file's close can
// fail on its own (a late write error).
struct FileHandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE h) { return CloseHandle(h) != FALSE; }
};

using UniqueHandle = UniqueAny<NullIsInvalid<HANDLE, &::CloseHandle>>;
using UniqueFileHandle = UniqueAny<FileHandleTraits>;
using UniqueHKey = UniqueAny<NullIsInvalid<HKEY, &::RegCloseKey>>;
using UniqueSid = UniqueAny<NullIsInvalid<PSID, &::FreeSid>>;  // AllocateAndInitializeSid
using UniqueBstr = UniqueAny<NullIsInvalid<BSTR, &::SysFreeString>>;
using UniqueFont = UniqueAny<NullIsInvalid<HFONT, &::DeleteObject>>;

// A VARIANT that clears itself. Not a UniqueAny: a VARIANT is a value held
// in place, not a handle, and its empty state is VT_EMPTY rather than a
// sentinel to compare with.
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

}  // namespace tindrel::win
