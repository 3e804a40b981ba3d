#pragma once
// Answers the server's windows while the client is blocked in the call that
// shows them: the login dialog that a request opens, and the refusal
// message box. The windows are driven by tests/wine/harness/ui_driver.exe, one
// process for the whole run, from a second thread of the client (the
// client's own thread waits inside the COM call).

#include <windows.h>

#include <string>
#include <thread>

#include "winapi/unique_any.h"

namespace tindrel::test {

class UiDriver {
 public:
  // Starts the driver (a Windows path) and waits for its "ready".
  explicit UiDriver(const std::wstring& path);
  ~UiDriver();
  UiDriver(const UiDriver&) = delete;
  UiDriver& operator=(const UiDriver&) = delete;

  bool Running() const { return ready_; }
  // One command (fields joined with TAB), one answer line: "ok..." or
  // "error...". The driver bounds every wait itself.
  std::string Ask(const std::string& command);

 private:
  win::UniqueHandle process_;
  win::UniqueHandle toDriver_;
  win::UniqueHandle fromDriver_;
  std::string pending_;
  bool ready_ = false;
};

// What to do with the next window: log in with a user and password, close
// the login dialog, or press OK in a message box with a title.
struct UiAction {
  enum Kind { kLogIn, kCloseLogin, kAcknowledge } kind;
  std::string user, password;  // kLogIn
  std::string title;           // kAcknowledge
  static UiAction LogIn(std::string user, std::string password) {
    return {kLogIn, std::move(user), std::move(password), {}};
  }
  static UiAction CloseLogin() { return {kCloseLogin, {}, {}, {}}; }
  static UiAction Acknowledge(std::string title) { return {kAcknowledge, {}, {}, std::move(title)}; }
};

// Carries out `action` on a second thread as soon as its window shows (for
// at most 30 s). Done() waits for the thread; it tells whether the window
// appeared and went away again, and gives a message box's text.
class UiAnswer {
 public:
  UiAnswer(UiDriver& driver, UiAction action);
  ~UiAnswer();
  UiAnswer(const UiAnswer&) = delete;
  UiAnswer& operator=(const UiAnswer&) = delete;

  bool Done();
  const std::string& MessageText() const { return message_; }
  const std::string& Problem() const { return problem_; }

 private:
  void Run(UiDriver& driver, const UiAction& action);
  bool done_ = false;
  std::string message_;
  std::string problem_;
  std::thread thread_;  // last: started once the fields it writes exist
};

}  // namespace tindrel::test
