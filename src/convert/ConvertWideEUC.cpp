#include "convert/ConvertWideEUC.h"

#include <memory>

#include "convert/RuralUTF16.h"

namespace kelvo {

ConvertEUCintoUTF16::ConvertEUCintoUTF16()
    : EucEngine(kUtf16Output, CurrentProgram().errors.engine, std::make_unique<RuralAreaUTF16>()) {}

}  // namespace kelvo
