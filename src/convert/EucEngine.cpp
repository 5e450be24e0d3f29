#include "convert/EucEngine.h"

#include <utility>

#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {
// Input bytes converted at a time.
constexpr std::int64_t kBlockSize = std::int64_t{1} << 18;
// The sizes reported for the buffers of an input that could not be measured.
constexpr std::int64_t kNoInput = -1;
constexpr std::int64_t kNoOutput = -3;
}  // namespace

EucEngine::EucEngine(const EucOutputForm& form, const EngineRecord& record,
                     std::unique_ptr<EucCodeTable> table)
    : ConversionEngine(record.numbers, record.table.tables.tableReport),
      form_(form),
      tableRecord_(record.table),
      table_(std::move(table)) {}

OpenResult EucEngine::Open(const SearchTable& search, const std::u16string& inputName) {
  // A regular file is measured; anything else (a pipe, a device) is read to its end.
  platform::Result input = OpenInput(inputName, ConversionInput::Units::Bytes);
  AllocateArrays();
  if (!table_->Allocate()) StopForWantOfMemory();
  CodeTableLoad loaded = table_->LoadTable(search, tableRecord_);
  if (!loaded.table) Stop(1);
  return {.input = std::move(input), .tableReport = std::move(loaded.report)};
}

void EucEngine::AllocateArrays() {
  const std::optional<std::int64_t> size = input_.Size();
  if (!size) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, ToText(kNoInput)));
    ReportError(ErrorMessage(u"SetLength()", numbers_.outputArray, ToText(kNoOutput)));
    return;
  }
  // The input is read and converted a block at a time, through two small buffers that stay
  // in the cache.
  if (!pump_.AllocateInput(kBlockSize, EucDecoder::kMostCarried)) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, ToText(*size)));
    Stop(1);
  }
  // Room for the byte-order mark and the output of one block.
  const std::int64_t capacity = EucDecoder::Capacity(form_, kBlockSize + EucDecoder::kMostCarried);
  if (!pump_.AllocateOutput(capacity)) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.outputArray, ToText(capacity)));
    Stop(1);
  }
}

BlockKernel& EucEngine::PrepareKernel(LineEndMode mode, Controls controls) {
  decoder_ = std::make_unique<EucDecoder>(*table_, form_, mode, controls);
  // A large input's blocks may be decoded in parts, each by a decoder of its own.
  partDecoders_.clear();
  const std::int64_t fixed = EucDecoder::Capacity(form_, 0);
  pump_.SetParts({.kernel =
                      [this, mode, controls](int) {
                        partDecoders_.push_back(
                            std::make_unique<EucDecoder>(*table_, form_, mode, controls));
                        return partDecoders_.back().get();
                      },
                  .cut = CutAfterSingleByte,
                  .perByte = EucDecoder::Capacity(form_, 1) - fixed,
                  .fixed = fixed});
  return *decoder_;
}

std::int64_t EucEngine::LineEnds() const {
  std::int64_t lineEnds = decoder_ ? decoder_->LineEnds() : 0;
  for (const auto& part : partDecoders_) lineEnds += part->LineEnds();
  return lineEnds;
}

std::string_view EucEngine::OutputPrefix() const {
  if (!form_.byteOrderMark) return {};
  return std::string_view(reinterpret_cast<const char*>(kByteOrderMark), 2);
}

}  // namespace kelvo
