#include "jobfile/job_file_access.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tindrel {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

JobFileBytes Failure(int error) {
  JobFileBytes result;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      result.status = JobFileBytes::Status::kMissing;
      break;
    case EACCES:
    case EPERM:
      result.reason = "ingen tilgang";
      break;
    case EISDIR:
      result.reason = "det er en mappe";
      break;
    default:
      result.reason = "systemfeil " + std::to_string(error);
  }
  return result;
}

// No mandatory locks here: a file is never reported locked.
class PosixJobFileAccess final : public IJobFileAccess {
 public:
  JobFileBytes Read(const std::filesystem::path& path) override {
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return Failure(errno);
    JobFileBytes result;
    char buffer[64 * 1024];
    for (;;) {
      const ssize_t got = read(file.get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Failure(errno);
      if (got == 0) break;
      result.bytes.append(buffer, static_cast<size_t>(got));
    }
    result.status = JobFileBytes::Status::kRead;
    return result;
  }
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  void Wait(std::chrono::milliseconds interval) override { std::this_thread::sleep_for(interval); }
};

}  // namespace

IJobFileAccess& PlatformJobFileAccess() {
  static PosixJobFileAccess access;
  return access;
}

}  // namespace tindrel
