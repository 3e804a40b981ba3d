#pragma once
// TMainForm: the program's main window. It shows who is logged in to the
// service and for which company, lets the user log in or switch user, offers
// the registration with administrator rights, and owns the service session
// (ServiceAccess) for its whole life. Given a job, it saves it while it is
// constructed and closes itself as soon as it is shown.

#include <windows.h>

#include <memory>
#include <string_view>

#include "contract/records.h"
#include "session/service_access.h"
#include "winapi/unique_any.h"

namespace tindrel {

// Control IDs, for the tests that read the window.
inline constexpr int kLoggedInLabelId = 101;
inline constexpr int kUsernameLabelId = 102;
inline constexpr int kCompanyNameLabelId = 103;
inline constexpr int kMainLoginButtonId = 104;
inline constexpr int kRegistrerButtonId = 105;

// The login labels are to be refreshed: posted by PostLoginStateRefresh.
inline constexpr UINT kRefreshLoginStateMessage = WM_USER + 3;

// The session's refresh of the main window (after it loaded or saved the
// token cache and after every login): posts kRefreshLoginStateMessage to the
// main window once it is constructed, and nothing before or after; never
// waits for it to be handled.
void PostLoginStateRefresh();

class TMainForm {
 public:
  // Creates the window (hidden), then ServiceAccess on `platform`, then,
  // when both job records are given, saves the customer and then the
  // inspection and sets CloseWhenShown. Errors of the session (a login that
  // cannot reach the service) leave the constructor; nothing is left behind.
  // The job's end goes to the diagnostic log, under `jobFileName` (empty for
  // a command-line job).
  TMainForm(ISessionPlatform& platform, const Tindrel2CustomerData2* jobCustomer,
            const Tindrel2InspectionData2* jobInspection, std::string_view jobFileName = {});
  // Destroys the window and ServiceAccess, and sets ServiceAccess to null.
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  HWND Handle() const { return window_.get(); }
  bool CloseWhenShown() const { return closeWhenShown_; }

  // Shows the window; FormShow follows from it.
  void Show();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  // A length of the 96-DPI layout at the system's DPI.
  int Scaled(int pixelsAt96Dpi) const;
  void FormShow();
  void RefreshLoginState();
  void LoginButtonClick();
  void RegistrerClick();

  // Owns ServiceAccess and clears it on destruction.
  struct SessionOwner {
    std::unique_ptr<TServiceAccess> session;
    ~SessionOwner();
  };

  // The window, detached from this object before it is destroyed: only a
  // window closed by the user ends the message loop, never one destroyed
  // with the form (a constructor that fails must leave no WM_QUIT behind,
  // or the message box that shows its error would not stay up).
  struct OwnWindowTraits {
    using Type = HWND;
    static HWND Invalid() { return nullptr; }
    static void Close(HWND h) {
      SetWindowLongPtrW(h, GWLP_USERDATA, 0);
      DestroyWindow(h);
    }
  };

  // Destroyed in reverse order: the session first, then the window and the
  // fonts its controls use.
  win::UniqueFont font_;
  win::UniqueFont boldFont_;
  win::UniqueAny<OwnWindowTraits> window_;
  HWND loggedInLabel_ = nullptr;
  HWND usernameLabel_ = nullptr;
  HWND companyNameLabel_ = nullptr;
  HWND loginButton_ = nullptr;
  HWND registrerButton_ = nullptr;
  bool closeWhenShown_ = false;
  int dpi_ = 96;
  SessionOwner owner_;
};

}  // namespace tindrel
