// The log's file natively: the same policy as on Windows (opened per line,
// appended with O_APPEND), for the benchmarks. The program itself keeps no
// log here: there is no place for it.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "base/diagnostic_log.h"

namespace tindrel {
namespace {

class PosixLogFile final : public ILogFile {
 public:
  explicit PosixLogFile(std::filesystem::path current)
      : current_(std::move(current)), older_(current_.string() + ".1") {}

  uint64_t Size() override {
    struct stat st {};
    return ::stat(current_.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }

  bool Append(std::string_view bytes) override {
    const int saved = errno;
    const int fd = ::open(current_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    if (ok) {
      ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
      ok = ::close(fd) == 0 && ok;
    }
    errno = saved;
    return ok;
  }

  bool Rotate() override { return ::rename(current_.c_str(), older_.c_str()) == 0; }

 private:
  std::filesystem::path current_;
  std::string older_;
};

}  // namespace

std::filesystem::path PlatformLogPath() { return {}; }

std::unique_ptr<ILogFile> CreatePlatformLogFile(const std::filesystem::path& current) {
  return std::make_unique<PosixLogFile>(current);
}

LogTime PlatformLocalTime() {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  tm local{};
  ::localtime_r(&tv.tv_sec, &local);
  return LogTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                 local.tm_min,        local.tm_sec,     static_cast<int>(tv.tv_usec / 1000)};
}

uint32_t PlatformProcessId() { return static_cast<uint32_t>(::getpid()); }

}  // namespace tindrel
