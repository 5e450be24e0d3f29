// One file's conversion. The output is compared with the input while it is made: a file
// whose output equals it is left alone, and a replacement is begun only at the first byte
// that differs, with the equal bytes before it copied from the input.
#include "kelvo/Job.h"

#include <algorithm>
#include <cstring>

#include "platform/Platform.h"
#include "platform/Tree.h"

namespace kelvo::app {
namespace {

using transcode::Encoding;

bool IsUtf16(Encoding encoding) {
  return encoding == Encoding::Utf16 || encoding == Encoding::Utf16LE ||
         encoding == Encoding::Utf16BE;
}

// The words for a step of putting a replacement in place that failed.
const char* CommitWords(platform::CommitStep step) {
  switch (step) {
    case platform::CommitStep::Done:
      break;
    case platform::CommitStep::ReadAttributes:
      return "cannot read the attributes";
    case platform::CommitStep::SetMode:
      return "cannot set the mode";
    case platform::CommitStep::CopyAttributes:
      return "cannot copy the extended attributes";
    case platform::CommitStep::SetTime:
      return "cannot set the modification time";
    case platform::CommitStep::Flush:
      return "cannot write";
    case platform::CommitStep::KeepBackup:
      return "cannot keep the backup";
    case platform::CommitStep::Rename:
      return "cannot rename";
  }
  return "";
}

// What the output failed at: the number its failures carry, and the words for each.
enum OutputFailure : int {
  kStandardOutputFailed = 1,
  kCompareReadFailed,
  kReplacementWriteFailed,
  kDirectoryFailed,
  kTemporaryFailed,
};
constexpr const char* kOutputWords[] = {
    "",
    "cannot write to standard output",
    "cannot read",
    "cannot write",
    "cannot make the directory",
    "cannot create a temporary file",
};

// A step's result; when it failed, under the output's number for what failed.
platform::Result Numbered(platform::Result step, OutputFailure number) {
  if (step) return step;
  return std::move(step).Numbered(number);
}

// Where the converted bytes go: standard output, or compared with the input and, from the
// first difference on, into a replacement (none in a dry run).
class Output {
 public:
  Output(platform::SourceFile& source, std::vector<std::uint8_t>& compare, bool standard,
         bool dryRun)
      : source_(source), compare_(compare), standard_(standard), dryRun_(dryRun) {}

  void Target(std::u16string target) { target_ = std::move(target); }

  platform::Result Write(const std::uint8_t* bytes, std::int64_t count) {
    written_ += static_cast<std::uint64_t>(count);
    if (standard_) {
      const platform::Result written =
          platform::WriteStandardOutput(bytes, static_cast<std::size_t>(count));
      if (written) return written;
      // Reported in kelvo's words alone, without the system's reason.
      return platform::Result::Failed(platform::Step::Write, written.detail)
          .Numbered(kStandardOutputFailed);
    }
    while (!differs_ && count > 0) {
      const std::int64_t step = std::min<std::int64_t>(count, compare_.size());
      std::int64_t got = 0;
      platform::Result read =
          Numbered(source_.ReadAt(matched_, compare_.data(), step, got), kCompareReadFailed);
      if (!read) return read;
      if (got != step || std::memcmp(compare_.data(), bytes, static_cast<std::size_t>(step)) != 0) {
        if (platform::Result begun = Begin(); !begun) return begun;
        break;
      }
      matched_ += step;
      bytes += step;
      count -= step;
    }
    if (count == 0 || dryRun_) return platform::Result::Ok();
    return Numbered(file_.Write(bytes, count), kReplacementWriteFailed);
  }

  // After the last block: whether the output differs from the input at all.
  platform::Result Finish(bool& differs) {
    if (!standard_ && !differs_) {
      std::uint8_t byte = 0;
      std::int64_t more = 0;
      platform::Result read =
          Numbered(source_.ReadAt(matched_, &byte, 1, more), kCompareReadFailed);
      if (read && more > 0) read = Begin();
      if (!read) return read;
    }
    differs = differs_ || standard_;
    return platform::Result::Ok();
  }

  platform::ReplacementFile& File() { return file_; }
  std::uint64_t Written() const { return written_; }

 private:
  // The first difference: the replacement begins with the equal bytes so far.
  platform::Result Begin() {
    differs_ = true;
    if (dryRun_) return platform::Result::Ok();
    // The directory is made only when it is missing: most files of a tree share theirs.
    if (!file_.Create(target_)) {
      platform::Result made =
          Numbered(platform::MakeDirectories(platform::ParentOf(target_)), kDirectoryFailed);
      if (made) made = Numbered(file_.Create(target_), kTemporaryFailed);
      if (!made) return made;
    }
    for (std::int64_t at = 0; at < matched_;) {
      const std::int64_t step = std::min<std::int64_t>(matched_ - at, compare_.size());
      std::int64_t got = 0;
      platform::Result read = source_.ReadAt(at, compare_.data(), step, got);
      // The input grew shorter since it was compared.
      if (read && got != step) read = platform::Result::Failed(platform::Step::Read, {});
      if (!read) return Numbered(std::move(read), kCompareReadFailed);
      platform::Result written =
          Numbered(file_.Write(compare_.data(), step), kReplacementWriteFailed);
      if (!written) return written;
      at += step;
    }
    return platform::Result::Ok();
  }

  platform::SourceFile& source_;
  std::vector<std::uint8_t>& compare_;
  const bool standard_;
  const bool dryRun_;
  std::u16string target_;
  platform::ReplacementFile file_;
  bool differs_ = false;
  std::int64_t matched_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace

bool Worker::Ready() {
  if (ready_) return true;
  const std::int64_t room = transcode::Transcoder::OutputRoom(kBlock);
  ready_ = pump_.AllocateInput(kBlock, transcode::Transcoder::kCarriedBytes) &&
           pump_.AllocateOutput(room);
  if (ready_) compare_.resize(static_cast<std::size_t>(std::min<std::int64_t>(room, kBlock)));
  return ready_;
}

FileResult Worker::Convert(const walk::FoundFile& file, const JobSettings& settings,
                           std::atomic<std::uint64_t>& bytesRead) {
  FileResult result;
  result.path = file.path;
  std::uint64_t counted = 0;
  auto count = [&](std::uint64_t bytes) {
    counted += bytes;
    bytesRead.fetch_add(bytes, std::memory_order_relaxed);
  };
  auto fail = [&](std::string what, int error) {
    result.status = FileStatus::Failed;
    result.what = std::move(what);
    result.error = error;
    return result;
  };
  auto outputFailed = [&](const platform::Result& cause) {
    return fail(kOutputWords[cause.errorNumber], cause.systemCode);
  };
  auto done = [&](FileStatus status) {
    result.status =
        platform::Interrupted() && status == FileStatus::Failed ? FileStatus::Interrupted : status;
    if (counted < static_cast<std::uint64_t>(file.size)) count(file.size - counted);
    return result;
  };
  if (!Ready()) return fail("cannot allocate memory", 0);

  platform::SourceFile source;
  // A named path and a walk under --follow may reach the file through a link.
  if (const platform::Result opened = source.Open(file.path, file.named || settings.follow);
      !opened) {
    return opened.systemCode == platform::kNotRegularError ? done(FileStatus::Special)
                                                           : fail("cannot open", opened.systemCode);
  }
  result.bytesIn = static_cast<std::uint64_t>(source.Size());

  std::uint8_t* const block = compare_.data();
  const auto blockSize = static_cast<std::int64_t>(compare_.size());
  if (!settings.from || settings.detectOnly) {
    detect::Detector detector;
    for (;;) {
      if (platform::Interrupted()) return done(FileStatus::Interrupted);
      std::int64_t got = 0;
      if (const platform::Result read = source.Read(block, blockSize, got); !read) {
        return fail("cannot read", read.systemCode);
      }
      if (settings.detectOnly) count(static_cast<std::uint64_t>(got));
      detector.Feed({block, static_cast<std::size_t>(got)});
      if (got < blockSize) break;
    }
    result.detection = detector.Finish();
    if (result.detection.verdict == detect::Verdict::Binary) return done(FileStatus::Binary);
    if (result.detection.verdict == detect::Verdict::Undecided) {
      return done(FileStatus::Undecided);
    }
    result.from = result.detection.encoding;
    if (settings.detectOnly) return done(FileStatus::Detected);
    if (const platform::Result rewound = source.Rewind(); !rewound) {
      return fail("cannot read", rewound.systemCode);
    }
  } else {
    result.from = settings.from;
  }

  const bool standard = settings.destination == Destination::StandardOutput;
  Output output(source, compare_, standard, settings.dryRun);
  if (settings.destination == Destination::OutDir) {
    output.Target(platform::JoinPath(settings.outDir, file.relative));
  } else if (settings.destination == Destination::InPlace) {
    std::u16string real;
    if (const platform::Result resolved = platform::RealPath(file.path, real); !resolved) {
      return fail("cannot resolve", resolved.systemCode);
    }
    output.Target(real);
  }

  // With the encoding given, a NUL byte still marks a binary file unless it is UTF-16.
  const bool watchNul = settings.from && !IsUtf16(*result.from);
  bool binary = false;
  platform::Result readCause;
  platform::Result writeCause;
  transcode::Transcoder transcoder(transcode::TranscodeOptions{
      .from = *result.from, .to = settings.to, .eol = settings.eol, .bom = settings.bom});
  const PumpEnds ends{
      .read = [&](std::uint8_t* buffer, std::int64_t want) -> std::optional<std::int64_t> {
        if (platform::Interrupted()) return std::nullopt;
        std::int64_t got = 0;
        readCause = source.Read(buffer, want, got);
        if (!readCause) return std::nullopt;
        if (watchNul && std::memchr(buffer, 0, static_cast<std::size_t>(got)) != nullptr) {
          binary = true;
          return std::nullopt;
        }
        count(static_cast<std::uint64_t>(got));
        return got;
      },
      .write =
          [&](const std::uint8_t* bytes, std::int64_t size) {
            writeCause = output.Write(bytes, size);
            return writeCause ? BlockWrite::Done : BlockWrite::Failed;
          },
  };
  pump_.SetThreads(alone_ && file.size > kBlock ? PumpThreads{} : PumpThreads{.processors = 1});
  const PumpOutcome outcome = pump_.Pump(ends, transcoder, 1, INT64_MAX, 0, std::string_view{}, 0);
  result.counts = transcoder.Counts();
  result.bytesOut = output.Written();
  if (outcome == PumpOutcome::ReadFailed) {
    if (binary) return done(FileStatus::Binary);
    if (!readCause) return fail("cannot read", readCause.systemCode);
    return done(FileStatus::Interrupted);
  }
  if (outcome == PumpOutcome::WriteFailed) return outputFailed(writeCause);
  bool differs = false;
  if (const platform::Result finished = output.Finish(differs); !finished) {
    return outputFailed(finished);
  }
  if (settings.failOnReplacement && result.counts.replacements > 0) {
    output.File().Discard();
    return fail("cannot convert without replacing " + std::to_string(result.counts.replacements) +
                    " characters",
                0);
  }
  if (!differs) return done(FileStatus::Unchanged);
  if (standard || settings.dryRun) return done(FileStatus::Converted);
  if (platform::Interrupted()) return done(FileStatus::Interrupted);
  platform::CommitSettings commit;
  commit.like = &source;
  commit.attributes = settings.destination == Destination::InPlace;
  commit.keepTime = settings.keepTime;
  if (settings.destination == Destination::InPlace && settings.backup) {
    std::u16string real;
    if (platform::RealPath(file.path, real)) commit.backup = real + *settings.backup;
  }
  if (const platform::Committed committed = output.File().Commit(commit); !committed.result) {
    return fail(CommitWords(committed.step), committed.result.systemCode);
  }
  return done(FileStatus::Converted);
}

}  // namespace kelvo::app
