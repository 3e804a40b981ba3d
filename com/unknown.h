#pragma once
// IUnknown for the server's own objects, written once. Windows only.
//
// Unknown<Identity, Others...> derives from the interfaces it is given. Its
// IUnknown is the Identity pointer, and QueryInterface answers IID_IUnknown
// with it and every other IID from the derived class's Find, whose usual
// body is FindIn over the object's table of IIDs:
//
//   void* Find(REFIID iid) noexcept override {
//     return FindIn(iid, {{IID_IClassFactory, static_cast<IClassFactory*>(this)}});
//   }
//
// The reference count starts at one, the creator's (ComPtr::Attach takes
// it), and the last Release deletes the object. Nothing here holds the
// server process's count; an object that must keeps a
// ServerProcessReference (com/server.h).

#include <windows.h>
#include <unknwn.h>

#include <initializer_list>

namespace tindrel::com {

// One row of an object's interface table: the object's pointer for `iid`,
// or null while the object does not offer it.
struct InterfaceEntry {
  const IID& iid;
  void* pointer;
};

template <class Identity, class... Others>
class Unknown : public Identity, public Others... {
 public:
  Unknown(const Unknown&) = delete;
  Unknown& operator=(const Unknown&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) final {
    if (!out) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) ? static_cast<void*>(static_cast<Identity*>(this))
                                         : Find(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() final { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() final {
    const ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

 protected:
  Unknown() = default;
  virtual ~Unknown() = default;

  // The object's pointer for `iid` (never IID_IUnknown), or null when it
  // does not offer that interface.
  virtual void* Find(REFIID iid) noexcept = 0;

  // The pointer of the row with `iid`, or null when no row has it.
  static void* FindIn(REFIID iid, std::initializer_list<InterfaceEntry> table) noexcept {
    for (const InterfaceEntry& entry : table) {
      if (IsEqualIID(iid, entry.iid)) return entry.pointer;
    }
    return nullptr;
  }

 private:
  LONG refs_ = 1;
};

}  // namespace tindrel::com
