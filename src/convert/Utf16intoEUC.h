// The forward converter's engine: reads a UTF-16 little-endian file, turns every code unit
// into EUC-JP bytes through the code table (the UTF-16 to EUC-JP kernel), handles line ends
// in one of three modes, optionally drops control characters, and writes the bytes, a
// block at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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
  // path, then "SetLength() error-<unitArray>: -1"), leaves the unit count unknown and fails
  // the result's input; the table is loaded all the same. A table or list that cannot be
  // had ends the program with exit code 1.
  OpenResult Open(const SearchTable& search, SurrogateList list, const std::u16string& inputPath);

  // The input's units; none when it could not be measured.
  std::optional<std::int64_t> UnitCount() const {
    const std::optional<std::int64_t> size = input_.Size();
    if (!size) return std::nullopt;
    return *size / 2;
  }
  const PastoralSceneUTF16* Table() const { return table_.get(); }

 protected:
  // An engine over the same input, blocks and table whose kernel gives up to outputSlack
  // bytes past twice the units of a block.
  ConvertUtf16intoEUC(const EngineRecord& record, const SurrogateListNumbers& lists,
                      std::int64_t outputSlack);

  BlockKernel& PrepareKernel(LineEndMode mode, Controls controls) override;

  // The encoder of the conversions, which a derived engine builds with rules of its own.
  Utf16Encoder encoder_;

 private:
  // Sizes the block buffers of the input units and of the output. A measured input whose
  // buffers cannot be had is reported and ends the program with exit code 1.
  void AllocateArrays();

  CodeTableRecord tableRecord_;
  SurrogateListNumbers lists_;
  std::int64_t outputSlack_;
  std::unique_ptr<PastoralSceneUTF16> table_;
  std::vector<std::unique_ptr<Utf16Encoder>> partEncoders_;
};

}  // namespace kelvo
