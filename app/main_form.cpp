#include "app/main_form.h"

#include <commctrl.h>

#include <stdexcept>
#include <string>

#include "app/error_box.h"
#include "app/login_form.h"
#include "app/registration.h"
#include "app/startup.h"
#include "base/errors.h"
#include "base/text.h"
#include "session/win/windows_platform.h"
#include "winapi/sdk_extras.h"
#include "winapi/strings.h"
#include "winapi/unique_any.h"

namespace tindrel {
namespace {

constexpr wchar_t kWindowClass[] = L"Tindrel2MainForm";
constexpr wchar_t kCaption[] = L"Tindrel 2.0";
constexpr int kClientWidth = 459;
constexpr int kClientHeight = 126;

HWND g_mainWindow = nullptr;

win::UniqueFont MakeFont(int height, int weight) {
  return win::UniqueFont(CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

// Comctl32 version 6 (the manifest asks for it) draws themed buttons and
// the elevation shield; it must be loaded before the first control is made.
void LoadCommonControls() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
  InitCommonControlsEx(&icc);
}

// The system's DPI: the process is system-DPI-aware (manifest), so the
// layout below, made for 96 DPI, is scaled once at construction.
int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(instance, kWindowClass, &wc)) return;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&wc)) throw Error("Kunne ikke opprette hovedvinduet.");
}

// What reaches a window procedure is shown, never passed on to the system.
void ShowCaught() noexcept { ShowCaughtException(); }

}  // namespace

void PostLoginStateRefresh() {
  if (g_mainWindow) PostMessageW(g_mainWindow, kRefreshLoginStateMessage, 0, 0);
}

TMainForm::SessionOwner::~SessionOwner() {
  if (ServiceAccess == session.get()) ServiceAccess = nullptr;
}

TMainForm::TMainForm(ISessionPlatform& platform, const Tindrel2CustomerData2* jobCustomer,
                     const Tindrel2InspectionData2* jobInspection, std::string_view jobFileName) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadCommonControls();
  RegisterWindowClass(instance, &TMainForm::WindowProc);
  dpi_ = ScreenDpi();
  font_ = MakeFont(-MulDiv(8, dpi_, 72), FW_NORMAL);
  boldFont_ = MakeFont(-Scaled(16), FW_BOLD);

  const DWORD style = WS_OVERLAPPEDWINDOW;
  const DWORD exStyle = WS_EX_CONTROLPARENT;
  RECT r{0, 0, Scaled(kClientWidth), Scaled(kClientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  HWND window = CreateWindowExW(exStyle, kWindowClass, kCaption, style, 0, 0, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, instance, this);
  if (!window) throw Error("Kunne ikke opprette hovedvinduet.");
  window_.reset(window);
  CreateControls();

  owner_.session = std::make_unique<TServiceAccess>(platform);
  ServiceAccess = owner_.session.get();

  if (jobCustomer && jobInspection) {
    // The results only go to the log: the inspection goes as the job filled
    // it, and a login broken off for the customer does not stop the
    // inspection. No record is saved without a reply that holds it.
    try {
      const bool customer = ServiceAccess->StoreCustomer(*jobCustomer) != nullptr;
      const auto inspection = ServiceAccess->StoreInspection(*jobInspection);
      const bool refused = inspection && !inspection->CreateSucceeded();
      LogJob(jobFileName,
             refused                   ? "refused"
             : customer && inspection ? "saved"
                                      : "not-saved",
             {}, customer ? "saved" : "not-saved",
             refused ? "refused" : inspection ? "saved" : "not-saved");
    } catch (...) {
      LogJob(jobFileName, "failed");
      throw;
    }
    closeWhenShown_ = true;
  }

  // Correct from the start even when the window is never shown (automation).
  RefreshLoginState();
  g_mainWindow = window_.get();
}

TMainForm::~TMainForm() {
  if (g_mainWindow == window_.get()) g_mainWindow = nullptr;
  owner_.session.reset();
  ServiceAccess = nullptr;
}

void TMainForm::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto control = [&](const wchar_t* cls, const wchar_t* text, int id, DWORD style, int x, int y,
                     int w, int h, HFONT font) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | style, Scaled(x), Scaled(y), Scaled(w),
                             Scaled(h), window_.get(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!c) throw Error("Kunne ikke opprette hovedvinduet.");
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };
  // Creation order is the tab order.
  loggedInLabel_ = control(L"STATIC", L"Logget inn som:", kLoggedInLabelId,
                           WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 8, 443, 16, font_.get());
  usernameLabel_ = control(L"STATIC", L"User Name", kUsernameLabelId,
                           WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 32, 443, 22, boldFont_.get());
  companyNameLabel_ = control(L"STATIC", L"Company Name", kCompanyNameLabelId,
                              WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 8, 57, 443, 22,
                              boldFont_.get());
  loginButton_ = control(L"BUTTON", L"Login", kMainLoginButtonId,
                         WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 8, 93, 75, 25, font_.get());
  // Hidden until FormShow finds that the user is no administrator. The shield
  // says that the click asks for elevation; systems without it ignore the
  // message.
  registrerButton_ = control(L"BUTTON", L"Registrer", kRegistrerButtonId,
                             WS_TABSTOP | BS_PUSHBUTTON, 376, 93, 75, 25, font_.get());
  SendMessageW(registrerButton_, BCM_SETSHIELD, 0, TRUE);
}

int TMainForm::Scaled(int pixelsAt96Dpi) const { return MulDiv(pixelsAt96Dpi, dpi_, 96); }

void TMainForm::Show() { ShowWindow(window_.get(), SW_SHOW); }

void TMainForm::FormShow() {
  // When the question cannot be answered the button is offered: it asks the
  // system for elevation and does no harm.
  bool administrator = false;
  try {
    administrator = IsAdministrator();
  } catch (const std::exception&) {
  }
  if (!administrator) ShowWindow(registrerButton_, SW_SHOW);
  RefreshLoginState();
  if (closeWhenShown_) PostMessageW(window_.get(), WM_CLOSE, 0, 0);
}

void TMainForm::RefreshLoginState() {
  const ORVSecurityToken2* token = ServiceAccess ? ServiceAccess->Token() : nullptr;
  if (token) {
    SetWindowTextW(loggedInLabel_, L"Logget inn som:");
    SetWindowTextW(usernameLabel_, win::Widen(token->UserName()).c_str());
    SetWindowTextW(companyNameLabel_, win::Widen(token->CustomerName()).c_str());
    SetWindowTextW(loginButton_, L"Bytt bruker");
  } else {
    SetWindowTextW(loggedInLabel_, L"Ikke innlogget:");
    SetWindowTextW(usernameLabel_, L"");
    SetWindowTextW(companyNameLabel_, L"");
    SetWindowTextW(loginButton_, L"Log Inn");
  }
}

void TMainForm::LoginButtonClick() {
  // Through the session, so that this dialog and one that a request opens
  // are never open at once: whichever comes second waits for the first and
  // takes its outcome. The labels follow from the refresh message the login
  // posts; an error of the login reaches the standard error box.
  if (ServiceAccess) ServiceAccess->PromptLogin();
}

void TMainForm::RegistrerClick() { RegistrationProcedure(window_.get()); }

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<TMainForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    if (form) form->window_.release();
    if (g_mainWindow == window) g_mainWindow = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DefWindowProcW(window, message, wParam, lParam);
  }
  if (!form) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return form->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    ShowCaught();
    return 0;
  }
}

LRESULT TMainForm::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRefreshLoginStateMessage:
      RefreshLoginState();
      return 0;
    case WM_SHOWWINDOW:
      if (wParam && lParam == 0) FormShow();
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case kMainLoginButtonId:
            LoginButtonClick();
            return 0;
          case kRegistrerButtonId:
            RegistrerClick();
            return 0;
        }
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int RunMainWindow(StartupOptions& options) {
  windows::SessionPlatform platform({
      .runLoginDialog = &RunLoginForm,
      .openLoginDialog = &OpenLoginForm,
      .refreshMainWindow = &PostLoginStateRefresh,
  });
  TMainForm form(platform, options.jobCustomer.get(), options.jobInspection.get(),
                 options.jobFileName);
  if (!options.automation) form.Show();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Tab and the arrow keys move between the window's buttons.
    HWND main = form.Handle();
    if (main && IsDialogMessageW(main, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace tindrel
