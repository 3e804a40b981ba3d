#include "jobfile/job_file_access.h"

#include <windows.h>

#include "winapi/unique_any.h"

namespace tindrel {
namespace {

JobFileBytes Failure(DWORD error) {
  JobFileBytes result;
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      result.status = JobFileBytes::Status::kMissing;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      result.status = JobFileBytes::Status::kLocked;
      break;
    case ERROR_ACCESS_DENIED:
      result.reason = "ingen tilgang";
      break;
    default:
      result.reason = "systemfeil " + std::to_string(error);
  }
  return result;
}

class WindowsJobFileAccess final : public IJobFileAccess {
 public:
  JobFileBytes Read(const std::filesystem::path& path) override {
    // Sharing read access only: a writer that still has the file open makes
    // the open fail with a sharing violation instead of giving half a job.
    const win::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                 nullptr));
    if (!file) return Failure(GetLastError());
    JobFileBytes result;
    char buffer[64 * 1024];
    DWORD got = 0;
    for (;;) {
      if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return Failure(GetLastError());
      if (got == 0) break;
      result.bytes.append(buffer, got);
    }
    result.status = JobFileBytes::Status::kRead;
    return result;
  }
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  void Wait(std::chrono::milliseconds interval) override {
    Sleep(static_cast<DWORD>(interval.count()));
  }
};

}  // namespace

IJobFileAccess& PlatformJobFileAccess() {
  static WindowsJobFileAccess access;
  return access;
}

}  // namespace tindrel
