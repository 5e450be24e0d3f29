#include "fields/SelectField.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
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

inline char16_t UnitAt(const std::uint8_t* p) {
  return static_cast<char16_t>(p[0] | p[1] << 8);
}

// Units selected at a time.
constexpr std::int64_t kBlockUnits = std::int64_t{1} << 17;

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

  input_.Close();
  streamed_ = false;
  if (EngineFiles::OpenUtf16(inputName_, kOpenError, input_, unitCount_, startIndex_, head_,
                             headLength_)) {
    streamed_ = !input_.IsRegular();
  }
  // A regular file is read again from its start by the conversion; only a stream, which
  // cannot be read twice, stays open with the bytes read from it.
  if (!streamed_) {
    input_.Close();
    headLength_ = 0;
  }
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
  // The input is selected a block at a time: a block of units with room for one kept from
  // the block before, and an output block of two bytes for every unit.
  blockUnits_ = unitCount_ < kBlockUnits && !streamed_ ? unitCount_ : kBlockUnits;
  if (unitCount_ <= kMaximumUnits) units_.Allocate(2 * blockUnits_ + 2);
  if (!units_) {
    ReportAndStop(ErrorMessage(u"SetLength()", kUnitArrayError, ToText(unitCount_)));
  }
  output_.Allocate(2 * blockUnits_ + 4);
  if (!output_) {
    units_.Release();
    ReportAndStop(ErrorMessage(u"SetLength()", kOutputArrayError, ToText(outputCapacity_)));
  }
  return unitCount_;
}

int Selecting::WriteSelectedField(const std::u16string& outputName, bool replace) {
  outputName_ = outputName;
  if (unitCount_ < 0 || !units_ ||
      (!input_.IsOpen() && !input_.Open(inputName_, platform::ReadMode::Raw))) {
    ReportAndStop(ErrorMessage(u"Reset()", kReadError, inputName_));
  }
  const platform::Placement placement =
      replace ? platform::Placement::Replace : EngineFiles::PlacementFor(inputName_, outputName_);
  platform::OutputFile file;
  bool ok = file.Create(outputName_, placement);

  std::uint8_t* const buffer = units_.Data();
  const std::int64_t blockBytes = 2 * blockUnits_;
  // A regular file up to the whole units it was measured at; anything else to its end.
  std::int64_t remaining = streamed_ ? std::numeric_limits<std::int64_t>::max() : 2 * unitCount_;
  std::int64_t carry = std::min<std::int64_t>(headLength_, remaining);
  std::memcpy(buffer, head_, static_cast<std::size_t>(carry));
  remaining -= carry;
  headLength_ = 0;
  ScanState state;
  state.keeping = fieldNumber_ == 1;
  bool first = true;
  while (ok) {
    const std::int64_t want = std::min(remaining, blockBytes - (carry & 1));
    const std::int64_t got = want > 0 ? input_.ReadFully(buffer + carry, want) : 0;
    if (got < 0) {
      input_.Close();
      file.Discard();
      ReportAndStop(ErrorMessage(u"Reset()", kReadError, inputName_));
    }
    remaining -= got;
    const bool final = got < want || remaining == 0;
    const std::int64_t available = final ? (carry + got) & ~std::int64_t{1} : carry + got;
    const std::uint8_t* in = buffer;
    if (first) in += available < 2 * startIndex_ ? available : 2 * startIndex_;
    first = false;
    const std::uint8_t* const end = buffer + available;
    // Before the last block the final unit waits: it may be a high surrogate whose low
    // surrogate comes with the next block.
    const std::uint8_t* const stop = final || end - in < 2 ? end : end - 2;
    std::uint8_t* const last = Select(in, stop, end, output_.Data(), state);
    ok = file.Write(output_.Data(), last - output_.Data());
    if (final) break;
    carry = end - in;
    std::memmove(buffer, in, static_cast<std::size_t>(carry));
  }
  // The input is closed before the output is put in place: the output may replace it.
  input_.Close();
  ok = ok && file.Close();
  if (!ok) {
    file.Discard();
    ReportError(ErrorMessage(u"Rewrite()", kWriteError, outputName_));
    return -2;
  }
  return 0;
}

std::uint8_t* Selecting::Select(const std::uint8_t*& from, const std::uint8_t* stop,
                                const std::uint8_t* end, std::uint8_t* out,
                                ScanState& state) const {
  const std::uint8_t* in = from;
  while (in < stop) {
    const char16_t u = UnitAt(in);
    in += 2;
    const std::uint8_t kind = table_->Entry(u, 0);
    if (kind == PastoralSceneUTF16::kTwoBytes) {
      if (state.keeping) {
        *out++ = table_->Entry(u, 1);
        *out++ = table_->Entry(u, 2);
      }
      continue;
    }
    if (kind == PastoralSceneUTF16::kOneByte) {
      if (state.keeping) {
        const std::uint8_t b = table_->Entry(u, 1);
        if (b >= kFilterSize) {
          *out++ = b;
        } else if (byteFilter_[b] != kDrop) {
          *out++ = codeArray_[byteFilter_[b]];
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
      if (end - in >= 2 && IsLow(UnitAt(in))) {
        const char16_t low = UnitAt(in);
        in += 2;
        if (kind == PastoralSceneUTF16::kListedHigh)
          count = table_->ReplacementBytes(u, low, bytes);
      }
      if (state.keeping) {
        if (count == 0) bytes[0] = kUnconvertible, count = 1;
        for (int k = 0; k < count; ++k) *out++ = bytes[k];
      }
      continue;
    }
    if (u == kLineFeed) {
      *out++ = 0x0D;
      *out++ = 0x0A;
      state.field = 1;
      state.keeping = fieldNumber_ == 1;
      // Only the first line end closes an open quote; later ones let a quoted field span
      // lines.
      if (state.firstLine) state.quoted = false;
      state.firstLine = false;
    } else if (u == kCarriageReturn) {
      // dropped: every line ends in CR LF whatever the input had
    } else if (u == quote_) {
      state.quoted = !state.quoted;
    } else if (u == separator_ && !state.quoted) {
      if (state.keeping) *out++ = static_cast<std::uint8_t>(separator_);
      ++state.field;
      state.keeping = state.field == fieldNumber_;
    } else if (u == separator_) {
      if (state.keeping && !dropSeparatorsInQuotes_) *out++ = static_cast<std::uint8_t>(separator_);
    } else if (state.keeping) {
      // An unmapped unit of 80h or more is a "?": a byte of 80h-FFh alone would be an
      // EUC-JP lead byte without a trail.
      *out++ = u < 0x80 ? codeArray_[u] : kUnconvertible;
    }
  }
  from = in;
  return out;
}

}  // namespace kelvo
