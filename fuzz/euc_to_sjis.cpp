// The EUC-JP to Shift_JIS kernel with the recoder's table.
#include "EucKernel.h"

using namespace kelvo;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Quiet();
  fuzz::RecoderTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return fuzz::CheckEucKernel(fuzz::RecoderTable(), kShiftJisOutput, data, size);
}
