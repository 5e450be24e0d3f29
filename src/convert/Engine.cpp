#include "convert/Engine.h"

#include <utility>

#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {
// The position of a conversion's read number: CR LF, LF, as read, each plain, then filtered.
std::size_t ReadIndex(LineEndMode mode, Controls controls) {
  const std::size_t base = controls == Controls::Removed ? 3 : 0;
  switch (mode) {
    case LineEndMode::CrLf:
      return base;
    case LineEndMode::Lf:
      return base + 1;
    case LineEndMode::AsRead:
      break;
  }
  return base + 2;
}
}  // namespace

ConversionEngine::ConversionEngine(const EngineNumbers& numbers, int tableReport)
    : numbers_(numbers), tableReport_(tableReport) {}

platform::Result ConversionEngine::ShowDataFile() {
  return EngineFiles::ShowDataFile(numbers_.showData, tableReport_);
}

platform::Result ConversionEngine::RenewInputTime(bool keep) {
  if (input_.Streamed()) return platform::Result::Ok();
  return EngineFiles::RenewInputTime(input_.Name(), keep, numbers_);
}

platform::Result ConversionEngine::CopyFromBinaryTmp(const std::u16string& name, bool keep) {
  return EngineFiles::CopyFromBinaryTmp(name, keep, numbers_);
}

platform::Result ConversionEngine::OpenInput(const std::u16string& name,
                                             ConversionInput::Units units) {
  platform::Result opened = input_.Open(name, units, GuardFor(name));
  if (opened) return opened;
  platform::Result failed = std::move(opened).Numbered(numbers_.open);
  ReportError(ErrorMessage(u"Reset()", numbers_.open, name), failed);
  return failed;
}

OutputStatus ConversionEngine::Convert(LineEndMode mode, Controls controls,
                                       const std::u16string& outputName) {
  return Run(mode, controls, numbers_.read[ReadIndex(mode, controls)], outputName);
}

OutputStatus ConversionEngine::Run(LineEndMode mode, Controls controls, int readNumber,
                                   const std::u16string& outputName,
                                   std::optional<platform::Placement> placement,
                                   std::optional<platform::Guard> guard) {
  BlockKernel& kernel = PrepareKernel(mode, controls);
  const PumpTarget target{
      .name = outputName,
      .placement = placement.value_or(EngineFiles::PlacementFor(input_.Name(), outputName)),
      .prefix = OutputPrefix(),
      .readNumber = readNumber,
      .writeNumber = numbers_.writeOutput,
      .guard = guard.value_or(GuardFor(outputName)),
      .changedNumber = numbers_.inputChanged,
  };
  switch (pump_.Run(input_, kernel, target)) {
    case PumpOutcome::Written:
      return OutputStatus::Written;
    case PumpOutcome::WriteFailed:
      return OutputStatus::NotWritten;
    case PumpOutcome::ReadFailed:
    case PumpOutcome::InputChanged:
      break;
  }
  Stop(1);
}

}  // namespace kelvo
