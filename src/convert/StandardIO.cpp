#include "convert/StandardIO.h"

#include <cstring>
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
  // Every line gets CR LF: an LF without its CR gains one, a CR standing alone stays in its
  // line, and a last line without any line end gets both. The bytes between line feeds are
  // copied as they stand; neither buffer is cleared, each is filled before it is read.
  constexpr std::int64_t kChunk = std::int64_t{1} << 18;
  platform::LargeBuffer block;
  platform::LargeBuffer spool;
  if (!block.Allocate(kChunk) || !spool.Allocate(2 * kChunk + 4)) StopForWantOfMemory();
  const std::uint8_t* const in = block.Data();
  bool afterCr = false;   // the last byte taken was a CR
  bool lineOpen = false;  // bytes of a line have been taken since its start
  std::int64_t written = 0;
  for (;;) {
    const std::int64_t got = input.Read(block.Data(), kChunk);
    if (got < 0) spoolingFailed();
    if (got == 0) break;
    std::uint8_t* o = spool.Data();
    const std::uint8_t* p = in;
    const std::uint8_t* const end = in + got;
    while (p < end) {
      const auto* lineFeed =
          static_cast<const std::uint8_t*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      const std::uint8_t* const stop = lineFeed != nullptr ? lineFeed : end;
      if (stop > p) {
        std::memcpy(o, p, static_cast<std::size_t>(stop - p));
        o += stop - p;
        afterCr = stop[-1] == '\r';
        lineOpen = true;
      }
      if (lineFeed == nullptr) break;
      if (!afterCr) *o++ = '\r';
      *o++ = '\n';
      afterCr = false;
      lineOpen = false;
      p = lineFeed + 1;
    }
    const std::int64_t size = o - spool.Data();
    if (!out.Write(spool.Data(), size)) spoolingFailed();
    written += size;
  }
  if (lineOpen && !out.Write("\r\n", 2)) spoolingFailed();
  if (!out.Close()) spoolingFailed();
  return written + (lineOpen ? 2 : 0);
}

void StandardInput::Open(const SearchTable& search, const std::u16string& outputName) {
  outputName_ = outputName;
  engine_.Open(search, kSpoolFile);
}

}  // namespace kelvo
