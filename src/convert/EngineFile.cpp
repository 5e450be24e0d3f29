#include "convert/EngineFile.h"

#include <memory>
#include <string>

#include "drivers/ProgramRecord.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char16_t kDataFile[] = u"data.txt";
// Bytes copied at a time.
constexpr std::int64_t kCopyBlock = std::int64_t{1} << 18;
// How long a run waits for a working file that another run holds.
constexpr std::int64_t kLockWaitMilliseconds = 60000;

// Copies one file to another a block at a time; false on any failure. The target is
// written as the placement says; a replacement is put in place only when complete.
bool CopyFile(const std::u16string& from, const std::u16string& to, platform::Placement placement,
              std::int64_t& copied) {
  copied = 0;
  platform::InputFile in;
  if (!in.Open(from, platform::ReadMode::Raw)) return false;
  platform::OutputFile out;
  if (!out.Create(to, placement)) return false;
  const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[kCopyBlock]);
  for (;;) {
    const std::int64_t got = in.Read(block.get(), kCopyBlock);
    if (got < 0) {
      out.Discard();
      return false;
    }
    if (got == 0) break;
    if (!out.Write(block.get(), got)) {
      out.Discard();
      return false;
    }
    copied += got;
  }
  // The source is closed first: a replacement may take its place.
  in.Close();
  return out.Close();
}

}  // namespace

bool EngineFiles::ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                            std::int64_t limit) {
  platform::InputFile file;
  if (!file.Open(path, platform::ReadMode::Raw)) return false;
  bytes.clear();
  if (file.IsRegular()) {
    std::int64_t size = file.Size();
    if (limit >= 0 && size > limit) size = limit;
    bytes.resize(static_cast<std::size_t>(size));
    const std::int64_t got = file.ReadFully(bytes.data(), size);
    if (got < 0) return false;
    bytes.resize(static_cast<std::size_t>(got));
    return true;
  }
  // Anything else is read to its end.
  constexpr std::int64_t kChunk = 1 << 16;
  for (;;) {
    std::int64_t want = kChunk;
    if (limit >= 0)
      want = std::min<std::int64_t>(want, limit - static_cast<std::int64_t>(bytes.size()));
    if (want <= 0) return true;
    const std::size_t filled = bytes.size();
    bytes.resize(filled + static_cast<std::size_t>(want));
    const std::int64_t got = file.Read(bytes.data() + filled, want);
    if (got < 0) return false;
    bytes.resize(filled + static_cast<std::size_t>(got));
    if (got == 0) return true;
  }
}

bool EngineFiles::OpenUtf16(const std::u16string& name, int number, platform::InputFile& input,
                            std::int64_t& units, int& startIndex, std::uint8_t head[2],
                            int& headLength) {
  headLength = 0;
  std::int64_t got = -1;
  if (!name.empty() && input.Open(name, platform::ReadMode::Raw)) {
    // A regular file is sized; anything else is read to its end, and the bytes read here
    // are converted first.
    got = input.ReadFully(head, 2);
  }
  if (got < 0) {
    input.Close();
    ReportError(ErrorMessage(u"Reset()", number, name));
    return false;
  }
  headLength = static_cast<int>(got);
  startIndex = (got == 2 && head[0] == 0xFF && head[1] == 0xFE) ? 1 : 0;
  units = input.IsRegular() ? input.Size() / 2 : 0;
  return true;
}

bool EngineFiles::ShowDataFile(int readNumber) {
  platform::InputFile file;
  std::string text;
  bool ok = file.Open(kDataFile, platform::ReadMode::Text);
  char block[4096];
  while (ok) {
    std::int64_t got = file.Read(block, sizeof block);
    if (got < 0) ok = false;
    if (got <= 0) break;
    text.append(block, static_cast<std::size_t>(got));
  }
  if (!ok) {
    ReportError(ErrorMessage(u"Reset()", readNumber, kDataFile));
    return false;
  }
  // Line by line: CR LF or LF ends a line; each line is written with CR LF.
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    out.append(text, start, stop - start);
    out += "\r\n";
    start = next;
  }
  if (!platform::WriteStandardOutput(out.data(), out.size())) {
    // The report went nowhere: standard output is named by the empty name.
    ReportError(ErrorMessage(u"Rewrite()", CurrentProgram().errors.tableReport, u""));
    return false;
  }
  return true;
}

std::int64_t EngineFiles::CopyToBinaryTmp(const std::u16string& path) {
  std::int64_t copied = 0;
  if (!CopyFile(path, kBinaryTmp, platform::Placement::Truncate, copied)) {
    ReportAndStop(ErrorMessage(u"Reset()", CurrentProgram().errors.engine.copyTo, path));
  }
  return copied;
}

std::int64_t EngineFiles::CopyFromBinaryTmp(const std::u16string& path, bool keep) {
  std::int64_t copied = 0;
  // binary.tmp stays when the copy failed: it may hold the only complete text.
  if (!CopyFile(kBinaryTmp, path, platform::Placement::Replace, copied) ||
      (!keep && !platform::RemoveFile(kBinaryTmp))) {
    ReportAndStop(ErrorMessage(u"Reset()", CurrentProgram().errors.engine.copyFrom, path));
  }
  return copied;
}

void EngineFiles::RenewInputTime(const std::u16string& input, bool keep) {
  CopyToBinaryTmp(input);
  if (!platform::RenewModificationTime(input) || (!keep && !platform::RemoveFile(kBinaryTmp))) {
    ReportAndStop(ErrorMessage(u"Reset()", CurrentProgram().errors.engine.copyFrom, input));
  }
}

void EngineFiles::RefuseBinaryTmpItself(const std::u16string& input, const std::u16string& output) {
  for (const std::u16string* name : {&input, &output}) {
    if (platform::SamePlace(*name, kBinaryTmp)) {
      ReportAndStop(ErrorMessage(u"Rewrite()", CurrentProgram().errors.binaryTmpItself, *name));
    }
  }
}

void EngineFiles::LockWorkingFile(platform::FileLock& lock, const std::u16string& name) {
  if (lock.Acquire(name, kLockWaitMilliseconds) == platform::FileLock::Outcome::Busy) {
    ReportAndStop(ErrorMessage(u"Lock()", CurrentProgram().errors.lockTimeout, name));
  }
}

platform::Placement EngineFiles::PlacementFor(const std::u16string& input,
                                              const std::u16string& output) {
  return platform::SameFile(input, output) ? platform::Placement::Replace
                                           : platform::Placement::Truncate;
}

}  // namespace kelvo
