#include "convert/ConvertEUC.h"

#include <memory>

#include "convert/SurvivorEUC.h"

namespace kelvo {

Conversion::Conversion(const EngineRecord& record)
    : EucEngine(kShiftJisOutput, record, std::make_unique<SurvivorsEUC>()) {}

OutputStatus Conversion::ConvertToStandardOutput() {
  return Run(LineEndMode::CrLf, Controls::Kept, Numbers().readToStandardOutput[0], u"");
}

OutputStatus Conversion::ConvertToStandardOutputFiltered() {
  return Run(LineEndMode::CrLf, Controls::Removed, Numbers().readToStandardOutput[1], u"");
}

}  // namespace kelvo
