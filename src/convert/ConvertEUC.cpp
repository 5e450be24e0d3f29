#include "convert/ConvertEUC.h"

#include <memory>

#include "convert/SurvivorEUC.h"
#include "support/Halt.h"

namespace kelvo {

Conversion::Conversion()
    : EucEngine(kShiftJisOutput, CurrentProgram().errors.engine, std::make_unique<SurvivorsEUC>()) {
}

std::int64_t Conversion::ConvertToStandardOutput() {
  return ToStandardOutput(false, Numbers().readToStandardOutput[0]);
}

std::int64_t Conversion::ConvertToStandardOutputFiltered() {
  return ToStandardOutput(true, Numbers().readToStandardOutput[1]);
}

std::int64_t Conversion::ToStandardOutput(bool filtered, int readNumber) {
  if (Convert(LineEndMode::CrLf, filtered, readNumber, u"") != 0) Stop(1);
  return LineEnds();
}

}  // namespace kelvo
