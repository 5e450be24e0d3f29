#include "convert/Utf16intoEUC.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "cmdline/FinalEffect.h"
#include "convert/EngineFile.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char16_t kLineFeed = 0x0A;
constexpr char16_t kCarriageReturn = 0x0D;
constexpr char16_t kHighFirst = 0xD800;
constexpr char16_t kHighLast = 0xDBFF;
constexpr char16_t kLowFirst = 0xDC00;
constexpr char16_t kLowLast = 0xDFFF;
constexpr std::size_t kLookupSize = 65536;

// A lookup entry: output byte 1 in bits 0-7, byte 2 in bits 8-15, the byte count in bits
// 16-17. A high surrogate carries kPairStart (and kListed when the list names it): its
// bytes depend on the unit after it.
constexpr std::uint32_t kPairStart = 0x80000000u;
constexpr std::uint32_t kListed = 0x40000000u;

constexpr std::uint32_t Bytes(std::uint8_t first, std::uint8_t second, std::uint32_t count) {
  return first | static_cast<std::uint32_t>(second) << 8 | count << 16;
}

inline char16_t UnitAt(const std::uint8_t* p) {
  return static_cast<char16_t>(p[0] | p[1] << 8);
}

// The largest unit count whose input and output arrays can be addressed.
constexpr std::int64_t kMaximumUnits = static_cast<std::int64_t>(PTRDIFF_MAX / 4);

}  // namespace

ConvertUtf16intoEUC::ConvertUtf16intoEUC() = default;
ConvertUtf16intoEUC::~ConvertUtf16intoEUC() = default;

void ConvertUtf16intoEUC::Open(const FinalEffects& settings, const std::u16string& inputPath) {
  unitCount_ = -1;
  settings_ = &settings;
  inputPath_ = inputPath;
  outputPath_.clear();

  // The size, and whether the input starts with the byte-order mark FF FE.
  const std::int64_t size = inputPath_.empty() ? -1 : FileSizeOf(inputPath_);
  platform::InputFile input;
  std::uint8_t head[2] = {0, 0};
  std::int64_t got = -1;
  if (size >= 0 && input.Open(inputPath_, platform::ReadMode::Raw)) {
    got = input.ReadFully(head, sizeof head);
  }
  input.Close();
  if (got < 0) {
    ReportError(ErrorMessage(u"Reset()", CurrentProgram().errors.engine.open, inputPath_));
  } else {
    startIndex_ = (got == 2 && head[0] == 0xFF && head[1] == 0xFE) ? 1 : 0;
    unitCount_ = size / 2;
  }
  outputCapacity_ = 2 * unitCount_;

  BuildIdentityBytes();
  byteTable_[0] = byteTable_[62];  // an unmapped U+0000 is written as ">"

  AllocateArrays();

  table_ = std::make_unique<PastoralSceneUTF16>();
  table_->LoadTable(settings);
  if (settings.UnderscoreSurrogates()) {
    table_->LoadUnderscoreList();
  } else {
    table_->LoadSurrogateList();
  }
}

void ConvertUtf16intoEUC::HaltIfNoInput(int exitCode) const {
  if (unitCount_ < 0) Stop(exitCode);
}

bool ConvertUtf16intoEUC::ShowDataFile() {
  return EngineFiles::ShowDataFile();
}

std::int64_t ConvertUtf16intoEUC::FileSizeOf(const std::u16string& path) {
  return platform::FileSize(path);
}

std::int64_t ConvertUtf16intoEUC::CopyToBinaryTmp(const std::u16string& path, bool keep) {
  return EngineFiles::CopyToBinaryTmp(path, keep);
}

std::int64_t ConvertUtf16intoEUC::CopyFromBinaryTmp(const std::u16string& path, bool keep) {
  return EngineFiles::CopyFromBinaryTmp(path, keep);
}

int ConvertUtf16intoEUC::WriteOutput(std::int64_t n) {
  return EngineFiles::WriteOutput(outputPath_, output_.get(), n);
}

std::int64_t ConvertUtf16intoEUC::AllocateArrays() {
  const EngineNumbers& numbers = CurrentProgram().errors.engine;
  units_.reset();
  output_.reset();
  if (unitCount_ < 0) {
    ReportError(ErrorMessage(u"SetLength()", numbers.unitArray, ToText(unitCount_)));
    return -1;
  }
  // Neither array is zero-filled: the conversion overwrites what it uses.
  if (unitCount_ <= kMaximumUnits) {
    units_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(2 * unitCount_)]);
  }
  if (!units_) {
    ReportAndStop(ErrorMessage(u"SetLength()", numbers.unitArray, ToText(unitCount_)));
  }
  output_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(outputCapacity_)]);
  if (!output_) {
    units_.reset();
    ReportAndStop(ErrorMessage(u"SetLength()", numbers.outputArray, ToText(outputCapacity_)));
  }
  return unitCount_;
}

void ConvertUtf16intoEUC::BuildIdentityBytes() {
  for (std::size_t i = 0; i < byteTable_.size(); ++i) byteTable_[i] = static_cast<std::uint8_t>(i);
}

void ConvertUtf16intoEUC::PrepareControlFilter() {
  for (int i = 0; i < kFilterSize; ++i) {
    const bool control = i <= 0x1F || (i >= 0x7F && i <= 0xA0);
    filterTable_[static_cast<std::size_t>(i)] = control ? kDrop : static_cast<std::uint8_t>(i);
  }
}

int ConvertUtf16intoEUC::ConvertCrLf(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::CrLf, false, CurrentProgram().errors.engine.read[0]);
}
int ConvertUtf16intoEUC::ConvertLf(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::Lf, false, CurrentProgram().errors.engine.read[1]);
}
int ConvertUtf16intoEUC::ConvertAsRead(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::AsRead, false, CurrentProgram().errors.engine.read[2]);
}
int ConvertUtf16intoEUC::ConvertCrLfFiltered(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::CrLf, true, CurrentProgram().errors.engine.read[3]);
}
int ConvertUtf16intoEUC::ConvertLfFiltered(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::Lf, true, CurrentProgram().errors.engine.read[4]);
}
int ConvertUtf16intoEUC::ConvertAsReadFiltered(const std::u16string& outputPath) {
  return Convert(outputPath, LineEnds::AsRead, true, CurrentProgram().errors.engine.read[5]);
}

int ConvertUtf16intoEUC::Convert(const std::u16string& outputPath, LineEnds lineEnds, bool filtered,
                                 int readError) {
  outputPath_ = outputPath;
  // The whole input in one read; a file grown since Open is read up to the sized count.
  platform::InputFile input;
  std::int64_t got = -1;
  if (unitCount_ >= 0 && units_ && input.Open(inputPath_, platform::ReadMode::Raw)) {
    got = input.ReadFully(units_.get(), 2 * unitCount_);
  }
  input.Close();
  if (got < 0) ReportAndStop(ErrorMessage(u"Reset()", readError, inputPath_));

  BuildLookup(lineEnds, filtered);
  return WriteOutput(Translate(got / 2));
}

void ConvertUtf16intoEUC::BuildLookup(LineEnds lineEnds, bool filtered) {
  if (!lookup_) lookup_.reset(new std::uint32_t[kLookupSize]);
  const std::uint32_t unconvertible = Bytes(kUnconvertible, 0, 1);
  for (std::size_t u = 0; u < kLookupSize; ++u) {
    const auto unit = static_cast<char32_t>(u);
    std::uint32_t entry;
    switch (table_->Entry(unit, 0)) {
      case PastoralSceneUTF16::kTwoBytes:
        entry = Bytes(table_->Entry(unit, 1), table_->Entry(unit, 2), 2);
        break;
      case PastoralSceneUTF16::kOneByte:
        entry = Bytes(table_->Entry(unit, 1), 0, 1);
        break;
      case PastoralSceneUTF16::kListedHigh:
        entry = kPairStart | kListed | unconvertible;
        break;
      default:
        if (unit == kLineFeed) {
          entry = lineEnds == LineEnds::CrLf ? Bytes(0x0D, 0x0A, 2) : Bytes(0x0A, 0, 1);
        } else if (unit == kCarriageReturn) {
          entry = lineEnds == LineEnds::AsRead ? Bytes(0x0D, 0, 1) : Bytes(0, 0, 0);
        } else if (unit >= kHighFirst && unit <= kHighLast) {
          entry = kPairStart | unconvertible;
        } else if (u >= byteTable_.size()) {
          entry = unconvertible;
        } else if (filtered && u < filterTable_.size() && filterTable_[u] == kDrop) {
          entry = Bytes(0, 0, 0);
        } else {
          entry = Bytes(byteTable_[u], 0, 1);
        }
        break;
    }
    lookup_[u] = entry;
  }
}

std::int64_t ConvertUtf16intoEUC::Translate(std::int64_t unitsRead) {
  if (unitsRead <= startIndex_) return 0;
  const std::uint32_t* const lookup = lookup_.get();
  const std::uint8_t* in = units_.get() + 2 * startIndex_;
  const std::uint8_t* const end = units_.get() + 2 * unitsRead;
  std::uint8_t* const first = output_.get();
  std::uint8_t* out = first;
  // Every unit yields at most two bytes, and a pair of units at most two, so the output
  // (two bytes per unit) has room for the two bytes stored before the count is applied.
  while (in < end) {
    const std::uint32_t entry = lookup[UnitAt(in)];
    if (!(entry & kPairStart)) {
      out[0] = static_cast<std::uint8_t>(entry);
      out[1] = static_cast<std::uint8_t>(entry >> 8);
      out += (entry >> 16) & 3;
      in += 2;
      continue;
    }
    // A high surrogate: with a low surrogate after it, the two make one character, written
    // as the list's replacement or as one "?". Otherwise it stands alone as a "?" and the
    // next unit is converted on its own.
    const char16_t high = UnitAt(in);
    in += 2;
    if (in < end) {
      const char16_t low = UnitAt(in);
      if (low >= kLowFirst && low <= kLowLast) {
        in += 2;
        std::uint8_t bytes[2];
        const int count = (entry & kListed) ? table_->ReplacementBytes(high, low, bytes) : 0;
        if (count > 0) {
          std::memcpy(out, bytes, static_cast<std::size_t>(count));
          out += count;
        } else {
          *out++ = kUnconvertible;
        }
        continue;
      }
    }
    *out++ = kUnconvertible;
  }
  return out - first;
}

}  // namespace kelvo
