#include "convert/Utf16intoEUC.h"

#include <cstdint>

#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

ConvertUtf16intoEUC::ConvertUtf16intoEUC(const EngineRecord& record,
                                         const SurrogateListNumbers& lists)
    : ConversionEngine(record.numbers, record.table.tables.tableReport),
      tableRecord_(record.table),
      lists_(lists) {}

void ConvertUtf16intoEUC::Open(const SearchTable& search, SurrogateList list,
                               const std::u16string& inputPath) {
  static_cast<void>(OpenInput(inputPath, ConversionInput::Units::Utf16));
  AllocateArrays();
  table_ = std::make_unique<PastoralSceneUTF16>(lists_);
  if (!table_->Usable()) StopForWantOfMemory();
  const bool loaded = table_->LoadTableAndList(search, tableRecord_, list);
  SetTableReportFailed(table_->ReportFailed());
  if (!loaded) Stop(1);
}

void ConvertUtf16intoEUC::AllocateArrays() {
  const std::int64_t unitCount = UnitCount();
  if (unitCount < 0) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, ToText(unitCount)));
    return;
  }
  // The input is converted a block at a time; the output block has room for a pair's low
  // surrogate past the block.
  if (!pump_.AllocateUnitBlocks(unitCount, input_.Streamed(), 2, numbers_.unitArray,
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
