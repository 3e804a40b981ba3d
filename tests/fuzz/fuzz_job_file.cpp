// Job files: arbitrary bytes through the line splitter and both interpreters.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "jobfile/job_interpreter.h"

namespace {
class SilentUi final : public tindrel::IJobUi {
 public:
  void ShowJobLine(const std::string&) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto lines = tindrel::SplitJobFileText(bytes);
  for (const std::string& line : lines)
    if (line.size() > tindrel::kJobFilePieceMax) __builtin_trap();
  tindrel::Tindrel2CustomerData2 customer;
  tindrel::Tindrel2InspectionData2 inspection;
  SilentUi ui;
  if (lines.size() == 1)
    tindrel::InterpretJobLine(lines[0], customer, inspection);
  else if (lines.size() > 1)
    tindrel::InterpretJobKeyValues(lines, customer, inspection, ui);
  return 0;
}
