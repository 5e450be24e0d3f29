#include "convert/StandardIO.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

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
  platform::InputFile in;
  platform::OutputFile out;
  if (!in.Open(u"", platform::ReadMode::Raw) || !out.Create(kSpoolFile)) spoolingFailed();
  // Every line gets CR LF: an LF without its CR gains one, a CR standing alone stays in its
  // line, and a last line without any line end gets both. A CR at the end of a block waits
  // for the next one to see whether an LF follows.
  constexpr std::size_t kChunk = std::size_t{1} << 18;
  std::vector<std::uint8_t> block(kChunk);
  std::vector<std::uint8_t> spool;
  spool.reserve(2 * kChunk + 4);
  bool heldCr = false;    // a CR read but not yet written
  bool lineOpen = false;  // bytes of a line have been taken since its start
  std::int64_t written = 0;
  for (;;) {
    const std::int64_t got = in.Read(block.data(), static_cast<std::int64_t>(kChunk));
    if (got < 0) spoolingFailed();
    if (got == 0) break;
    spool.clear();
    for (std::int64_t i = 0; i < got; ++i) {
      const std::uint8_t b = block[static_cast<std::size_t>(i)];
      if (b == '\n') {
        spool.push_back('\r');
        spool.push_back('\n');
        heldCr = false;
        lineOpen = false;
        continue;
      }
      if (heldCr) spool.push_back('\r');
      heldCr = b == '\r';
      if (!heldCr) spool.push_back(b);
      lineOpen = true;
    }
    if (!out.Write(spool.data(), static_cast<std::int64_t>(spool.size()))) spoolingFailed();
    written += static_cast<std::int64_t>(spool.size());
  }
  spool.clear();
  if (heldCr) spool.push_back('\r');
  if (lineOpen) {
    spool.push_back('\r');
    spool.push_back('\n');
  }
  if (!out.Write(spool.data(), static_cast<std::int64_t>(spool.size())) || !out.Close()) {
    spoolingFailed();
  }
  return written + static_cast<std::int64_t>(spool.size());
}

void StandardInput::Open(const SearchTable& search, const std::u16string& outputName) {
  outputName_ = outputName;
  engine_.Open(search, kSpoolFile);
}

}  // namespace kelvo
