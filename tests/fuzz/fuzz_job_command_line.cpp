// Command-line jobs: arbitrary UTF-16 text after the leading "¤".
#include <cstdint>
#include <cstring>
#include <string>

#include "jobfile/job_interpreter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(1, tindrel::kCommandLineSeparator);
  for (size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  tindrel::Tindrel2CustomerData2 customer;
  tindrel::Tindrel2InspectionData2 inspection;
  tindrel::InterpretCommandLineJob(text, customer, inspection);
  // Positional jobs always fill the ten positions.
  if (!customer.HasCustomerNo() || !inspection.HasPreviousInspectionNo() ||
      inspection.CustomerNo() != customer.CustomerNo())
    __builtin_trap();
  return 0;
}
