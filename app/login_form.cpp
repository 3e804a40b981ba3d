#include "app/login_form.h"

#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/text.h"

namespace tindrel {
namespace {

// Modal results, as the dialog ends.
constexpr INT_PTR kResultLogin = 1;
constexpr INT_PTR kResultClosed = 2;

// An in-memory DLGTEMPLATE: header, then DWORD-aligned item templates.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, DWORD exStyle, short cx, short cy, const wchar_t* title,
                 WORD pointSize, const wchar_t* font) {
    DLGTEMPLATE header{};
    header.style = style;
    header.dwExtendedStyle = exStyle;
    header.cx = cx;
    header.cy = cy;
    Append(&header, sizeof header);
    countOffset_ = offsetof(DLGTEMPLATE, cdit);
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    String(title);
    Word(pointSize);
    String(font);
  }

  // `atom`: 0x0080 button, 0x0081 edit, 0x0082 static.
  void Item(WORD atom, const wchar_t* text, WORD id, DWORD style, short x, short y, short cx,
            short cy) {
    Align();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    Append(&item, sizeof item);
    Word(0xFFFF);
    Word(atom);
    String(text);
    Word(0);  // no creation data
    WORD count = 0;
    std::memcpy(&count, bytes_.data() + countOffset_, sizeof count);
    ++count;
    std::memcpy(bytes_.data() + countOffset_, &count, sizeof count);
  }

  const DLGTEMPLATE* get() {
    Align();
    return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data());
  }

 private:
  void Append(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  void Word(WORD w) { Append(&w, sizeof w); }
  void String(const wchar_t* s) { Append(s, (wcslen(s) + 1) * sizeof(wchar_t)); }
  void Align() {
    while (bytes_.size() % 4) bytes_.push_back(0);
  }

  // DWORD alignment of the storage itself comes from the vector's allocator.
  std::vector<unsigned char> bytes_;
  size_t countOffset_ = 0;
};

// Asks the dialog to take the foreground and the focus once more after its
// modal loop runs (the first attempt, in WM_INITDIALOG, comes before the
// dialog manager's own show and activation).
constexpr UINT kActivateMessage = WM_APP + 1;

// Room for five wrapped lines of the reason, in dialog units.
constexpr short kReasonHeight = 40;

struct DialogState {
  const std::function<void(std::optional<LoginAnswer>)>* answered = nullptr;
  bool told = false;
  // An error while reading the fields or from `answered`, carried out of the
  // dialog procedure and raised again by RunLoginForm.
  std::exception_ptr error;

  void Tell(std::optional<LoginAnswer> answer) {
    if (told) return;
    told = true;
    try {
      (*answered)(std::move(answer));
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  }
};

// One dialog at a time is the session's rule; a second one (the main
// window's button) keeps the first one's handle here until it ends.
HWND g_openDialog = nullptr;

std::string FieldText(HWND dialog, int id) {
  HWND field = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthW(field);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
  const int n = GetWindowTextW(field, buffer.data(), length + 1);
  std::string text = Utf16ToUtf8(
      std::u16string_view(reinterpret_cast<const char16_t*>(buffer.data()), n > 0 ? n : 0));
  SecureZeroMemory(buffer.data(), buffer.size() * sizeof(wchar_t));
  return text;
}

// Without an owner the dialog may be started from an automation call while
// another program is in front, and Windows gives the foreground only to a
// process that has it or was handed it (AllowSetForegroundWindow, which only
// the client could call). Attaching to the foreground thread's input for the
// moment of the switch makes the system treat the call as coming from that
// thread, which it accepts; where it still refuses, the dialog stays topmost
// and flashes on the taskbar instead of stealing input by synthetic keys.
void BringToForeground(HWND window) {
  HWND front = GetForegroundWindow();
  if (front == window) return;
  const DWORD frontThread = front ? GetWindowThreadProcessId(front, nullptr) : 0;
  const DWORD ownThread = GetCurrentThreadId();
  const bool attach = frontThread != 0 && frontThread != ownThread &&
                      AttachThreadInput(ownThread, frontThread, TRUE);
  BringWindowToTop(window);
  const bool inFront = SetForegroundWindow(window);
  SetActiveWindow(window);
  if (attach) AttachThreadInput(ownThread, frontThread, FALSE);
  if (!inFront) FlashWindow(window, TRUE);
}

void TakeFocus(HWND dialog) {
  BringToForeground(dialog);
  HWND field = GetDlgItem(dialog, kLoginUserNameEditId);
  if (GetFocus() != field && GetFocus() != GetDlgItem(dialog, kLoginPasswordEditId))
    SetFocus(field);
}

INT_PTR CALLBACK LoginDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SendDlgItemMessageW(dialog, kLoginPasswordEditId, EM_SETPASSWORDCHAR, L'*', 0);
      SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
      g_openDialog = dialog;
      TakeFocus(dialog);
      PostMessageW(dialog, kActivateMessage, 0, 0);
      return FALSE;  // the focus is set
    }
    case kActivateMessage:
      // Posted at creation; once the user has answered, the dialog is hidden
      // and must stay so.
      if (IsWindowVisible(dialog)) TakeFocus(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kLoginButtonId: {
          auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
          std::optional<LoginAnswer> answer;
          try {
            LoginAnswer read;
            read.password = FieldText(dialog, kLoginPasswordEditId);
            read.userName = FieldText(dialog, kLoginUserNameEditId);
            answer = std::move(read);
          } catch (...) {
            state->error = std::current_exception();
          }
          const bool given = answer.has_value();
          // Gone from the screen before the login runs, as if closed.
          ShowWindow(dialog, SW_HIDE);
          state->Tell(std::move(answer));
          EndDialog(dialog, given && !state->error ? kResultLogin : kResultClosed);
          return TRUE;
        }
        case IDCANCEL:
          // Escape: the dialog has no cancel button and stays open.
          return TRUE;
      }
      return FALSE;
    case WM_CLOSE: {
      auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
      ShowWindow(dialog, SW_HIDE);
      state->Tell(std::nullopt);
      EndDialog(dialog, kResultClosed);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

bool RunLoginForm(const std::function<void(std::optional<LoginAnswer>)>& answered,
                  const std::string& reason) {
  // Pixel sizes of the design (client 160 x 140) in dialog units of an
  // 8-point Tahoma, about 1.5 by 1.6 pixels each.
  DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
                       DS_SETFOREGROUND | DS_NOIDLEMSG,
                   WS_EX_TOPMOST | WS_EX_APPWINDOW, 107,
                   reason.empty() ? 86 : 86 + kReasonHeight + 4, L"Login", 8, L"Tahoma");
  t.Item(0x0082, L"Brukernavn", kLoginUserNameLabelId, SS_LEFT, 11, 10, 81, 8);
  t.Item(0x0081, L"", kLoginUserNameEditId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 11, 18, 81,
         13);
  t.Item(0x0082, L"Passord", kLoginPasswordLabelId, SS_LEFT, 11, 34, 81, 8);
  t.Item(0x0081, L"", kLoginPasswordEditId,
         ES_AUTOHSCROLL | ES_PASSWORD | WS_BORDER | WS_TABSTOP, 11, 42, 81, 13);
  t.Item(0x0080, L"Login", kLoginButtonId, BS_DEFPUSHBUTTON | WS_TABSTOP, 41, 59, 50, 15);
  // Why the dialog came back, below everything the user works with.
  const std::u16string reasonText = Utf8ToUtf16(reason);
  if (!reason.empty()) {
    t.Item(0x0082, reinterpret_cast<const wchar_t*>(reasonText.c_str()), kLoginReasonId,
           SS_LEFT | SS_NOPREFIX, 11, 80, 85, kReasonHeight);
  }

  DialogState state;
  state.answered = &answered;
  const HWND before = g_openDialog;
  const INT_PTR result =
      DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, LoginDialogProc,
                              reinterpret_cast<LPARAM>(&state));
  g_openDialog = before;
  // Ended some other way (a quit message in its loop): nobody may be left
  // waiting for an answer.
  state.Tell(std::nullopt);
  if (state.error) std::rethrow_exception(state.error);
  if (result == -1 || result == 0) throw Error("Kunne ikke vise innloggingsvinduet.");
  return result == kResultLogin;
}

HWND OpenLoginForm() { return g_openDialog; }

}  // namespace tindrel
