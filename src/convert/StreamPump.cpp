#include "convert/StreamPump.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

bool ConversionInput::Open(const std::u16string& name, Units units) {
  Close();
  name_ = name;
  units_ = units;
  size_ = -1;
  streamed_ = false;
  skipped_ = 0;
  if (name.empty() || !file_.Open(name, platform::ReadMode::Raw)) return false;
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
  size_ = streamed_ ? 0 : file_.Size() / unit * unit;
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

PumpOutcome StreamPump::Run(ConversionInput& input, BlockKernel& kernel, const PumpTarget& target) {
  auto readFailed = [&] {
    input.Close();
    ReportError(ErrorMessage(u"Reset()", target.readNumber, input.Name()));
    return PumpOutcome::ReadFailed;
  };
  platform::InputFile& file = input.file_;
  if (!input.Measured() || !Allocated() ||
      (!file.IsOpen() && !file.Open(input.Name(), platform::ReadMode::Raw))) {
    return readFailed();
  }
  const std::int64_t unit = static_cast<std::int64_t>(input.units_);
  std::uint8_t* const buffer = input_.Data();
  std::uint8_t* const output = output_.Data();
  // A regular file is converted up to the size it was measured at, anything else to its
  // end; the bytes a stream gave up when it was opened come first.
  std::int64_t remaining =
      input.Streamed() ? std::numeric_limits<std::int64_t>::max() : input.Size();
  std::int64_t carry = std::min(input.headLength_, remaining);
  std::memcpy(buffer, input.head_, static_cast<std::size_t>(carry));
  remaining -= carry;
  input.headLength_ = 0;
  std::int64_t skip = input.SkippedBytes();

  std::int64_t pending = static_cast<std::int64_t>(target.prefix.size());
  if (pending > 0) std::memcpy(output, target.prefix.data(), target.prefix.size());
  platform::OutputFile out;
  bool created = false;
  bool ok = true;
  for (;;) {
    // The buffer holds a block and what the block before left; a byte left over (only
    // from a stream that ended inside a unit) keeps the units aligned.
    const std::int64_t want = std::min(remaining, block_ - carry % unit);
    const std::int64_t got = want > 0 ? file.ReadFully(buffer + carry, want) : 0;
    if (got < 0) {
      out.Discard();
      return readFailed();
    }
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
    if (!created) {
      created = true;
      ok = out.Create(target.name, target.placement);
    }
    ok = ok && out.Write(output, pending);
    pending = 0;
    if (final || !ok) break;
  }
  input.Close();
  ok = ok && out.Close();
  if (!ok) {
    out.Discard();
    ReportError(ErrorMessage(u"Rewrite()", target.writeNumber, target.name));
    return PumpOutcome::WriteFailed;
  }
  return PumpOutcome::Written;
}

}  // namespace kelvo
