#include "convert/StandardIO.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

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
  std::vector<std::uint8_t> text;
  {
    platform::InputFile in;
    if (!in.Open(u"", platform::ReadMode::Raw)) SpoolingFailed();
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    for (;;) {
      const std::size_t filled = text.size();
      text.resize(filled + kChunk);
      const std::int64_t got = in.Read(text.data() + filled, static_cast<std::int64_t>(kChunk));
      if (got < 0) SpoolingFailed();
      text.resize(filled + static_cast<std::size_t>(got));
      if (got == 0) break;
    }
  }
  // Every line gets CR LF: an LF without its CR gains one, and a last line without any
  // line end gets both.
  const std::size_t lineFeeds =
      static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  std::vector<std::uint8_t> spool;
  spool.reserve(text.size() + lineFeeds + 2);
  const std::uint8_t* p = text.data();
  const std::uint8_t* const end = p + text.size();
  while (p < end) {
    const auto* lf = static_cast<const std::uint8_t*>(std::memchr(p, '\n', end - p));
    const std::uint8_t* stop = lf != nullptr ? lf : end;
    const std::uint8_t* lineEnd = stop;
    if (lf != nullptr && lineEnd > p && lineEnd[-1] == '\r') --lineEnd;
    spool.insert(spool.end(), p, lineEnd);
    spool.push_back('\r');
    spool.push_back('\n');
    p = lf != nullptr ? lf + 1 : end;
  }
  text.clear();
  text.shrink_to_fit();
  platform::OutputFile out;
  bool ok =
      out.Create(kSpoolFile) && out.Write(spool.data(), static_cast<std::int64_t>(spool.size()));
  ok = out.Close() && ok;
  if (!ok) SpoolingFailed();
  return static_cast<std::int64_t>(spool.size());
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
