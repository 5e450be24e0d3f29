#include "convert/EngineFile.h"

#include <string>
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

// Copies one file to another a block at a time; false on any failure. The target is
// written as the placement says; a replacement is put in place only when complete.
bool CopyFile(const std::u16string& from, const std::u16string& to, platform::Placement placement) {
  platform::InputFile in;
  if (!in.Open(from, platform::ReadMode::Raw, GuardFor(from))) return false;
  platform::LargeBuffer block;
  if (!block.Allocate(kCopyBlock)) return false;
  platform::OutputFile out;
  if (!out.Create(to, placement, GuardFor(to))) return false;
  for (;;) {
    std::int64_t got = 0;
    if (!in.Read(block.Data(), kCopyBlock, got) || (got > 0 && !out.Write(block.Data(), got))) {
      out.Discard();
      return false;
    }
    if (got == 0) break;
  }
  // The source is closed first: a replacement may take its place.
  in.Close();
  return out.Close().Succeeded();
}

bool ReportReset(int number, const std::u16string& detail) {
  ReportError(ErrorMessage(u"Reset()", number, detail));
  return false;
}

}  // namespace

bool EngineFiles::ShowDataFile(int readNumber, int reportNumber) {
  std::vector<std::uint8_t> bytes;
  const ReadBounds bounds{.guard = platform::Guard::Working};
  if (!ReadWhole(kDataFile, bytes, platform::ReadMode::Text, bounds)) {
    return ReportReset(readNumber, kDataFile);
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
  if (!platform::WriteStandardOutput(out.data(), out.size())) {
    // The report went nowhere: standard output is named by the empty name.
    ReportError(ErrorMessage(u"Rewrite()", reportNumber, u""));
    return false;
  }
  return true;
}

bool EngineFiles::CopyFromBinaryTmp(const std::u16string& path, bool keep,
                                    const EngineNumbers& numbers) {
  // binary.tmp stays when the copy failed: it may hold the only complete text.
  if (!CopyFile(kBinaryTmp, path, platform::Placement::Replace) ||
      (!keep && !platform::RemoveFile(kBinaryTmp))) {
    return ReportReset(numbers.copyFrom, path);
  }
  return true;
}

bool EngineFiles::RenewInputTime(const std::u16string& input, bool keep,
                                 const EngineNumbers& numbers) {
  if (!CopyFile(input, kBinaryTmp, platform::Placement::Truncate)) {
    return ReportReset(numbers.copyTo, input);
  }
  if (!platform::RenewModificationTime(input) || (!keep && !platform::RemoveFile(kBinaryTmp))) {
    return ReportReset(numbers.copyFrom, input);
  }
  return true;
}

bool EngineFiles::BinaryTmpUsable(const std::u16string& input, const std::u16string& output,
                                  const EngineNumbers& numbers) {
  for (const std::u16string* name : {&input, &output}) {
    if (platform::SamePlace(*name, kBinaryTmp)) {
      ReportError(ErrorMessage(u"Rewrite()", numbers.binaryTmpItself, *name));
      return false;
    }
  }
  return true;
}

bool EngineFiles::LockWorkingFile(platform::FileLock& lock, const std::u16string& name,
                                  const EngineNumbers& numbers) {
  switch (lock.Acquire(name, kLockWaitMilliseconds, platform::Guard::Private)) {
    case platform::FileLock::Outcome::Busy:
      ReportError(ErrorMessage(u"Lock()", numbers.lockTimeout, name));
      return false;
    case platform::FileLock::Outcome::Refused:
      ReportError(ErrorMessage(u"Lock()", numbers.workingFile, RefusedFile(name, lock.Refused())));
      return false;
    case platform::FileLock::Outcome::Held:
    case platform::FileLock::Outcome::Unavailable:
      break;
  }
  return true;
}

platform::Placement EngineFiles::PlacementFor(const std::u16string& input,
                                              const std::u16string& output) {
  return platform::SameFile(input, output) ? platform::Placement::Replace
                                           : platform::Placement::Truncate;
}

}  // namespace kelvo
