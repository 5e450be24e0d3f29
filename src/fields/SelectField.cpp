#include "fields/SelectField.h"

#include <cstdint>
#include <new>

#include "cmdline/FinalEffect.h"
#include "convert/EngineFile.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr std::int64_t kMaximumUnits = static_cast<std::int64_t>(PTRDIFF_MAX / 4);

inline char16_t UnitAt(const std::uint8_t* units, std::int64_t i) {
  return static_cast<char16_t>(units[2 * i] | units[2 * i + 1] << 8);
}

bool IsLow(char16_t unit) {
  return unit >= kLowFirst && unit <= kLowLast;
}

}  // namespace

Selecting::Selecting() = default;
Selecting::~Selecting() = default;

void Selecting::AttachSettings(const FinalEffects& settings) {
  settings_ = &settings;
  for (int i = 0; i < kFilterSize; ++i) {
    const bool control = i <= 31 || (i >= 127 && i <= 160);
    byteFilter_[static_cast<std::size_t>(i)] = control ? kDrop : static_cast<std::uint8_t>(i);
  }
}

void Selecting::Open(const FinalEffects& settings, const std::u16string& inputName) {
  unitCount_ = -1;
  settings_ = &settings;
  inputName_ = inputName;
  fieldNumber_ = settings.FieldNumber();
  quote_ = u'"';
  dropSeparatorsInQuotes_ = false;
  separator_ = u',';

  EngineFiles::MeasureUtf16(inputName_, kOpenError, unitCount_, startIndex_);
  outputCapacity_ = 2 * unitCount_;

  FillCodeArray();
  AllocateArrays();

  table_ = std::make_unique<PastoralSceneUTF16>();
  table_->LoadTableAndList(settings);
}

void Selecting::HaltIfNoInput(int exitCode) const {
  if (unitCount_ < 0) Stop(exitCode);
}

std::int64_t Selecting::FileSizeOf(const std::u16string& name) {
  return platform::FileSize(name);
}

void Selecting::FillCodeArray() {
  for (std::size_t k = 0; k < codeArray_.size(); ++k) codeArray_[k] = static_cast<std::uint8_t>(k);
  codeArray_[0] = codeArray_[62];  // U+0000 is written as ">"
}

std::int64_t Selecting::AllocateArrays() {
  units_.Release();
  output_.Release();
  if (unitCount_ < 0) {
    ReportError(ErrorMessage(u"SetLength()", kUnitArrayError, ToText(unitCount_)));
    return -1;
  }
  if (unitCount_ <= kMaximumUnits) {
    units_.Allocate(2 * unitCount_);
  }
  if (!units_) {
    ReportAndStop(ErrorMessage(u"SetLength()", kUnitArrayError, ToText(unitCount_)));
  }
  output_.Allocate(outputCapacity_);
  if (!output_) {
    units_.Release();
    ReportAndStop(ErrorMessage(u"SetLength()", kOutputArrayError, ToText(outputCapacity_)));
  }
  return unitCount_;
}

int Selecting::WriteSelectedField(const std::u16string& outputName) {
  outputName_ = outputName;
  platform::InputFile input;
  std::int64_t got = -1;
  if (unitCount_ >= 0 && units_ && input.Open(inputName_, platform::ReadMode::Raw)) {
    got = input.ReadFully(units_.Data(), 2 * unitCount_);
  }
  input.Close();
  if (got < 0) ReportAndStop(ErrorMessage(u"Reset()", kReadError, inputName_));
  return WriteOutput(Select(got / 2));
}

std::int64_t Selecting::Select(std::int64_t unitsRead) {
  const std::uint8_t* const units = units_.Data();
  std::uint8_t* out = output_.Data();
  std::int64_t n = 0;
  std::int64_t field = 1;
  bool keeping = fieldNumber_ == 1;
  bool quoted = false;
  bool firstLine = true;

  for (std::int64_t i = startIndex_; i < unitsRead; ++i) {
    const char16_t u = UnitAt(units, i);
    const std::uint8_t kind = table_->Entry(u, 0);
    if (kind == PastoralSceneUTF16::kTwoBytes) {
      if (keeping) {
        out[n++] = table_->Entry(u, 1);
        out[n++] = table_->Entry(u, 2);
      }
      continue;
    }
    if (kind == PastoralSceneUTF16::kOneByte) {
      if (keeping) {
        const std::uint8_t b = table_->Entry(u, 1);
        if (b >= kFilterSize) {
          out[n++] = b;
        } else if (byteFilter_[b] != kDrop) {
          out[n++] = codeArray_[byteFilter_[b]];
        }
      }
      continue;
    }
    if (kind == PastoralSceneUTF16::kListedHigh || (u >= kHighFirst && u <= kHighLast)) {
      // A high surrogate and the low surrogate after it are one character: the list's
      // replacement or one "?". A high surrogate alone is a "?" and the unit after it is
      // taken on its own.
      std::uint8_t bytes[2];
      int count = 0;
      if (i + 1 < unitsRead && IsLow(UnitAt(units, i + 1))) {
        const char16_t low = UnitAt(units, ++i);
        if (kind == PastoralSceneUTF16::kListedHigh)
          count = table_->ReplacementBytes(u, low, bytes);
      }
      if (keeping) {
        if (count == 0) bytes[0] = kUnconvertible, count = 1;
        for (int k = 0; k < count; ++k) out[n++] = bytes[k];
      }
      continue;
    }
    if (u == kLineFeed) {
      out[n++] = 0x0D;
      out[n++] = 0x0A;
      field = 1;
      keeping = fieldNumber_ == 1;
      // Only the first line end closes an open quote; later ones let a quoted field span
      // lines.
      if (firstLine) quoted = false;
      firstLine = false;
    } else if (u == kCarriageReturn) {
      // dropped: every line ends in CR LF whatever the input had
    } else if (u == quote_) {
      quoted = !quoted;
    } else if (u == separator_ && !quoted) {
      if (keeping) out[n++] = static_cast<std::uint8_t>(separator_);
      ++field;
      keeping = field == fieldNumber_;
    } else if (u == separator_) {
      if (keeping && !dropSeparatorsInQuotes_) out[n++] = static_cast<std::uint8_t>(separator_);
    } else if (keeping) {
      // An unmapped unit of 80h or more is a "?": a byte of 80h-FFh alone would be an
      // EUC-JP lead byte without a trail.
      out[n++] = u < 0x80 ? codeArray_[u] : kUnconvertible;
    }
  }
  return n;
}

int Selecting::WriteOutput(std::int64_t n) {
  platform::OutputFile file;
  bool ok = file.Create(outputName_) && file.Write(output_.Data(), n);
  ok = file.Close() && ok;
  if (!ok) {
    ReportError(ErrorMessage(u"Rewrite()", kWriteError, outputName_));
    return -2;
  }
  return 0;
}

}  // namespace kelvo
