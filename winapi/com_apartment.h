#pragma once
// The calling thread's single-threaded apartment for the life of a value.
// COM counts initialisations per thread, so nesting is harmless; only one
// that succeeded is undone. Windows only.

#include <windows.h>
#include <objbase.h>

namespace tindrel::win {

class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // S_OK, S_FALSE (already initialised), or the failure (another apartment
  // kind on this thread: RPC_E_CHANGED_MODE).
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace tindrel::win
