#include "convert/StreamPump.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

// Threads exist wherever the standard library has them; a Windows build with the library's
// own thread model lacks them, and its pump runs on one thread.
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define KELVO_PUMP_THREADS 0
#else
#define KELVO_PUMP_THREADS 1
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#endif

#include "support/ErrorText.h"
#include "support/Text.h"

namespace kelvo {

platform::Result ConversionInput::Open(const std::u16string& name, Units units,
                                       platform::Guard guard) {
  Close();
  name_ = name;
  units_ = units;
  guard_ = guard;
  size_ = std::nullopt;
  fileSize_ = 0;
  streamed_ = false;
  skipped_ = 0;
  if (name.empty()) return platform::Result::Failed(platform::Step::Open, name);
  platform::Result opened = file_.Open(name, platform::ReadMode::Raw, guard);
  if (!opened) return opened;
  if (units == Units::Utf16) {
    // A stream cannot be read twice: the bytes read here are converted first.
    platform::Result read = file_.ReadFully(head_, 2, headLength_);
    if (!read) {
      Close();
      return read;
    }
    if (StartsWithByteOrderMark(head_, headLength_)) skipped_ = 2;
  }
  streamed_ = !file_.IsRegular();
  const std::int64_t unit = static_cast<std::int64_t>(units);
  fileSize_ = file_.Size().value_or(-1);
  size_ = streamed_ ? 0 : fileSize_ / unit * unit;
  // A regular file is opened again by each conversion; only a stream stays open.
  if (!streamed_) {
    file_.Close();
    headLength_ = 0;
  }
  return platform::Result::Ok();
}

void ConversionInput::Close() {
  file_.Close();
  headLength_ = 0;
}

std::int64_t CutAfterSingleByte(const std::uint8_t* in, std::int64_t at) {
  for (std::int64_t c = at; c > 0; --c) {
    if (in[c - 1] < 0x80) return c;
  }
  return 0;
}

std::int64_t CutBeforeLeadingUnit(const std::uint8_t* in, std::int64_t at) {
  for (std::int64_t c = at & ~std::int64_t{1}; c > 0; c -= 2) {
    if (!IsLowSurrogate(UnitAt(in + c))) return c;
  }
  return 0;
}

platform::Result StreamPump::AllocateInput(std::int64_t block, std::int64_t carried) {
  block_ = block;
  carriedRoom_ = carried;
  return input_.Allocate(block + carried);
}

platform::Result StreamPump::AllocateOutput(std::int64_t bytes) {
  outputBytes_ = bytes;
  return output_.Allocate(bytes);
}

platform::Result StreamPump::AllocateUnitBlocks(std::int64_t unitCount, bool streamed,
                                                std::int64_t outputSlack, int unitArray,
                                                int outputArray) {
  constexpr std::int64_t kBlockUnits = std::int64_t{1} << 17;
  const std::int64_t blockUnits = unitCount < kBlockUnits && !streamed ? unitCount : kBlockUnits;
  if (platform::Result input = AllocateInput(2 * blockUnits, 2); !input) {
    ReportError(ErrorMessage(u"SetLength()", unitArray, ToText(unitCount)));
    return std::move(input).Numbered(unitArray);
  }
  if (platform::Result output = AllocateOutput(2 * blockUnits + outputSlack); !output) {
    ReportError(ErrorMessage(u"SetLength()", outputArray, ToText(2 * unitCount)));
    return std::move(output).Numbered(outputArray);
  }
  return platform::Result::Ok();
}

PumpOutcome StreamPump::Run(ConversionInput& input, BlockKernel& kernel, const PumpTarget& target) {
  auto readFailed = [&](const platform::Result& cause) {
    input.Close();
    ReportError(ErrorMessage(u"Reset()", target.readNumber, input.Name()), cause);
    return PumpOutcome::ReadFailed;
  };
  platform::InputFile& file = input.file_;
  if (!input.Size() || !Allocated()) return readFailed({});
  if (!file.IsOpen()) {
    const platform::Result opened = file.Open(input.Name(), platform::ReadMode::Raw, input.guard_);
    if (!opened) return readFailed(opened);
  }
  // Changed since it was measured: the bytes read would not be the ones measured.
  bool changed = !input.Streamed() && file.Size() != input.fileSize_;
  // A regular file is converted up to the size it was measured at, anything else to its
  // end; the bytes a stream gave up when it was opened come first.
  std::int64_t remaining =
      input.Streamed() ? std::numeric_limits<std::int64_t>::max() : *input.Size();
  const std::int64_t carry = std::min(input.headLength_, remaining);
  std::memcpy(input_.Data(), input.head_, static_cast<std::size_t>(carry));
  remaining -= carry;
  input.headLength_ = 0;

  platform::OutputFile out;
  bool created = false;
  // What failed on either end, kept on the thread that met it and read once the pump is done.
  platform::Result readCause;
  platform::Result writeCause;
  const PumpEnds ends{
      .read = [&](std::uint8_t* buffer, std::int64_t count) -> std::optional<std::int64_t> {
        std::int64_t got = 0;
        platform::Result read = file.ReadFully(buffer, count, got);
        if (read) return got;
        readCause = std::move(read);
        return std::nullopt;
      },
      // The output is created once the first block has been read.
      .write =
          [&](const std::uint8_t* bytes, std::int64_t count) {
            if (!created) {
              created = true;
              writeCause = out.Create(target.name, target.placement, target.guard);
              if (!writeCause) return BlockWrite::Failed;
            }
            writeCause = out.Write(bytes, count);
            return writeCause ? BlockWrite::Done : BlockWrite::Failed;
          },
  };
  const PumpOutcome outcome = changed ? PumpOutcome::InputChanged
                                      : Pump(ends, kernel, static_cast<std::int64_t>(input.units_),
                                             remaining, input.SkippedBytes(), target.prefix, carry);
  if (outcome == PumpOutcome::ReadFailed) {
    out.Discard();
    return readFailed(readCause);
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
  if (outcome == PumpOutcome::Written) writeCause = out.Close();
  if (outcome != PumpOutcome::Written || !writeCause) {
    out.Discard();
    ReportError(ErrorMessage(u"Rewrite()", target.writeNumber, target.name), writeCause);
    return PumpOutcome::WriteFailed;
  }
  return PumpOutcome::Written;
}

PumpOutcome StreamPump::PumpAlone(const PumpEnds& ends, BlockKernel& kernel, std::int64_t unit,
                                  std::int64_t remaining, std::int64_t skip,
                                  std::string_view prefix, std::int64_t carry) {
  std::uint8_t* const buffer = input_.Data();
  std::uint8_t* const output = output_.Data();
  std::int64_t pending = static_cast<std::int64_t>(prefix.size());
  if (pending > 0) std::memcpy(output, prefix.data(), prefix.size());
  for (;;) {
    // The buffer holds a block and what the block before left; a byte left over (only
    // from a stream that ended inside a unit) keeps the units aligned.
    const std::int64_t want = std::min(remaining, block_ - carry % unit);
    const std::optional<std::int64_t> read = want > 0 ? ends.read(buffer + carry, want) : 0;
    if (!read) return PumpOutcome::ReadFailed;
    const std::int64_t got = *read;
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
    const BlockWrite written = ends.write(output, pending);
    pending = 0;
    if (written == BlockWrite::Failed) return PumpOutcome::WriteFailed;
    if (final) return PumpOutcome::Written;
  }
}

int StreamPump::PartCount(unsigned processors) const {
  if (!parts_.kernel || parts_.cut == nullptr) return 1;
  // The reader and the writer spend their time in the system copying pages: about one
  // processor's worth at the speed of the disk. The others convert.
  return static_cast<int>(std::clamp<unsigned>(
      processors - 1, 1, static_cast<unsigned>(std::max(1, threads_.mostParts))));
}

#if KELVO_PUMP_THREADS

namespace {

// Threads that are joined before they go; Start is false when a thread cannot be had.
class ThreadGroup {
 public:
  ThreadGroup() = default;
  ThreadGroup(const ThreadGroup&) = delete;
  ThreadGroup& operator=(const ThreadGroup&) = delete;
  ~ThreadGroup() { Join(); }

  [[nodiscard]] bool Start(std::function<void()> body) {
    try {
      threads_.emplace_back(std::move(body));
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  void Join() {
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

 private:
  std::vector<std::thread> threads_;
};

// Helpers that convert the parts of a block beside the converting thread, which converts
// part 0 and waits for the others.
class PartCrew {
 public:
  // Starts up to helpers threads; Helpers() tells how many could be had.
  explicit PartCrew(int helpers) {
    for (int h = 1; h <= helpers; ++h) {
      if (!threads_.Start([this, h] { Serve(h); })) break;
      started_ = h;
    }
  }
  PartCrew(const PartCrew&) = delete;
  PartCrew& operator=(const PartCrew&) = delete;
  ~PartCrew() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      quit_ = true;
    }
    start_.notify_all();
    threads_.Join();
  }

  int Helpers() const { return started_; }

  // Runs job(0) here and job(1) to job(count - 1) on the helpers; returns when all are done.
  void Run(int count, const std::function<void(int)>& job) {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      job_ = &job;
      count_ = count;
      pending_ = count - 1;
      ++round_;
    }
    start_.notify_all();
    job(0);
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [this] { return pending_ == 0; });
  }

 private:
  void Serve(int part) {
    std::uint64_t seen = 0;
    for (;;) {
      const std::function<void(int)>* job;
      {
        std::unique_lock<std::mutex> hold(lock_);
        start_.wait(hold, [&] { return quit_ || (round_ != seen && part < count_); });
        if (quit_) return;
        seen = round_;
        job = job_;
      }
      (*job)(part);
      {
        const std::lock_guard<std::mutex> hold(lock_);
        --pending_;
      }
      done_.notify_one();
    }
  }

  std::mutex lock_;
  std::condition_variable start_;
  std::condition_variable done_;
  std::uint64_t round_ = 0;
  int count_ = 0;
  int pending_ = 0;
  bool quit_ = false;
  const std::function<void(int)>* job_ = nullptr;
  int started_ = 0;
  ThreadGroup threads_;
};

}  // namespace

// The blocks between the reader, the converting thread and the writer. Block n goes through
// slot n % size: the reader fills it once block n - size is written, the converting thread
// converts it once it is read, the writer writes it once it is converted.
struct StreamPump::Ring {
  struct Slot {
    platform::LargeBuffer input;  // room for the carried bytes, then the block
    platform::LargeBuffer output;
    std::optional<std::int64_t> got = 0;  // none: the read failed
    bool final = false;
    // The converted bytes: one stretch of the output for each part.
    std::vector<std::int64_t> start;
    std::vector<std::int64_t> length;
  };

  explicit Ring(int size) : slots(static_cast<std::size_t>(size)) {}
  std::int64_t Size() const { return static_cast<std::int64_t>(slots.size()); }

  std::vector<Slot> slots;
  std::mutex lock;
  std::condition_variable changed;
  std::int64_t read = 0;       // blocks read
  std::int64_t converted = 0;  // blocks converted
  std::int64_t written = 0;    // blocks written
  bool converterDone = false;  // no block will be converted after those converted
  bool halt = false;           // no block is to be read
  bool readFailed = false;
  bool writeFailed = false;
};

#endif

PumpOutcome StreamPump::Pump(const PumpEnds& ends, BlockKernel& kernel, std::int64_t unit,
                             std::int64_t remaining, std::int64_t skip, std::string_view prefix,
                             std::int64_t carry) {
#if KELVO_PUMP_THREADS
  // An input that fits one block gains nothing from threads; nor does it ask the system
  // how many processors it has.
  const bool large = threads_.ring >= 2 && remaining > block_ - carry;
  const unsigned processors = !large                     ? 1
                              : threads_.processors != 0 ? threads_.processors
                                                         : std::thread::hardware_concurrency();
  if (processors > 1) {
    Ring ring(threads_.ring);
    const auto prefixBytes = static_cast<std::int64_t>(prefix.size());
    const std::int64_t outputRoom =
        outputBytes_ + prefixBytes + PartCount(processors) * parts_.fixed;
    bool allocated = true;
    for (Ring::Slot& slot : ring.slots) {
      allocated = allocated && slot.input.Allocate(carriedRoom_ + block_) &&
                  slot.output.Allocate(outputRoom);
    }
    if (allocated) {
      return PumpThreaded(ring, processors, ends, kernel, unit, remaining, skip, prefix, carry);
    }
  }
#endif
  return PumpAlone(ends, kernel, unit, remaining, skip, prefix, carry);
}

PumpOutcome StreamPump::PumpThreaded([[maybe_unused]] Ring& ring,
                                     [[maybe_unused]] unsigned processors, const PumpEnds& ends,
                                     BlockKernel& kernel, std::int64_t unit, std::int64_t remaining,
                                     std::int64_t skip, std::string_view prefix,
                                     std::int64_t carry) {
#if KELVO_PUMP_THREADS
  const std::int64_t slots = ring.Size();
  const auto notify = [&ring] { ring.changed.notify_all(); };

  // The writer writes each block's stretches in turn, until the converting thread is done
  // and every block it converted is written, or until a write fails.
  const auto writer = [&] {
    for (std::int64_t n = 0;; ++n) {
      {
        std::unique_lock<std::mutex> hold(ring.lock);
        ring.changed.wait(hold, [&] { return ring.converted > n || ring.converterDone; });
        if (ring.converted <= n) return;
      }
      const Ring::Slot& slot = ring.slots[static_cast<std::size_t>(n % slots)];
      for (std::size_t k = 0; k < slot.start.size(); ++k) {
        if (ends.write(slot.output.Data() + slot.start[k], slot.length[k]) == BlockWrite::Failed) {
          {
            const std::lock_guard<std::mutex> hold(ring.lock);
            ring.writeFailed = true;
            ring.halt = true;
          }
          notify();
          return;
        }
      }
      {
        const std::lock_guard<std::mutex> hold(ring.lock);
        ring.written = n + 1;
      }
      notify();
    }
  };
  // The reader fills each slot once its last block is written, up to the final block or a
  // failed read, as the single-thread loop reads.
  const std::int64_t firstCarry = carry;
  const auto reader = [&, remaining]() mutable {
    for (std::int64_t n = 0;; ++n) {
      {
        std::unique_lock<std::mutex> hold(ring.lock);
        ring.changed.wait(hold, [&] { return ring.halt || n - ring.written < slots; });
        if (ring.halt) return;
      }
      Ring::Slot& slot = ring.slots[static_cast<std::size_t>(n % slots)];
      const std::int64_t want = std::min(remaining, block_ - (n == 0 ? firstCarry % unit : 0));
      const std::optional<std::int64_t> got =
          want > 0 ? ends.read(slot.input.Data() + carriedRoom_, want) : 0;
      if (got) remaining -= *got;
      const bool final = !got || *got < want || remaining == 0;
      slot.got = got;
      slot.final = final;
      {
        const std::lock_guard<std::mutex> hold(ring.lock);
        ring.read = n + 1;
      }
      notify();
      if (final) return;
    }
  };

  ThreadGroup io;
  if (!io.Start(writer)) return PumpAlone(ends, kernel, unit, remaining, skip, prefix, carry);
  const auto finish = [&] {
    {
      const std::lock_guard<std::mutex> hold(ring.lock);
      ring.converterDone = true;
      ring.halt = true;
    }
    notify();
    io.Join();
  };
  if (!io.Start(reader)) {
    finish();
    return PumpAlone(ends, kernel, unit, remaining, skip, prefix, carry);
  }

  try {
    // Every part's kernel, asked for here, on the converting thread.
    std::vector<BlockKernel*> kernels{&kernel};
    std::unique_ptr<PartCrew> crew;
    if (const int parts = PartCount(processors); parts > 1) {
      crew = std::make_unique<PartCrew>(parts - 1);
      for (int k = 1; k <= crew->Helpers(); ++k) {
        BlockKernel* const part = parts_.kernel(k);
        if (part == nullptr) break;
        kernels.push_back(part);
      }
    }
    std::vector<std::uint8_t> carried(static_cast<std::size_t>(std::max(carriedRoom_, carry)));
    if (carry > 0) std::memcpy(carried.data(), input_.Data(), static_cast<std::size_t>(carry));
    std::vector<std::int64_t> bounds;
    for (std::int64_t n = 0;; ++n) {
      {
        std::unique_lock<std::mutex> hold(ring.lock);
        ring.changed.wait(hold, [&] { return ring.read > n || ring.writeFailed; });
        if (ring.read <= n) break;
      }
      Ring::Slot& slot = ring.slots[static_cast<std::size_t>(n % slots)];
      if (!slot.got) {
        const std::lock_guard<std::mutex> hold(ring.lock);
        ring.readFailed = true;
        break;
      }
      // The bytes the last block left go right before this block's.
      std::uint8_t* const buffer = slot.input.Data() + carriedRoom_ - carry;
      if (carry > 0) std::memcpy(buffer, carried.data(), static_cast<std::size_t>(carry));
      std::int64_t size = carry + *slot.got;
      if (slot.final) size -= size % unit;
      const std::uint8_t* const from = buffer + std::min(skip, size);
      skip = 0;
      const std::int64_t available = buffer + size - from;
      std::uint8_t* const output = slot.output.Data();
      std::int64_t at = 0;
      if (n == 0 && !prefix.empty()) {
        std::memcpy(output, prefix.data(), prefix.size());
        at = static_cast<std::int64_t>(prefix.size());
      }
      // The parts: cut near equal shares where a cut may be made, each part but the last
      // converted as a final one. A block too small for two parts stays whole.
      const auto count = static_cast<std::int64_t>(kernels.size());
      const std::int64_t shares =
          std::min(count, available / std::max<std::int64_t>(threads_.smallestPart, 1));
      bounds.assign(1, 0);
      for (std::int64_t k = 1; k < shares; ++k) {
        const std::int64_t last = bounds.back();
        const std::int64_t cut = parts_.cut(from + last, available * k / shares - last);
        if (cut > 0) bounds.push_back(last + cut);
      }
      bounds.push_back(available);
      const std::size_t partCount = bounds.size() - 1;
      slot.start.resize(partCount);
      slot.length.resize(partCount);
      for (std::size_t k = 0; k < partCount; ++k) {
        slot.start[k] = at;
        at += parts_.fixed + parts_.perByte * (bounds[k + 1] - bounds[k]);
      }
      std::int64_t consumed = 0;
      const auto convert = [&](int part) {
        const auto k = static_cast<std::size_t>(part);
        const bool last = k + 1 == partCount;
        std::int64_t used = 0;
        slot.length[k] = kernels[k]->Convert(from + bounds[k], bounds[k + 1] - bounds[k],
                                             !last || slot.final, output + slot.start[k], used);
        if (last) consumed = bounds[k] + used;
      };
      if (partCount > 1) {
        crew->Run(static_cast<int>(partCount), convert);
      } else {
        convert(0);
      }
      // Only the prefix stands before the first part's bytes.
      slot.length[0] += slot.start[0];
      slot.start[0] = 0;
      carry = available - consumed;
      if (carry > 0) std::memcpy(carried.data(), from + consumed, static_cast<std::size_t>(carry));
      // Once converted, the slot is the writer's and then the reader's again.
      const bool final = slot.final;
      {
        const std::lock_guard<std::mutex> hold(ring.lock);
        ring.converted = n + 1;
      }
      notify();
      if (final) break;
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  if (ring.writeFailed) return PumpOutcome::WriteFailed;
  if (ring.readFailed) return PumpOutcome::ReadFailed;
  return PumpOutcome::Written;
#else
  return PumpAlone(ends, kernel, unit, remaining, skip, prefix, carry);
#endif
}

}  // namespace kelvo
