#include "convert/ConvertEUC.h"

#include <memory>

#include "convert/SurvivorEUC.h"
#include "support/Halt.h"

namespace kelvo {

Conversion::Conversion(const EngineRecord& record)
    : EucEngine(kShiftJisOutput, record, std::make_unique<SurvivorsEUC>()) {}

std::int64_t Conversion::ConvertToStandardOutput() {
  return ToStandardOutput(Controls::Kept, Numbers().readToStandardOutput[0]);
}

std::int64_t Conversion::ConvertToStandardOutputFiltered() {
  return ToStandardOutput(Controls::Removed, Numbers().readToStandardOutput[1]);
}

std::int64_t Conversion::ToStandardOutput(Controls controls, int readNumber) {
  if (Run(LineEndMode::CrLf, controls, readNumber, u"") != OutputStatus::Written) Stop(1);
  return LineEnds();
}

}  // namespace kelvo
