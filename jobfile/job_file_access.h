#pragma once
// Reading a job file whole, and the clock of the retry while another program
// still holds it. The platform's access is the default; tests pass their own
// so that the retry runs without sleeping.

#include <chrono>
#include <filesystem>
#include <string>

namespace tindrel {

struct JobFileBytes {
  enum class Status { kRead, kMissing, kLocked, kFailed };
  Status status = Status::kFailed;
  std::string bytes;   // the whole file, when kRead
  std::string reason;  // why it failed, Norwegian, UTF-8, when kFailed
};

class IJobFileAccess {
 public:
  virtual ~IJobFileAccess() = default;
  // kLocked when another process holds the file so that it may still be
  // writing it (Windows: the file is opened sharing read access only).
  virtual JobFileBytes Read(const std::filesystem::path& path) = 0;
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void Wait(std::chrono::milliseconds interval) = 0;
};

// The file system and the real clock.
IJobFileAccess& PlatformJobFileAccess();

}  // namespace tindrel
