#pragma once
// ComPtr<T>: owns one reference to a COM interface. The only place outside
// the object base and the class factory that calls AddRef and Release.
// Windows only.

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <utility>

#include "winapi/error.h"

namespace tindrel::win {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).swap(*this);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Attach(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // For out-parameters: drops what was held and hands out the slot.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

  // Hands the reference to the caller (an out-parameter of a COM method).
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  void swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // QueryInterface for `iid`, as U. Null when the object does not have it.
  template <typename U>
  ComPtr<U> try_query(REFIID iid) const {
    ComPtr<U> r;
    if (p_) p_->QueryInterface(iid, r.put_void());
    return r;
  }
  // As try_query, but a missing interface throws ComError with the result.
  template <typename U>
  ComPtr<U> query(REFIID iid) const {
    ComPtr<U> r;
    if (!p_) ThrowIfFailed(E_POINTER, "QueryInterface");
    ThrowIfFailed(p_->QueryInterface(iid, r.put_void()), "QueryInterface");
    return r;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace tindrel::win
