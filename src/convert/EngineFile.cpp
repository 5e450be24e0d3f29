#include "convert/EngineFile.h"

#include <string>
#include <utility>
#include <vector>

#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/FileRead.h"
#include "support/Text.h"

namespace kelvo {

namespace {

// Bytes copied at a time.
constexpr std::int64_t kCopyBlock = std::int64_t{1} << 18;
// How long a run waits for a working file that another run holds.
constexpr std::int64_t kLockWaitMilliseconds = 60000;

// Copies one file to another a block at a time; the first failure. The target is written
// as the placement says; a replacement is put in place only when complete.
platform::Result CopyFile(const std::u16string& from, const std::u16string& to,
                          platform::Placement placement) {
  platform::InputFile in;
  if (platform::Result opened = in.Open(from, platform::ReadMode::Raw, GuardFor(from)); !opened) {
    return opened;
  }
  platform::LargeBuffer block;
  if (platform::Result had = block.Allocate(kCopyBlock); !had) return had;
  platform::OutputFile out;
  if (platform::Result created = out.Create(to, placement, GuardFor(to)); !created) {
    return created;
  }
  for (;;) {
    std::int64_t got = 0;
    platform::Result step = in.Read(block.Data(), kCopyBlock, got);
    if (step && got > 0) step = out.Write(block.Data(), got);
    if (!step) {
      out.Discard();
      return step;
    }
    if (got == 0) break;
  }
  // The source is closed first: a replacement may take its place.
  in.Close();
  return out.Close();
}

// Reports "Reset() error-<number>: <detail>" and returns the cause under that number.
platform::Result ReportReset(int number, const std::u16string& detail, platform::Result cause) {
  ReportError(ErrorMessage(u"Reset()", number, detail));
  return std::move(cause).Numbered(number);
}

// The first failure of a step and the removal of binary.tmp that follows it unless keep.
platform::Result ThenRemoveBinaryTmp(platform::Result step, bool keep) {
  if (!step || keep) return step;
  return platform::RemoveFile(kBinaryTmp);
}

}  // namespace

platform::Result EngineFiles::ShowDataFile(int readNumber, int reportNumber) {
  std::vector<std::uint8_t> bytes;
  const ReadBounds bounds{.guard = platform::Guard::Working};
  if (platform::Result read = ReadWhole(kDataFile, bytes, platform::ReadMode::Text, bounds);
      !read) {
    return ReportReset(readNumber, kDataFile, std::move(read));
  }
  // Line by line: CR LF or LF ends a line; each line is written with CR LF.
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    out.append(text.substr(start, stop - start));
    out += "\r\n";
    start = next;
  }
  platform::Result written = platform::WriteStandardOutput(out.data(), out.size());
  if (!written) {
    // The report went nowhere: standard output is named by the empty name.
    ReportError(ErrorMessage(u"Rewrite()", reportNumber, u""));
    return std::move(written).Numbered(reportNumber);
  }
  return written;
}

platform::Result EngineFiles::CopyFromBinaryTmp(const std::u16string& path, bool keep,
                                                const EngineNumbers& numbers) {
  // binary.tmp stays when the copy failed: it may hold the only complete text.
  platform::Result copied =
      ThenRemoveBinaryTmp(CopyFile(kBinaryTmp, path, platform::Placement::Replace), keep);
  if (!copied) return ReportReset(numbers.copyFrom, path, std::move(copied));
  return copied;
}

platform::Result EngineFiles::RenewInputTime(const std::u16string& input, bool keep,
                                             const EngineNumbers& numbers) {
  platform::Result copied = CopyFile(input, kBinaryTmp, platform::Placement::Truncate);
  if (!copied) return ReportReset(numbers.copyTo, input, std::move(copied));
  platform::Result renewed = ThenRemoveBinaryTmp(platform::RenewModificationTime(input), keep);
  if (!renewed) return ReportReset(numbers.copyFrom, input, std::move(renewed));
  return renewed;
}

platform::Result EngineFiles::BinaryTmpUsable(const std::u16string& input,
                                              const std::u16string& output,
                                              const EngineNumbers& numbers) {
  for (const std::u16string* name : {&input, &output}) {
    if (platform::SamePlace(*name, kBinaryTmp)) {
      ReportError(ErrorMessage(u"Rewrite()", numbers.binaryTmpItself, *name));
      return platform::Result::Failed(platform::Step::Open, *name)
          .Numbered(numbers.binaryTmpItself);
    }
  }
  return platform::Result::Ok();
}

platform::Result EngineFiles::LockWorkingFile(platform::FileLock& lock, const std::u16string& name,
                                              const EngineNumbers& numbers) {
  platform::FileLock::Acquired acquired =
      lock.Acquire(name, kLockWaitMilliseconds, platform::Guard::Private);
  switch (acquired.outcome) {
    case platform::FileLock::Outcome::Busy:
      ReportError(ErrorMessage(u"Lock()", numbers.lockTimeout, name));
      return std::move(acquired.result).Numbered(numbers.lockTimeout);
    case platform::FileLock::Outcome::Refused:
      ReportError(
          ErrorMessage(u"Lock()", numbers.workingFile, RefusedFile(name, acquired.result.refused)));
      return std::move(acquired.result).Numbered(numbers.workingFile);
    case platform::FileLock::Outcome::Held:
    case platform::FileLock::Outcome::Unavailable:
      break;
  }
  return platform::Result::Ok();
}

platform::Placement EngineFiles::PlacementFor(const std::u16string& input,
                                              const std::u16string& output) {
  return platform::SameFile(input, output) ? platform::Placement::Replace
                                           : platform::Placement::Truncate;
}

}  // namespace kelvo
