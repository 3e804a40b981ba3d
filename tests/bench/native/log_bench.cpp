// The cost of one diagnostic log line: a request's line formatted and
// appended to a real file, opened and closed per line as the program does
// (the file begins a new generation at the cap as it fills). Runs in the
// same program as the SOAP figures (scripts/bench).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

#include "base/diagnostic_log.h"

namespace {

using namespace tindrel;

void LogLineToFile(benchmark::State& state) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("tindrel-log-bench-" + std::to_string(getpid()) + ".log");
  DiagnosticLog log(CreatePlatformLogFile(path), PlatformProcessId(), &PlatformLocalTime);
  for (auto _ : state) {
    const LogField fields[] = {{"op", "SaveInspection"}, {"ms", "212"}, {"result", "saved"}};
    log.Write("request", fields);
  }
  std::filesystem::remove(path);
  std::filesystem::remove(path.string() + ".1");
}
BENCHMARK(LogLineToFile)->Unit(benchmark::kMicrosecond);

}  // namespace
