#pragma once
// How the library's classes sit on the COM plumbing (com/object.h).
// Windows only.
//
//   AutomationClass<Interface>   an AutomationObject of one of the library's
//                                classes (automation/win/coclasses.h), whose
//                                behaviour object fires its events through
//                                events(), an IEventTarget
//   SessionBoundClass<Interface, Behaviour>
//                                one that forwards to a behaviour object
//                                made with the service session
//                                (automation/session_link.h)
//   TINDREL_COM_MEMBERS          the member lists of
//                                automation/member_tables.h expanded into
//                                the overrides of the interface
//
// The members forward to the class's behaviour object, `behaviour()`:
//
//   property get   behaviour().Get(dispid), an AutoValue of the member's type
//   property put   behaviour().Set<Name>(value)
//   method         behaviour().<Name>(arguments)

#include <windows.h>

#include "automation/event_target.h"
#include "automation/session_link.h"
#include "automation/win/coclasses.h"
#include "automation/win/com_values.h"
#include "com/object.h"
#include "session/service_access.h"

namespace tindrel {

template <class Interface>
class AutomationClass : public com::AutomationObject<Interface>, private IEventTarget {
 protected:
  // Throws Error when the type library does not describe the class.
  explicit AutomationClass(REFCLSID clsid)
      : com::AutomationObject<Interface>(CoclassOf(clsid)) {}

  // Where the behaviour object fires its events.
  IEventTarget& events() { return *this; }

 private:
  void Fire(int dispid) noexcept override { this->FireEvent(dispid); }
};

// What every class with a behaviour holds: the session link, taken before
// the behaviour object is made, and the behaviour object. Every member
// reaches the behaviour through behaviour(), inside the member's exception
// boundary, so a call after the session has gone fails with a text instead
// of touching it. Making the object throws Error when there is no session.
template <class Interface, class Behaviour>
class SessionBoundClass : public AutomationClass<Interface> {
 protected:
  // A behaviour made from the session alone.
  explicit SessionBoundClass(REFCLSID clsid)
      : AutomationClass<Interface>(clsid), behaviour_(session_.Session()) {}
  // A behaviour made by make(session, events), which returns it.
  template <class MakeBehaviour>
  SessionBoundClass(REFCLSID clsid, MakeBehaviour&& make)
      : AutomationClass<Interface>(clsid),
        behaviour_(make(session_.Session(), this->events())) {}

  Behaviour& behaviour() {
    session_.Check();
    return behaviour_;
  }

 private:
  const TSessionLink session_;
  Behaviour behaviour_;
};

}  // namespace tindrel

// Expansions of the member lists of automation/member_tables.h into members
// of a class derived from AutomationClass whose behaviour object is
// `behaviour()`. A get passes its row's DISPID to Get, which finds the same
// row in the behaviour's table; the rows' read columns are not needed here.
#define TINDREL_COM_METHOD(Name, Dispid) \
  HRESULT STDMETHODCALLTYPE Name() override { return Call([&] { behaviour().Name(); }); }

#define TINDREL_COM_METHOD1(Name, Dispid, Type)                                                 \
  HRESULT STDMETHODCALLTYPE Name(::tindrel::ComType<::tindrel::AutoType::Type> arg) override { \
    return Call(                                                                                \
        [&] { behaviour().Name(::tindrel::FromCom<::tindrel::AutoType::Type>(arg)); });       \
  }

#define TINDREL_COM_GET(Name, Dispid, Type, ...)                                              \
  HRESULT STDMETHODCALLTYPE get_##Name(::tindrel::ComType<::tindrel::AutoType::Type>* value) \
      override {                                                                              \
    return Read(value, [&] {                                                                  \
      return ::tindrel::ToCom<::tindrel::AutoType::Type>(behaviour().Get(Dispid));            \
    });                                                                                       \
  }

#define TINDREL_COM_GETPUT(Name, Dispid, Type, ...)                                               \
  TINDREL_COM_GET(Name, Dispid, Type)                                                             \
  HRESULT STDMETHODCALLTYPE put_##Name(::tindrel::ComType<::tindrel::AutoType::Type> value)      \
      override {                                                                                  \
    return Call(                                                                                  \
        [&] { behaviour().Set##Name(::tindrel::FromCom<::tindrel::AutoType::Type>(value)); });  \
  }

// All members of a list, e.g. TINDREL_COM_MEMBERS(TINDREL_IORV_KUNDE_MEMBERS).
#define TINDREL_COM_MEMBERS(LIST) \
  LIST(TINDREL_COM_METHOD, TINDREL_COM_METHOD1, TINDREL_COM_GET, TINDREL_COM_GETPUT)
