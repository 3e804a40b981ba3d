// xs:dateTime parsing and every conversion of an accepted value.
#include <cstdint>
#include <string_view>

#include "contract/datetime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto value = tindrel::XsDateTime::Parse(text);
  if (!value) return 0;
  const tindrel::FixedTimeZone zone(-570);
  const tindrel::LocalDateTime local = value->AsLocal(zone);
  (void)value->Year();
  (void)value->AsAutomationDate(zone);
  // What the program writes, it must read back as the same local time.
  const auto written = tindrel::XsDateTime::FromLocal(local, zone);
  const auto reread = tindrel::XsDateTime::Parse(written->Text());
  if (local.year >= 0 && local.year <= 9999 && (!reread || !(reread->AsLocal(zone) == local)))
    __builtin_trap();
  return 0;
}
