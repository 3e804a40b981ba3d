#pragma once
// The program's one exception hierarchy. Every failure carries a message text
// meant for the user (Norwegian where the user sees it). Four places catch
// every error and tell it: the service requests (a new login, whose dialog
// says what failed, then the request again), the automation members and
// the objects' creation (DISP_E_EXCEPTION or E_FAIL with error
// information), start-up and the main window's messages (a message box),
// and the job file's reader (the job stops with the text). Besides these,
// the reply reader tells a SOAP fault from an unreadable reply, and two
// automation members take a RemoteFault as an answer (Hent: no vehicle;
// RedigerKontroll: ignored). Everywhere else an error is only logged or
// carried, and thrown on.

#include <stdexcept>
#include <string>

namespace tindrel {

// Base of all the program's errors. what() is UTF-8.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The service answered with a SOAP fault; what() is its faultstring.
class RemoteFault : public Error {
 public:
  using Error::Error;
};

// The request did not get a usable HTTP answer: no connection, time-out,
// an HTTP error status without a SOAP fault.
class TransportError : public Error {
 public:
  using Error::Error;
};

// The reply came but is not what the contract allows (not an envelope,
// truncated, too large, too deep, a DOCTYPE, a malformed value).
class ProtocolError : public Error {
 public:
  using Error::Error;
};

// An error that ends an operation without being shown to the user
// (the job interpreter's refusal of a valuation job).
class SilentAbort : public Error {
 public:
  using Error::Error;
};

}  // namespace tindrel
