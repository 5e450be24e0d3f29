// The forward converter's engine: reads a UTF-16 little-endian file, turns every code unit
// into EUC-JP bytes through the code table (the UTF-16 to EUC-JP kernel), handles line ends
// in one of three modes, optionally drops control characters, and writes the bytes, a
// block at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/Engine.h"
#include "convert/PastoralUTF16.h"
#include "convert/Utf16Encoder.h"

namespace kelvo {

class ConvertUtf16intoEUC : public ConversionEngine {
 public:
  ConvertUtf16intoEUC(const EngineRecord& record, const SurrogateListNumbers& lists);

  // Sizes the input, allocates the block buffers and loads the code table with the
  // surrogate list. An input that cannot be sized is reported ("Reset() error-<open>: " +
  // path, then "SetLength() error-<unitArray>: -1") and leaves the unit count at -1; the
  // table is loaded all the same. A table or list that cannot be had ends the program with
  // exit code 1.
  void Open(const SearchTable& search, SurrogateList list, const std::u16string& inputPath);

  std::int64_t UnitCount() const { return input_.Measured() ? input_.Size() / 2 : -1; }
  const PastoralSceneUTF16* Table() const { return table_.get(); }

 protected:
  BlockKernel& PrepareKernel(LineEndMode mode, Controls controls) override;

 private:
  // Sizes the block buffers of the input units and of the output. A measured input whose
  // buffers cannot be had is reported and ends the program with exit code 1.
  void AllocateArrays();

  CodeTableRecord tableRecord_;
  SurrogateListNumbers lists_;
  std::unique_ptr<PastoralSceneUTF16> table_;
  Utf16Encoder encoder_;
  std::vector<std::unique_ptr<Utf16Encoder>> partEncoders_;
};

}  // namespace kelvo
