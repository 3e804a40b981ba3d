// Times of interpreting one job, each encoding on its own: a command-line
// job, a one-line job file and a key=value job file (their text already in
// memory: split into lines and interpreted into a fresh pair of records),
// and a key=value job read from disk by ReadJobFile. Runs in the same
// program as the SOAP figures (scripts/bench).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "jobfile/job_interpreter.h"

namespace {

using namespace tindrel;

// The jobs of tests/data, and a command-line job with every position used.
constexpr std::string_view kLineJob =
    "1001,Kari,Marie,Nordmann,Storgata 1,0150,Oslo,AB12345,WVWZZZ1JZXW000001,1234567890\r\n";
constexpr std::string_view kKeyValueJob =
    "KUNDENR=1002\r\nFORNAVN=Ola\r\nNAVN=Hansen\r\nKJMERKE=CD67890\r\n"
    "CHASSISNR=VIN0000000000002\r\n";
const std::u16string kCommandLineJob =
    u"\u00A4\"00123\"\u00A4Bj\u00F8rn\u00A4\u00A4\u00C6rlig\u00A4Fjellveien 12\u00A46003"
    u"\u00A4\u00C5lesund\u00A4AB12345\u00A4TDL0000000A123456\u00A4\u00A4A-778";

class SilentUi final : public IJobUi {
 public:
  void ShowJobLine(const std::string&) override {}
};

void JobCommandLine(benchmark::State& state) {
  for (auto _ : state) {
    Tindrel2CustomerData2 customer;
    Tindrel2InspectionData2 inspection;
    InterpretCommandLineJob(kCommandLineJob, customer, inspection);
    benchmark::DoNotOptimize(inspection.RegNo().data());
  }
}

void JobFileOneLine(benchmark::State& state) {
  for (auto _ : state) {
    Tindrel2CustomerData2 customer;
    Tindrel2InspectionData2 inspection;
    const auto lines = SplitJobFileText(kLineJob);
    InterpretJobLine(lines.front(), customer, inspection);
    benchmark::DoNotOptimize(inspection.RegNo().data());
  }
}

void JobFileKeyValue(benchmark::State& state) {
  SilentUi ui;
  for (auto _ : state) {
    Tindrel2CustomerData2 customer;
    Tindrel2InspectionData2 inspection;
    const auto lines = SplitJobFileText(kKeyValueJob);
    InterpretJobKeyValues(lines, customer, inspection, ui);
    benchmark::DoNotOptimize(inspection.RegNo().data());
  }
}

void JobFileFromDisk(benchmark::State& state) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("tindrel_bench_" + std::to_string(getpid()) + ".orv");
  std::ofstream(path, std::ios::binary) << kKeyValueJob;
  SilentUi ui;
  for (auto _ : state) {
    Tindrel2CustomerData2 customer;
    Tindrel2InspectionData2 inspection;
    if (!ReadJobFile(path, customer, inspection, ui)) state.SkipWithError("job file unreadable");
    benchmark::DoNotOptimize(inspection.RegNo().data());
  }
  std::filesystem::remove(path);
}

BENCHMARK(JobCommandLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(JobFileOneLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(JobFileKeyValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(JobFileFromDisk)->Unit(benchmark::kMicrosecond);

}  // namespace
