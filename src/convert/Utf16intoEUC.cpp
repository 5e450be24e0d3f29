#include "convert/Utf16intoEUC.h"

#include <cstdint>
#include <utility>

#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

// The output block has room for a pair's low surrogate past the block.
ConvertUtf16intoEUC::ConvertUtf16intoEUC(const EngineRecord& record,
                                         const SurrogateListNumbers& lists)
    : ConvertUtf16intoEUC(record, lists, 2) {}

ConvertUtf16intoEUC::ConvertUtf16intoEUC(const EngineRecord& record,
                                         const SurrogateListNumbers& lists,
                                         std::int64_t outputSlack)
    : ConversionEngine(record.numbers, record.table.tables.tableReport),
      tableRecord_(record.table),
      lists_(lists),
      outputSlack_(outputSlack) {}

OpenResult ConvertUtf16intoEUC::Open(const SearchTable& search, SurrogateList list,
                                     const std::u16string& inputPath) {
  platform::Result input = OpenInput(inputPath, ConversionInput::Units::Utf16);
  AllocateArrays();
  table_ = std::make_unique<PastoralSceneUTF16>(lists_);
  if (!table_->Allocate()) StopForWantOfMemory();
  CodeTableLoad loaded = table_->LoadTableAndList(search, tableRecord_, list);
  if (!loaded.table) Stop(1);
  return {.input = std::move(input), .tableReport = std::move(loaded.report)};
}

void ConvertUtf16intoEUC::AllocateArrays() {
  const std::optional<std::int64_t> unitCount = UnitCount();
  if (!unitCount) {
    // The size reported for the units of an input that could not be measured.
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, u"-1"));
    return;
  }
  // The input is converted a block at a time.
  if (!pump_.AllocateUnitBlocks(*unitCount, input_.Streamed(), outputSlack_, numbers_.unitArray,
                                numbers_.outputArray)) {
    Stop(1);
  }
}

BlockKernel& ConvertUtf16intoEUC::PrepareKernel(LineEndMode mode, Controls controls) {
  const EncoderRules rules{.lineEnds = mode, .controls = controls};
  if (!encoder_.Build(*table_, rules)) StopForWantOfMemory();
  // A large input's blocks may be encoded in parts, each by an encoder of its own: the
  // lookup fills as units are met.
  partEncoders_.clear();
  pump_.SetParts({.kernel = [this, rules](int) -> BlockKernel* {
                    auto encoder = std::make_unique<Utf16Encoder>();
                    if (!encoder->Build(*table_, rules)) return nullptr;
                    partEncoders_.push_back(std::move(encoder));
                    return partEncoders_.back().get();
                  },
                  .cut = CutBeforeLeadingUnit,
                  .perByte = 1,
                  .fixed = 2});
  return encoder_;
}

}  // namespace kelvo
