#include "convert/StandardIO.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "convert/EngineFile.h"
#include "convert/RuralUTF16.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char16_t kSpoolFile[] = u"text.tmp";

// The reports of this path; the table search and the table read keep the program's own.
constexpr int kWriteOutput = 182;
constexpr int kShowData = 183;
constexpr int kSpooling = 184;
constexpr int kReadPlain = 185;
constexpr int kReadFiltered = 186;
constexpr int kSpoolArray = 187;
constexpr int kOutputArray = 188;
constexpr int kMeasuring = 189;

EngineNumbers StandardInputNumbers() {
  EngineNumbers numbers = CurrentProgram().errors.engine;
  numbers.open = kMeasuring;
  numbers.unitArray = kSpoolArray;
  numbers.outputArray = kOutputArray;
  numbers.writeOutput = kWriteOutput;
  numbers.showData = kShowData;
  numbers.read = {kReadPlain, kReadPlain, kReadPlain, kReadFiltered, kReadFiltered, kReadFiltered};
  return numbers;
}

[[noreturn]] void SpoolingFailed() {
  ReportAndStop(ErrorMessage(u"Reset()", kSpooling, kSpoolFile));
}

}  // namespace

StandardInput::StandardInput()
    : engine_(kUtf16Output, StandardInputNumbers(), std::make_unique<RuralAreaUTF16>()) {}

std::int64_t StandardInput::CaptureStandardInput() {
  // text.tmp is this run's until it has been converted: concurrent runs in the directory
  // wait for it.
  EngineFiles::LockWorkingFile(spoolLock_, kSpoolFile);
  platform::InputFile in;
  platform::OutputFile out;
  if (!in.Open(u"", platform::ReadMode::Raw) || !out.Create(kSpoolFile)) SpoolingFailed();
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
    if (got < 0) SpoolingFailed();
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
    if (!out.Write(spool.data(), static_cast<std::int64_t>(spool.size()))) SpoolingFailed();
    written += static_cast<std::int64_t>(spool.size());
  }
  spool.clear();
  if (heldCr) spool.push_back('\r');
  if (lineOpen) {
    spool.push_back('\r');
    spool.push_back('\n');
  }
  if (!out.Write(spool.data(), static_cast<std::int64_t>(spool.size())) || !out.Close()) {
    SpoolingFailed();
  }
  return written + static_cast<std::int64_t>(spool.size());
}

void StandardInput::Open(const FinalEffects& settings) {
  outputName_ = settings.OutputName();
  engine_.Open(settings, kSpoolFile);
}

bool StandardInput::ShowDataFile() {
  return engine_.ShowDataFile();
}

void StandardInput::PrepareControlFilter() {
  engine_.PrepareControlFilter();
}

int StandardInput::Convert() {
  return engine_.ConvertAsRead(outputName_);
}

int StandardInput::ConvertFiltered() {
  return engine_.ConvertAsReadFiltered(outputName_);
}

}  // namespace kelvo
