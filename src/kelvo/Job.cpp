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

// Where the converted bytes go: standard output, or compared with the input and, from the
// first difference on, into a replacement (none in a dry run).
class Output {
 public:
  Output(platform::SourceFile& source, std::vector<std::uint8_t>& compare, bool standard,
         bool dryRun)
      : source_(source), compare_(compare), standard_(standard), dryRun_(dryRun) {}

  void Target(std::u16string target) { target_ = std::move(target); }

  bool Write(const std::uint8_t* bytes, std::int64_t count) {
    written_ += static_cast<std::uint64_t>(count);
    if (standard_) {
      if (platform::WriteStandardOutput(bytes, static_cast<std::size_t>(count))) return true;
      what_ = "cannot write to standard output";
      return false;
    }
    while (!differs_ && count > 0) {
      const std::int64_t step = std::min<std::int64_t>(count, compare_.size());
      const std::int64_t got = source_.ReadAt(matched_, compare_.data(), step, error_);
      if (got < 0) {
        what_ = "cannot read";
        return false;
      }
      if (got != step || std::memcmp(compare_.data(), bytes, static_cast<std::size_t>(step)) != 0) {
        if (!Begin()) return false;
        break;
      }
      matched_ += step;
      bytes += step;
      count -= step;
    }
    if (count == 0 || dryRun_) return true;
    if (!file_.Write(bytes, count, error_)) {
      what_ = "cannot write";
      return false;
    }
    return true;
  }

  // After the last block: whether the output differs from the input at all.
  [[nodiscard]] bool Finish(bool& differs) {
    if (!standard_ && !differs_) {
      std::uint8_t byte = 0;
      const std::int64_t more = source_.ReadAt(matched_, &byte, 1, error_);
      if (more < 0) {
        what_ = "cannot read";
        return false;
      }
      if (more > 0 && !Begin()) return false;
    }
    differs = differs_ || standard_;
    return true;
  }

  platform::ReplacementFile& File() { return file_; }
  std::uint64_t Written() const { return written_; }
  const std::string& What() const { return what_; }
  int Error() const { return error_; }

 private:
  // The first difference: the replacement begins with the equal bytes so far.
  bool Begin() {
    differs_ = true;
    if (dryRun_) return true;
    // The directory is made only when it is missing: most files of a tree share theirs.
    if (!file_.Create(target_, error_)) {
      int error = 0;
      if (!platform::MakeDirectories(platform::ParentOf(target_), error)) {
        error_ = error;
        what_ = "cannot make the directory";
        return false;
      }
      if (!file_.Create(target_, error_)) {
        what_ = "cannot create a temporary file";
        return false;
      }
    }
    for (std::int64_t at = 0; at < matched_;) {
      const std::int64_t step = std::min<std::int64_t>(matched_ - at, compare_.size());
      const std::int64_t got = source_.ReadAt(at, compare_.data(), step, error_);
      if (got != step) {
        what_ = "cannot read";
        return false;
      }
      if (!file_.Write(compare_.data(), step, error_)) {
        what_ = "cannot write";
        return false;
      }
      at += step;
    }
    return true;
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
  std::string what_;
  int error_ = 0;
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
  auto done = [&](FileStatus status) {
    result.status =
        platform::Interrupted() && status == FileStatus::Failed ? FileStatus::Interrupted : status;
    if (counted < static_cast<std::uint64_t>(file.size)) count(file.size - counted);
    return result;
  };
  if (!Ready()) return fail("cannot allocate memory", 0);

  platform::SourceFile source;
  int error = 0;
  // A named path and a walk under --follow may reach the file through a link.
  if (!source.Open(file.path, file.named || settings.follow, error)) {
    return error == platform::kNotRegularError ? done(FileStatus::Special)
                                               : fail("cannot open", error);
  }
  result.bytesIn = static_cast<std::uint64_t>(source.Size());

  std::uint8_t* const block = compare_.data();
  const auto blockSize = static_cast<std::int64_t>(compare_.size());
  if (!settings.from || settings.detectOnly) {
    detect::Detector detector;
    for (;;) {
      if (platform::Interrupted()) return done(FileStatus::Interrupted);
      const std::int64_t got = source.Read(block, blockSize, error);
      if (got < 0) return fail("cannot read", error);
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
    if (!source.Rewind(error)) return fail("cannot read", error);
  } else {
    result.from = settings.from;
  }

  const bool standard = settings.destination == Destination::StandardOutput;
  Output output(source, compare_, standard, settings.dryRun);
  if (settings.destination == Destination::OutDir) {
    output.Target(platform::JoinPath(settings.outDir, file.relative));
  } else if (settings.destination == Destination::InPlace) {
    std::u16string real;
    if (!platform::RealPath(file.path, real, error)) return fail("cannot resolve", error);
    output.Target(real);
  }

  // With the encoding given, a NUL byte still marks a binary file unless it is UTF-16.
  const bool watchNul = settings.from && !IsUtf16(*result.from);
  bool binary = false;
  bool readFailed = false;
  transcode::Transcoder transcoder(transcode::TranscodeOptions{
      .from = *result.from, .to = settings.to, .eol = settings.eol, .bom = settings.bom});
  const PumpEnds ends{
      .read = [&](std::uint8_t* buffer, std::int64_t want) -> std::optional<std::int64_t> {
        if (platform::Interrupted()) return std::nullopt;
        const std::int64_t got = source.Read(buffer, want, error);
        if (got < 0) {
          readFailed = true;
          return std::nullopt;
        }
        if (watchNul && std::memchr(buffer, 0, static_cast<std::size_t>(got)) != nullptr) {
          binary = true;
          return std::nullopt;
        }
        count(static_cast<std::uint64_t>(got));
        return got;
      },
      .write =
          [&](const std::uint8_t* bytes, std::int64_t size) {
            return output.Write(bytes, size) ? BlockWrite::Done : BlockWrite::Failed;
          },
  };
  pump_.SetThreads(alone_ && file.size > kBlock ? PumpThreads{} : PumpThreads{.processors = 1});
  const PumpOutcome outcome = pump_.Pump(ends, transcoder, 1, INT64_MAX, 0, std::string_view{}, 0);
  result.counts = transcoder.Counts();
  result.bytesOut = output.Written();
  if (outcome == PumpOutcome::ReadFailed) {
    if (binary) return done(FileStatus::Binary);
    if (readFailed) return fail("cannot read", error);
    return done(FileStatus::Interrupted);
  }
  if (outcome == PumpOutcome::WriteFailed) return fail(output.What(), output.Error());
  bool differs = false;
  if (!output.Finish(differs)) return fail(output.What(), output.Error());
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
    if (platform::RealPath(file.path, real, error)) commit.backup = real + *settings.backup;
  }
  std::string what;
  if (!output.File().Commit(commit, error, what)) return fail(what, error);
  return done(FileStatus::Converted);
}

}  // namespace kelvo::app
