// The engine that the reverse converter (EUC-JP to UTF-16), its standard-input path and the
// recoder (EUC-JP to Shift_JIS) share: the EUC-JP decoding kernel over the engine
// machinery. What differs is given to the constructor: the output form, the record and the
// code table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "convert/Engine.h"
#include "convert/EucCodeTable.h"
#include "convert/EucDecoder.h"

namespace kelvo {

class EucEngine : public ConversionEngine {
 public:
  EucEngine(const EucOutputForm& form, const EngineRecord& record,
            std::unique_ptr<EucCodeTable> table);

  // Measures the input (reporting "Reset() error-<open>: " + name when it cannot be opened;
  // the input is then unmeasured and the result's input failed), sizes the block buffers
  // and loads the code table. A table that cannot be had ends the program with exit code 1.
  OpenResult Open(const SearchTable& search, const std::u16string& inputName);
  // The LF line ends met by the last conversion.
  std::int64_t LineEnds() const;

 protected:
  BlockKernel& PrepareKernel(LineEndMode mode, Controls controls) override;
  std::string_view OutputPrefix() const override;

 private:
  // Sizes the input and output block buffers. An input that could not be measured has
  // neither: both are reported, with the sizes -1 and -3. A measured input whose buffers
  // cannot be had ends the program with exit code 1 after the report.
  void AllocateArrays();

  EucOutputForm form_;
  CodeTableRecord tableRecord_;
  std::unique_ptr<EucCodeTable> table_;
  std::unique_ptr<EucDecoder> decoder_;
  std::vector<std::unique_ptr<EucDecoder>> partDecoders_;
};

}  // namespace kelvo
