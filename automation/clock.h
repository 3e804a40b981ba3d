#pragma once
// The wall clock, injectable so that tests can read "today" on fixed days.

#include "contract/datetime.h"

namespace tindrel {

class IClock {
 public:
  virtual ~IClock() = default;
  // The local date and time now.
  virtual LocalDateTime LocalNow() const = 0;
};

// The machine's clock in the machine's zone. Lives for the whole process.
const IClock& SystemClock();

// Today's local date at 00:00, as an automation date.
double AutomationToday(const IClock& clock);

}  // namespace tindrel
