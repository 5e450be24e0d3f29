#include "drivers/Quilvar.h"

namespace kelvo {

int RunQuilvar(const std::vector<std::u16string>&) {
  return 1;
}

}  // namespace kelvo
