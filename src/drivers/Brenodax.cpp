#include "drivers/Brenodax.h"

namespace kelvo {

int RunBrenodax(const std::vector<std::u16string>&) {
  return 1;
}

}  // namespace kelvo
