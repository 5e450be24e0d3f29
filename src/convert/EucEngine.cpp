#include "convert/EucEngine.h"

#include <limits>
#include <new>
#include <utility>

#include "convert/EngineFile.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char16_t kDataFile[] = u"data.txt";
constexpr char16_t kBinaryTmp[] = u"binary.tmp";

// A byte array of the given length whose contents are left unset (they are overwritten
// before use); null when it cannot be had.
std::unique_ptr<std::uint8_t[]> NewBytes(std::int64_t length) {
  if (length < 0 || static_cast<std::uint64_t>(length) > std::numeric_limits<std::size_t>::max()) {
    return nullptr;
  }
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow)
                                             std::uint8_t[static_cast<std::size_t>(length)]);
}

}  // namespace

EucEngine::EucEngine(const EucOutputForm& form, const EngineNumbers& numbers,
                     std::unique_ptr<EucCodeTable> table)
    : form_(form), numbers_(numbers), table_(std::move(table)) {}

void EucEngine::Open(const FinalEffects& settings, const std::u16string& inputName) {
  inputSize_ = -1;
  outputCapacity_ = -3;
  inputName_ = inputName;
  outputName_.clear();
  if (platform::CanOpen(inputName_, platform::ReadMode::Raw)) {
    inputSize_ = FileSizeOf(inputName_);
  }
  if (inputSize_ < 0) {
    inputSize_ = -1;
    ReportError(ErrorMessage(u"Reset()", numbers_.open, inputName_));
  } else {
    outputCapacity_ = EucDecoder::Capacity(form_, inputSize_);
  }
  AllocateArrays();
  table_->LoadTable(settings);
}

void EucEngine::HaltIfNoInput(int exitCode) const {
  if (inputSize_ == -1) Stop(exitCode);
}

bool EucEngine::ShowDataFile() {
  if (!platform::CanOpen(kDataFile, platform::ReadMode::Text)) {
    ReportError(ErrorMessage(u"Reset()", numbers_.showData, kDataFile));
    return false;
  }
  return EngineFiles::ShowDataFile();
}

std::int64_t EucEngine::CopyToBinaryTmp(const std::u16string& name, bool keep) {
  return EngineFiles::CopyToBinaryTmp(name, keep);
}

std::int64_t EucEngine::CopyFromBinaryTmp(const std::u16string& name, bool keep) {
  return EngineFiles::CopyFromBinaryTmp(name, keep);
}

void EucEngine::PrepareControlFilter() {
  FillControlFilter(filter_);
}

int EucEngine::ConvertCrLf(const std::u16string& outputName) {
  return Convert(LineEndMode::CrLf, false, numbers_.read[0], outputName);
}
int EucEngine::ConvertLf(const std::u16string& outputName) {
  return Convert(LineEndMode::Lf, false, numbers_.read[1], outputName);
}
int EucEngine::ConvertAsRead(const std::u16string& outputName) {
  return Convert(LineEndMode::AsRead, false, numbers_.read[2], outputName);
}
int EucEngine::ConvertCrLfFiltered(const std::u16string& outputName) {
  return Convert(LineEndMode::CrLf, true, numbers_.read[3], outputName);
}
int EucEngine::ConvertLfFiltered(const std::u16string& outputName) {
  return Convert(LineEndMode::Lf, true, numbers_.read[4], outputName);
}
int EucEngine::ConvertAsReadFiltered(const std::u16string& outputName) {
  return Convert(LineEndMode::AsRead, true, numbers_.read[5], outputName);
}

int EucEngine::ConvertBySettings(const FinalEffects& settings) {
  const std::u16string& input = inputName_;
  if (settings.SameTime()) {
    CopyToBinaryTmp(input, false);
    CopyFromBinaryTmp(input, settings.KeepBinaryTmp());
  }
  const bool filtered = settings.RemoveControls();
  if (filtered) PrepareControlFilter();
  const std::u16string target =
      settings.ViaBinaryTmp() ? std::u16string(kBinaryTmp) : settings.OutputName();
  int result;
  if (settings.CarriageReturn()) {
    result = filtered ? ConvertCrLfFiltered(target) : ConvertCrLf(target);
  } else if (settings.LineFeedMode()) {
    result = filtered ? ConvertLfFiltered(target) : ConvertLf(target);
  } else {
    result = filtered ? ConvertAsReadFiltered(target) : ConvertAsRead(target);
  }
  if (result != 0) return 1;
  if (settings.ViaBinaryTmp()) CopyFromBinaryTmp(settings.OutputName(), settings.KeepBinaryTmp());
  return 0;
}

int EucEngine::Convert(LineEndMode mode, bool filtered, int readNumber,
                       const std::u16string& outputName) {
  outputName_ = outputName;
  return WriteOutput(Decode(mode, filtered, readNumber));
}

std::int64_t EucEngine::Decode(LineEndMode mode, bool filtered, int readNumber) {
  // The input is read again in one go: it may have been renewed through binary.tmp since
  // it was measured. Only the measured bytes are converted.
  platform::InputFile file;
  std::int64_t got = -1;
  if (inputSize_ >= 0 && input_ != nullptr && output_ != nullptr &&
      file.Open(inputName_, platform::ReadMode::Raw)) {
    got = file.ReadFully(input_.get(), inputSize_);
  }
  file.Close();
  if (got < 0) ReportAndStop(ErrorMessage(u"Reset()", readNumber, inputName_));
  EucDecoder decoder(*table_, form_, mode, filtered ? &filter_ : nullptr);
  const std::int64_t n = decoder.Decode(input_.get(), got, output_.get());
  lineEnds_ = decoder.LineEnds();
  return n;
}

int EucEngine::WriteOutput(std::int64_t n) {
  platform::OutputFile out;
  bool ok = n >= 0 && out.Create(outputName_) && out.Write(output_.get(), n);
  ok = out.Close() && ok;
  if (!ok) {
    ReportError(ErrorMessage(u"Rewrite()", numbers_.writeOutput, outputName_));
    return -2;
  }
  return 0;
}

std::int64_t EucEngine::AllocateArrays() {
  input_.reset();
  output_.reset();
  std::int64_t result = inputSize_;
  // An input that could not be measured has no array: its sizes are reported as they
  // stand, and HaltIfNoInput ends the run.
  input_ = NewBytes(inputSize_);
  if (input_ == nullptr) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, ToText(inputSize_)));
    if (inputSize_ >= 0) Stop(1);
    result = -1;
  }
  output_ = NewBytes(outputCapacity_);
  if (output_ == nullptr) {
    // A capacity beyond a 64-bit count is shown as the largest count.
    const std::int64_t shown = inputSize_ >= 0 && outputCapacity_ < 0
                                   ? std::numeric_limits<std::int64_t>::max()
                                   : outputCapacity_;
    ReportError(ErrorMessage(u"SetLength()", numbers_.outputArray, ToText(shown)));
    if (inputSize_ >= 0) Stop(1);
    result = -3;
  }
  return result;
}

std::int64_t EucEngine::FileSizeOf(const std::u16string& name) {
  return platform::FileSize(name);
}

}  // namespace kelvo
