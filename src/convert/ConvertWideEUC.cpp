#include "convert/ConvertWideEUC.h"

#include <memory>

#include "convert/RuralUTF16.h"

namespace kelvo {

ConvertEUCintoUTF16::ConvertEUCintoUTF16(const EngineRecord& record)
    : EucEngine(kUtf16Output, record, std::make_unique<RuralAreaUTF16>()) {}

}  // namespace kelvo
