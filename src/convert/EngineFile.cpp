#include "convert/EngineFile.h"

#include <string>

#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr char16_t kBinaryTmp[] = u"binary.tmp";
constexpr char16_t kDataFile[] = u"data.txt";

// Copies one file to another in one read and one write; false on any failure.
bool CopyFile(const std::u16string& from, const std::u16string& to, std::int64_t& copied) {
  std::vector<std::uint8_t> bytes;
  if (!EngineFiles::ReadWhole(from, bytes)) return false;
  platform::OutputFile out;
  if (!out.Create(to)) return false;
  bool ok = out.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  ok = out.Close() && ok;
  copied = static_cast<std::int64_t>(bytes.size());
  return ok;
}

}  // namespace

bool EngineFiles::ReadWhole(const std::u16string& path, std::vector<std::uint8_t>& bytes,
                            std::int64_t limit) {
  platform::InputFile file;
  if (!file.Open(path, platform::ReadMode::Raw)) return false;
  std::int64_t size = platform::FileSize(path);
  if (size < 0) return false;
  if (limit >= 0 && size > limit) size = limit;
  bytes.resize(static_cast<std::size_t>(size));
  std::int64_t got = file.ReadFully(bytes.data(), size);
  if (got < 0) return false;
  bytes.resize(static_cast<std::size_t>(got));
  return true;
}

bool EngineFiles::MeasureUtf16(const std::u16string& name, int number, std::int64_t& units,
                               int& startIndex) {
  const std::int64_t size = name.empty() ? -1 : platform::FileSize(name);
  platform::InputFile input;
  std::uint8_t head[2] = {0, 0};
  std::int64_t got = -1;
  if (size >= 0 && input.Open(name, platform::ReadMode::Raw)) {
    got = input.ReadFully(head, sizeof head);
  }
  input.Close();
  if (got < 0) {
    ReportError(ErrorMessage(u"Reset()", number, name));
    return false;
  }
  startIndex = (got == 2 && head[0] == 0xFF && head[1] == 0xFE) ? 1 : 0;
  units = size / 2;
  return true;
}

bool EngineFiles::ShowDataFile(int number) {
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
    ReportError(ErrorMessage(u"Reset()", number, kDataFile));
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
  return platform::WriteStandardOutput(out.data(), out.size());
}

std::int64_t EngineFiles::CopyToBinaryTmp(const std::u16string& path, bool keep) {
  std::int64_t copied = 0;
  if (!CopyFile(path, kBinaryTmp, copied) || (!keep && !platform::RemoveFile(path))) {
    ReportAndStop(ErrorMessage(u"Reset()", CurrentProgram().errors.engine.copyTo, path));
  }
  return copied;
}

std::int64_t EngineFiles::CopyFromBinaryTmp(const std::u16string& path, bool keep) {
  std::int64_t copied = 0;
  if (!CopyFile(kBinaryTmp, path, copied) || (!keep && !platform::RemoveFile(kBinaryTmp))) {
    ReportAndStop(ErrorMessage(u"Reset()", CurrentProgram().errors.engine.copyFrom, path));
  }
  return copied;
}

int EngineFiles::WriteOutput(const std::u16string& path, const void* data, std::int64_t count) {
  platform::OutputFile out;
  bool ok = out.Create(path) && out.Write(data, count);
  ok = out.Close() && ok;
  if (!ok) {
    ReportError(ErrorMessage(u"Rewrite()", CurrentProgram().errors.engine.writeOutput, path));
    return -2;
  }
  return 0;
}

}  // namespace kelvo
