#include "convert/StreamPump.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

bool ConversionInput::Open(const std::u16string& name, Units units, platform::Guard guard) {
  Close();
  name_ = name;
  units_ = units;
  guard_ = guard;
  size_ = -1;
  fileSize_ = -1;
  streamed_ = false;
  skipped_ = 0;
  if (name.empty() || !file_.Open(name, platform::ReadMode::Raw, guard)) return false;
  if (units == Units::Utf16) {
    // A stream cannot be read twice: the bytes read here are converted first.
    headLength_ = file_.ReadFully(head_, 2);
    if (headLength_ < 0) {
      Close();
      return false;
    }
    if (StartsWithByteOrderMark(head_, headLength_)) skipped_ = 2;
  }
  streamed_ = !file_.IsRegular();
  const std::int64_t unit = static_cast<std::int64_t>(units);
  fileSize_ = file_.Size();
  size_ = streamed_ ? 0 : fileSize_ / unit * unit;
  // A regular file is opened again by each conversion; only a stream stays open.
  if (!streamed_) {
    file_.Close();
    headLength_ = 0;
  }
  return true;
}

void ConversionInput::Close() {
  file_.Close();
  headLength_ = 0;
}

bool StreamPump::AllocateInput(std::int64_t block, std::int64_t carried) {
  block_ = block;
  return input_.Allocate(block + carried);
}

bool StreamPump::AllocateOutput(std::int64_t bytes) {
  return output_.Allocate(bytes);
}

bool StreamPump::AllocateUnitBlocks(std::int64_t unitCount, bool streamed, std::int64_t outputSlack,
                                    int unitArray, int outputArray) {
  constexpr std::int64_t kBlockUnits = std::int64_t{1} << 17;
  const std::int64_t blockUnits = unitCount < kBlockUnits && !streamed ? unitCount : kBlockUnits;
  if (!AllocateInput(2 * blockUnits, 2)) {
    ReportError(ErrorMessage(u"SetLength()", unitArray, ToText(unitCount)));
    return false;
  }
  if (!AllocateOutput(2 * blockUnits + outputSlack)) {
    ReportError(ErrorMessage(u"SetLength()", outputArray, ToText(2 * unitCount)));
    return false;
  }
  return true;
}

PumpOutcome StreamPump::Run(ConversionInput& input, BlockKernel& kernel, const PumpTarget& target) {
  auto readFailed = [&] {
    input.Close();
    ReportError(ErrorMessage(u"Reset()", target.readNumber, input.Name()));
    return PumpOutcome::ReadFailed;
  };
  platform::InputFile& file = input.file_;
  if (!input.Measured() || !Allocated() ||
      (!file.IsOpen() && !file.Open(input.Name(), platform::ReadMode::Raw, input.guard_))) {
    return readFailed();
  }
  // Changed since it was measured: the bytes read would not be the ones measured.
  bool changed = !input.Streamed() && file.Size() != input.fileSize_;
  // A regular file is converted up to the size it was measured at, anything else to its
  // end; the bytes a stream gave up when it was opened come first.
  std::int64_t remaining =
      input.Streamed() ? std::numeric_limits<std::int64_t>::max() : input.Size();
  const std::int64_t carry = std::min(input.headLength_, remaining);
  std::memcpy(input_.Data(), input.head_, static_cast<std::size_t>(carry));
  remaining -= carry;
  input.headLength_ = 0;

  platform::OutputFile out;
  bool created = false;
  const PumpEnds ends{
      .read = [&](std::uint8_t* buffer,
                  std::int64_t count) { return file.ReadFully(buffer, count); },
      // The output is created once the first block has been read.
      .write =
          [&](const std::uint8_t* bytes, std::int64_t count) {
            if (!created) {
              created = true;
              if (!out.Create(target.name, target.placement, target.guard)) return false;
            }
            return out.Write(bytes, count);
          },
  };
  const PumpOutcome outcome = changed ? PumpOutcome::InputChanged
                                      : Pump(ends, kernel, static_cast<std::int64_t>(input.units_),
                                             remaining, input.SkippedBytes(), target.prefix, carry);
  if (outcome == PumpOutcome::ReadFailed) {
    out.Discard();
    return readFailed();
  }
  changed = changed || !file.Unchanged();
  input.Close();
  if (changed) {
    // A replacement is given up: the input keeps whatever the other process made of it.
    if (target.placement == platform::Placement::Replace) {
      out.Discard();
    } else {
      static_cast<void>(out.Close());
    }
    ReportError(ErrorMessage(u"Reset()", target.changedNumber, input.Name()));
    return PumpOutcome::InputChanged;
  }
  if (outcome != PumpOutcome::Written || !out.Close()) {
    out.Discard();
    ReportError(ErrorMessage(u"Rewrite()", target.writeNumber, target.name));
    return PumpOutcome::WriteFailed;
  }
  return PumpOutcome::Written;
}

PumpOutcome StreamPump::Pump(const PumpEnds& ends, BlockKernel& kernel, std::int64_t unit,
                             std::int64_t remaining, std::int64_t skip, std::string_view prefix,
                             std::int64_t carry) {
  std::uint8_t* const buffer = input_.Data();
  std::uint8_t* const output = output_.Data();
  std::int64_t pending = static_cast<std::int64_t>(prefix.size());
  if (pending > 0) std::memcpy(output, prefix.data(), prefix.size());
  for (;;) {
    // The buffer holds a block and what the block before left; a byte left over (only
    // from a stream that ended inside a unit) keeps the units aligned.
    const std::int64_t want = std::min(remaining, block_ - carry % unit);
    const std::int64_t got = want > 0 ? ends.read(buffer + carry, want) : 0;
    if (got < 0) return PumpOutcome::ReadFailed;
    remaining -= got;
    const bool final = got < want || remaining == 0;
    // An input that ends inside a unit ends at its last whole unit.
    std::int64_t size = carry + got;
    if (final) size -= size % unit;
    const std::uint8_t* const from = buffer + std::min(skip, size);
    skip = 0;
    const std::int64_t available = buffer + size - from;
    std::int64_t consumed = 0;
    pending += kernel.Convert(from, available, final, output + pending, consumed);
    carry = available - consumed;
    std::memmove(buffer, from + consumed, static_cast<std::size_t>(carry));
    const bool written = ends.write(output, pending);
    pending = 0;
    if (!written) return PumpOutcome::WriteFailed;
    if (final) return PumpOutcome::Written;
  }
}

}  // namespace kelvo
