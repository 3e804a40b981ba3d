#pragma once
// The service session an automation object works with: the process-wide
// ServiceAccess, taken when the object is made. The main window creates it
// before the message loop runs and destroys it after the loop has ended, so
// a client that still holds an object at the end of the process (or calls
// in through a message box shown while start-up fails) could otherwise
// reach a session that is gone. Such calls fail with kNoSessionText
// instead, as does making an object while there is no session.

#include "base/errors.h"
#include "session/service_access.h"

namespace tindrel {

inline constexpr char kNoSessionText[] =
    "Tindrel 2.0 har ingen forbindelse til tjenesten: programmet er ikke ferdig "
    "startet eller holder p\xC3\xA5 \xC3\xA5 avslutte.";

class TSessionLink {
 public:
  // Throws Error when there is no session.
  TSessionLink() : session_(ServiceAccess) { Check(); }

  // The session the object was made with; throws Error once it is gone.
  TServiceAccess& Session() const {
    Check();
    return *session_;
  }

  // Throws Error once the session is gone.
  void Check() const {
    if (!session_ || ServiceAccess != session_) throw Error(kNoSessionText);
  }

 private:
  TServiceAccess* const session_;
};

}  // namespace tindrel
