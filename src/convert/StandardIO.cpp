#include "convert/StandardIO.h"

#include <cstring>
#include <limits>
#include <memory>

#include "convert/RuralUTF16.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

EngineRecord StandardInputRecord(const EngineRecord& record, const StandardInputNumbers& numbers) {
  EngineRecord own = record;
  EngineNumbers& engine = own.numbers;
  engine.open = numbers.measuring;
  engine.unitArray = numbers.spoolArray;
  engine.outputArray = numbers.outputArray;
  engine.writeOutput = numbers.writeOutput;
  engine.showData = numbers.showData;
  engine.workingFile = numbers.spoolRefused;
  engine.read = {numbers.readPlain,    numbers.readPlain,    numbers.readPlain,
                 numbers.readFiltered, numbers.readFiltered, numbers.readFiltered};
  return own;
}

// Gives every line CR LF: an LF without its CR gains one, a CR standing alone stays in its
// line, and a last line without any line end gets both. The bytes between line feeds are
// copied as they stand.
class LineEndSpool : public BlockKernel {
 public:
  std::int64_t Convert(const std::uint8_t* in, std::int64_t size, bool final, std::uint8_t* out,
                       std::int64_t& consumed) override {
    std::uint8_t* o = out;
    const std::uint8_t* p = in;
    const std::uint8_t* const end = in + size;
    while (p < end) {
      const auto* lineFeed =
          static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      const std::uint8_t* const stop = lineFeed != nullptr ? lineFeed : end;
      if (stop > p) {
        std::memcpy(o, p, static_cast<std::size_t>(stop - p));
        o += stop - p;
        afterCr_ = stop[-1] == '\r';
        lineOpen_ = true;
      }
      if (lineFeed == nullptr) break;
      if (!afterCr_) *o++ = '\r';
      *o++ = '\n';
      afterCr_ = false;
      lineOpen_ = false;
      p = lineFeed + 1;
    }
    if (final && lineOpen_) {
      *o++ = '\r';
      *o++ = '\n';
      lineOpen_ = false;
    }
    consumed = size;
    return o - out;
  }

 private:
  bool afterCr_ = false;   // the last byte taken was a CR
  bool lineOpen_ = false;  // bytes of a line have been taken since its start
};

}  // namespace

StandardInput::StandardInput(const EngineRecord& record, const StandardInputNumbers& numbers)
    : spooling_(numbers.spooling),
      engine_(kUtf16Output, StandardInputRecord(record, numbers),
              std::make_unique<RuralAreaUTF16>()) {}

std::int64_t StandardInput::CaptureStandardInput() {
  const auto spoolingFailed = [this] {
    ReportError(ErrorMessage(u"Reset()", spooling_, kSpoolFile));
    Stop(1);
  };
  // text.tmp is this run's until it has been converted: concurrent runs in the directory
  // wait for it.
  if (!EngineFiles::LockWorkingFile(spoolLock_, kSpoolFile, engine_.Numbers())) Stop(1);
  platform::InputFile input;
  platform::OutputFile out;
  if (!input.Open(u"", platform::ReadMode::Raw) ||
      !out.Create(kSpoolFile, platform::Placement::Truncate, GuardFor(kSpoolFile))) {
    spoolingFailed();
  }
  // Standard input is read, its line ends mended and text.tmp written a block at a time by
  // the pump, on threads of its own where it has them. A block gives at most twice its
  // bytes, and the CR LF of a last line without a line end.
  constexpr std::int64_t kChunk = std::int64_t{1} << 18;
  StreamPump pump;
  if (!pump.AllocateInput(kChunk, 0) || !pump.AllocateOutput(2 * kChunk + 4)) {
    StopForWantOfMemory();
  }
  LineEndSpool spool;
  std::int64_t written = 0;
  const PumpEnds ends{
      .read = [&](std::uint8_t* buffer, std::int64_t count) -> std::optional<std::int64_t> {
        std::int64_t got = 0;
        if (!input.ReadFully(buffer, count, got)) return std::nullopt;
        return got;
      },
      .write =
          [&](const std::uint8_t* bytes, std::int64_t count) {
            written += count;
            return out.Write(bytes, count) ? BlockWrite::Done : BlockWrite::Failed;
          },
  };
  if (pump.Pump(ends, spool, 1, std::numeric_limits<std::int64_t>::max(), 0, {}) !=
          PumpOutcome::Written ||
      !out.Close()) {
    spoolingFailed();
  }
  return written;
}

OpenResult StandardInput::Open(const SearchTable& search, const std::u16string& outputName) {
  outputName_ = outputName;
  return engine_.Open(search, kSpoolFile);
}

}  // namespace kelvo
