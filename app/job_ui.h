#pragma once
// The job interpreter's messages (one per handled key=value line) as modal
// message boxes: caption "Tindrel 2.0", the line's text, an OK button.

#include <string>

#include "jobfile/job_interpreter.h"

namespace tindrel {

class MessageBoxJobUi final : public IJobUi {
 public:
  void ShowJobLine(const std::string& utf8Text) override;
};

}  // namespace tindrel
