// The EUC-JP to UTF-16 kernel with the reverse program's table.
#include "EucKernel.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  fuzz::ReverseTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::CheckEucKernel(fuzz::ReverseTable(), kUtf16Output, data, size);
}
