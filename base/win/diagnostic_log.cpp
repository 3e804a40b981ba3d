// The log's file on Windows. Every line opens the file, appends and closes
// it again: a line costs an open more than a handle kept for the run, but
// after either process has started a new generation, both write to the new
// file, and nothing holds the file between lines. Access is
// FILE_APPEND_DATA alone, so that each line's one WriteFile lands at the
// end of the file even when another process appends at the same moment;
// sharing is read, write and delete, so that support can read the file, the
// other instance can append, and either can rename it while the other has
// it open.

#include <windows.h>
#include <shlobj.h>

#include "base/diagnostic_log.h"
#include "winapi/unique_any.h"

namespace tindrel {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The caller's last error survives the log.
class KeepLastError {
 public:
  KeepLastError() : error_(GetLastError()) {}
  ~KeepLastError() { SetLastError(error_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD error_;
};

class WindowsLogFile final : public ILogFile {
 public:
  explicit WindowsLogFile(std::filesystem::path current)
      : current_(std::move(current)), older_(current_.native() + L".1") {}

  uint64_t Size() override {
    const KeepLastError keep;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(current_.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }

  bool Append(std::string_view bytes) override {
    const KeepLastError keep;
    const win::UniqueFileHandle file(CreateFileW(current_.c_str(), FILE_APPEND_DATA, kShareAll,
                                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                                 nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
  }

  bool Rotate() override {
    const KeepLastError keep;
    return MoveFileExW(current_.c_str(), older_.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }

 private:
  std::filesystem::path current_;
  std::wstring older_;
};

}  // namespace

std::filesystem::path PlatformLogPath() {
  const KeepLastError keep;
  // CSIDL rather than known folders: the program still runs on Windows XP.
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, folder)))
    return {};
  std::wstring path = folder;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path += L"ORV_AS";
  CreateDirectoryW(path.c_str(), nullptr);  // usually there already
  return std::filesystem::path(path + L"\\Tindrel2.log");
}

std::unique_ptr<ILogFile> CreatePlatformLogFile(const std::filesystem::path& current) {
  return std::make_unique<WindowsLogFile>(current);
}

LogTime PlatformLocalTime() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return LogTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                 st.wMilliseconds};
}

uint32_t PlatformProcessId() { return GetCurrentProcessId(); }

}  // namespace tindrel
