// Times of the SOAP binding, all on the same bytes in one run: writing a
// SaveInspection request with a nested customer, reading a full
// GetVehicleData reply (71 fields, date-times with offsets, a few nil
// elements) into a record, and libxml2 alone parsing and freeing that reply.
// Prints the medians and the read/parse ratio against the goals, then the
// same for each of the twelve operations (operation_bench.cpp).

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>
#include <string>
#include <vector>

#include "contract/soap_binding.h"
#include "double_replies.h"
#include "operation_bench.h"

namespace {

using namespace tindrel;

constexpr double kWriteGoalMicros = 16.0;
constexpr double kReadRatioGoal = 1.5;

const std::string_view kReply = double_replies::kBenchVehicleReply;

// A job as the job interpreter fills it: the customer and the inspection's
// own fields, plus the session's token.
struct Job {
  Tindrel2InspectionData2 inspection;
  ORVSecurityToken2 token;
  Job() {
    auto c = std::make_unique<Tindrel2CustomerData2>();
    c->SetAddress1("Fjellveien 12");
    c->SetCity("Ålesund");
    c->SetCustomerNo("1002");
    c->SetEmail("bjorn@example.invalid");
    c->SetFirstName("Bjørn");
    c->SetIsCompany(false);
    c->SetMobilePhone("900 11 222");
    c->SetName("Ærlig & Sønn");
    c->SetZipCode("6003");
    inspection.SetCustomer(std::move(c));
    inspection.SetCustomerNo("1002");
    inspection.SetOrderNo("A-778");
    inspection.SetPreviousInspectionNo("0000000000");
    inspection.SetRegNo("AB12345");
    inspection.SetVIN("TDL0000000A123456");
    bench::FillBenchToken(token);
  }
};

void WriteSaveInspection(benchmark::State& state) {
  const Job job;
  size_t bytes = 0;
  for (auto _ : state) {
    soap::RequestWriter w(soap::kSaveInspection);
    w.Record("inspectionData", &job.inspection);
    w.Record("token", &job.token);
    std::string envelope = w.Finish();
    bytes = envelope.size();
    benchmark::DoNotOptimize(envelope.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void ReadVehicleReply(benchmark::State& state) {
  for (auto _ : state) {
    soap::Reply r = soap::ReadReply(kReply, soap::kGetVehicleData);
    benchmark::DoNotOptimize(r.record.get());
  }
  state.counters["bytes"] = static_cast<double>(kReply.size());
}

void Libxml2ParseAndFree(benchmark::State& state) {
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(kReply.data(), static_cast<int>(kReply.size()), nullptr, nullptr,
                                  XML_PARSE_NONET);
    benchmark::DoNotOptimize(doc);
    xmlFreeDoc(doc);
  }
  state.counters["bytes"] = static_cast<double>(kReply.size());
}

BENCHMARK(WriteSaveInspection)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadVehicleReply)->Unit(benchmark::kMicrosecond);
BENCHMARK(Libxml2ParseAndFree)->Unit(benchmark::kMicrosecond);

// The console output as usual, and the medians kept for the summary.
class MedianReporter final : public benchmark::ConsoleReporter {
 public:
  MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        medians[r.run_name.function_name] = r.GetAdjustedRealTime();  // in the run's unit (us)
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medians;
};

}  // namespace

int main(int argc, char** argv) {
  xmlInitParser();
  // Medians need repetitions; both defaults can be overridden on the command line.
  std::vector<char*> args(argv, argv + argc);
  std::string reps = "--benchmark_repetitions=15", only = "--benchmark_report_aggregates_only=true";
  bool hasReps = false;
  for (int i = 1; i < argc; ++i) hasReps |= std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
  if (!hasReps) {
    args.insert(args.begin() + 1, reps.data());
    args.insert(args.begin() + 2, only.data());
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  tindrel::bench::RegisterOperationBenchmarks();
  if (benchmark::ReportUnrecognizedArguments(n, args.data())) return 1;
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const auto& m = reporter.medians;
  tindrel::bench::PrintOperationTable(m);
  if (!m.count("WriteSaveInspection") || !m.count("ReadVehicleReply") || !m.count("Libxml2ParseAndFree"))
    return 0;  // a filter left some out: no summary
  const double write = m.at("WriteSaveInspection"), read = m.at("ReadVehicleReply"),
               parse = m.at("Libxml2ParseAndFree"), ratio = read / parse;
  std::printf("\nMedians over the same %zu reply bytes:\n", kReply.size());
  std::printf("  write SaveInspection request (nested customer): %8.2f us   goal <= %.0f us  %s\n",
              write, kWriteGoalMicros, write <= kWriteGoalMicros ? "met" : "MISSED");
  std::printf("  read GetVehicleData reply into a record:        %8.2f us\n", read);
  std::printf("  libxml2 alone, xmlReadMemory + xmlFreeDoc:      %8.2f us\n", parse);
  std::printf("  read / parser:                                  %8.2f      goal <= %.1f    %s\n",
              ratio, kReadRatioGoal, ratio <= kReadRatioGoal ? "met" : "MISSED");
  return 0;
}
