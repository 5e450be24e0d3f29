#include "drivers/Tamorlek.h"

namespace kelvo {

int RunTamorlek(const std::vector<std::u16string>&) {
  return 1;
}

}  // namespace kelvo
