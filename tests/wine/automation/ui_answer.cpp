#include "ui_answer.h"

namespace tindrel::test {
namespace {

constexpr char kWaitMs[] = "30000";

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char c = s[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Whether the driver answered "ok"; `value` gets what follows its TAB.
bool Ok(const std::string& answer, std::string* value = nullptr) {
  if (answer.rfind("ok", 0) != 0) return false;
  if (value) *value = answer.size() > 3 ? answer.substr(3) : std::string();
  return true;
}

}  // namespace

UiDriver::UiDriver(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE childIn = nullptr, ourOut = nullptr, ourIn = nullptr, childOut = nullptr;
  if (!CreatePipe(&childIn, &ourOut, &inherit, 0)) return;
  win::UniqueHandle childInOwner(childIn);
  toDriver_.reset(ourOut);
  if (!CreatePipe(&ourIn, &childOut, &inherit, 0)) return;
  win::UniqueHandle childOutOwner(childOut);
  fromDriver_.reset(ourIn);
  // Our ends stay ours: the driver must see end-of-file when we close them.
  SetHandleInformation(toDriver_.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(fromDriver_.get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childIn;
  startup.hStdOutput = childOut;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  std::wstring line = L"\"" + path + L"\"";
  if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &info))
    return;
  process_.reset(info.hProcess);
  CloseHandle(info.hThread);
  ready_ = Ask("") == "ready";
}

UiDriver::~UiDriver() {
  if (process_) {
    DWORD written = 0;
    WriteFile(toDriver_.get(), "quit\n", 5, &written, nullptr);
    toDriver_.reset();
    if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0)
      TerminateProcess(process_.get(), 1);
  }
}

std::string UiDriver::Ask(const std::string& command) {
  if (!toDriver_ || !fromDriver_) return "error\tno driver";
  // The empty command only reads: the greeting the driver sends first.
  if (!command.empty()) {
    const std::string line = command + "\n";
    DWORD written = 0;
    if (!WriteFile(toDriver_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                   nullptr))
      return "error\tthe driver is gone";
  }
  for (;;) {
    const size_t lf = pending_.find('\n');
    if (lf != std::string::npos) {
      std::string answer = pending_.substr(0, lf);
      pending_.erase(0, lf + 1);
      if (!answer.empty() && answer.back() == '\r') answer.pop_back();
      return answer;
    }
    char buffer[512];
    DWORD got = 0;
    if (!ReadFile(fromDriver_.get(), buffer, sizeof buffer, &got, nullptr) || got == 0)
      return "error\tthe driver is gone";
    pending_.append(buffer, got);
  }
}

UiAnswer::UiAnswer(UiDriver& driver, UiAction action)
    : thread_([this, &driver, action] { Run(driver, action); }) {}

UiAnswer::~UiAnswer() {
  if (thread_.joinable()) thread_.join();
}

bool UiAnswer::Done() {
  if (thread_.joinable()) thread_.join();
  return done_;
}

void UiAnswer::Run(UiDriver& driver, const UiAction& action) {
  const std::string title = action.kind == UiAction::kAcknowledge ? action.title : "Login";
  std::string window;
  if (!Ok(driver.Ask("find\t#32770\t" + title + "\t" + kWaitMs), &window)) {
    problem_ = "no window \"" + title + "\" appeared";
    return;
  }
  bool sent = false;
  switch (action.kind) {
    case UiAction::kLogIn:
      sent = Ok(driver.Ask("type\t" + window + "\t1001\t" + action.user)) &&
             Ok(driver.Ask("type\t" + window + "\t1002\t" + action.password)) &&
             Ok(driver.Ask("click\t" + window + "\t1"));
      break;
    case UiAction::kCloseLogin:
      sent = Ok(driver.Ask("close\t" + window));
      break;
    case UiAction::kAcknowledge: {
      std::string text;
      if (Ok(driver.Ask("message\t" + window), &text)) message_ = Unescape(text);
      sent = Ok(driver.Ask("click\t" + window + "\t1"));
      break;
    }
  }
  if (!sent || !Ok(driver.Ask("gone\t" + window + "\t" + kWaitMs))) {
    problem_ = "the window \"" + title + "\" could not be answered";
    return;
  }
  done_ = true;
}

}  // namespace tindrel::test
