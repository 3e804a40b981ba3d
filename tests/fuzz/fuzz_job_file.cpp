// Job files: arbitrary bytes through the decoder, the line splitter and both
// interpreters.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/text.h"
#include "jobfile/job_interpreter.h"

namespace {
class SilentUi final : public tindrel::IJobUi {
 public:
  void ShowJobLine(const std::string&) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = tindrel::DecodeJobFileText(bytes);
  // The decoder's output is well-formed UTF-8.
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    if (tindrel::DecodeUtf8(text, i) == 0xFFFD && i - start == 1) __builtin_trap();
  }
  const auto lines = tindrel::SplitJobFileText(text);
  for (const std::string& line : lines) {
    size_t characters = 0;
    tindrel::ForEachCodePoint(line, [&](char32_t) { ++characters; });
    if (characters > tindrel::kJobFilePieceMax) __builtin_trap();
  }
  tindrel::Tindrel2CustomerData2 customer;
  tindrel::Tindrel2InspectionData2 inspection;
  SilentUi ui;
  if (lines.size() == 1)
    tindrel::InterpretJobLine(lines[0], customer, inspection);
  else if (lines.size() > 1)
    tindrel::InterpretJobKeyValues(lines, customer, inspection, ui);
  return 0;
}
