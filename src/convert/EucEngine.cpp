#include "convert/EucEngine.h"

#include <algorithm>
#include <cstring>
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

constexpr const char16_t* kBinaryTmp = EngineFiles::kBinaryTmp;
// Input bytes converted at a time.
constexpr std::int64_t kBlockSize = std::int64_t{1} << 18;

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
  streamed_ = false;
  inputFile_.Close();
  // A regular file is measured; anything else (a pipe, a device) is read to its end.
  if (!inputName_.empty() && inputFile_.Open(inputName_, platform::ReadMode::Raw)) {
    streamed_ = !inputFile_.IsRegular();
    inputSize_ = streamed_ ? 0 : inputFile_.Size();
    // A regular file is read again by the conversion; only a stream, which cannot be read
    // twice, stays open.
    if (!streamed_) inputFile_.Close();
  }
  if (inputSize_ < 0) {
    inputSize_ = -1;
    ReportError(ErrorMessage(u"Reset()", numbers_.open, inputName_));
  } else {
    // Room for the byte-order mark and the output of one block.
    outputCapacity_ = EucDecoder::Capacity(form_, kBlockSize + EucDecoder::kMostCarried);
  }
  AllocateArrays();
  table_->LoadTable(settings);
}

void EucEngine::HaltIfNoInput(int exitCode) const {
  if (inputSize_ == -1) Stop(exitCode);
}

bool EucEngine::ShowDataFile() {
  return EngineFiles::ShowDataFile(numbers_.showData);
}

std::int64_t EucEngine::CopyToBinaryTmp(const std::u16string& name) {
  return EngineFiles::CopyToBinaryTmp(name);
}

std::int64_t EucEngine::CopyFromBinaryTmp(const std::u16string& name, bool keep) {
  return EngineFiles::CopyFromBinaryTmp(name, keep);
}

void EucEngine::RenewInputTime(bool keep) {
  if (!streamed_) EngineFiles::RenewInputTime(inputName_, keep);
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
  platform::FileLock binaryTmpLock;
  if (settings.SameTime() || settings.ViaBinaryTmp()) {
    EngineFiles::LockWorkingFile(binaryTmpLock, kBinaryTmp);
  }
  // Under "-b" too, binary.tmp stays for the conversion: it is removed only as the last
  // step, while the lock is still held, so that no other run ever finds a fresh one.
  if (settings.SameTime()) RenewInputTime(settings.KeepBinaryTmp() || settings.ViaBinaryTmp());
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
  EucDecoder decoder(*table_, form_, mode, filtered ? &filter_ : nullptr);
  const int result = Stream(decoder, readNumber);
  lineEnds_ = decoder.LineEnds();
  return result;
}

int EucEngine::Stream(EucDecoder& decoder, int readNumber) {
  platform::InputFile& file = inputFile_;
  if (inputSize_ < 0 || output_ == nullptr ||
      (!file.IsOpen() && !file.Open(inputName_, platform::ReadMode::Raw))) {
    ReportAndStop(ErrorMessage(u"Reset()", readNumber, inputName_));
  }
  // A regular file is converted up to the size it was measured at; anything else to its
  // end. The input is read and converted a block at a time, through two small buffers
  // that stay in the cache. When the output is the input itself, it goes to a replacement
  // that takes the input's place only once it is complete.
  const std::int64_t limit = streamed_ ? std::numeric_limits<std::int64_t>::max() : inputSize_;
  const platform::Placement placement = EngineFiles::PlacementFor(inputName_, outputName_);
  platform::OutputFile out;
  bool created = false;
  bool ok = true;
  std::int64_t pending = 0;  // output bytes in the buffer, not yet written
  if (form_.byteOrderMark) {
    output_[0] = 0xFF;
    output_[1] = 0xFE;
    pending = 2;
  }
  std::int64_t read = 0;   // input bytes read
  std::int64_t carry = 0;  // a sequence begun in the last block, at the front of the buffer
  for (;;) {
    const std::int64_t want = std::min(kBlockSize, limit - read);
    const std::int64_t got = want > 0 ? file.ReadFully(input_.get() + carry, want) : 0;
    if (got < 0) {
      file.Close();
      out.Discard();
      ReportAndStop(ErrorMessage(u"Reset()", readNumber, inputName_));
    }
    read += got;
    const std::uint8_t* const block = input_.get();
    const std::int64_t size = carry + got;
    const bool final = got < want || read == limit;
    std::int64_t consumed = 0;
    pending += decoder.DecodeBlock(block, size, final, output_.get() + pending, consumed);
    carry = size - consumed;
    if (carry > 0) std::memmove(input_.get(), block + consumed, static_cast<std::size_t>(carry));
    if (!created) {
      // The output is created once the first block has been read.
      created = true;
      ok = out.Create(outputName_, placement);
    }
    ok = ok && out.Write(output_.get(), pending);
    pending = 0;
    if (final || !ok) break;
  }
  // The input is closed before the output is put in place: the output may replace it.
  file.Close();
  ok = ok && out.Close();
  if (!ok) {
    out.Discard();
    ReportError(ErrorMessage(u"Rewrite()", numbers_.writeOutput, outputName_));
    return -2;
  }
  return 0;
}

std::int64_t EucEngine::AllocateArrays() {
  input_.reset();
  output_.reset();
  std::int64_t result = inputSize_;
  // A measured input is converted through a block buffer of each kind; an input that could
  // not be measured has neither, its sizes are reported as they stand, and HaltIfNoInput
  // ends the run.
  input_ = NewBytes(inputSize_ < 0 ? inputSize_ : kBlockSize + EucDecoder::kMostCarried);
  if (input_ == nullptr) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.unitArray, ToText(inputSize_)));
    if (inputSize_ >= 0) Stop(1);
    result = -1;
  }
  output_ = NewBytes(outputCapacity_);
  if (output_ == nullptr) {
    ReportError(ErrorMessage(u"SetLength()", numbers_.outputArray, ToText(outputCapacity_)));
    if (inputSize_ >= 0) Stop(1);
    result = -3;
  }
  return result;
}

std::int64_t EucEngine::FileSizeOf(const std::u16string& name) {
  return platform::FileSize(name);
}

}  // namespace kelvo
