#include "tables/SearchBinary.h"

#include <array>
#include <functional>
#include <new>

#include "convert/EngineFile.h"
#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/Halt.h"
#include "support/MessagesText.h"
#include "support/PathEXE.h"
#include "support/Text.h"

namespace kelvo {

void SearchTable::SetUp(const std::u16string& tablePath, bool defaultTableOnly, bool acquireTable,
                        bool showTable) {
  tablePath_ = tablePath;
  defaultTableOnly_ = defaultTableOnly;
  acquireTable_ = acquireTable;
  showTable_ = showTable;
}

namespace {

constexpr int kDefaultProbe = 1;
constexpr int kSettingsProbe = 4;
constexpr std::int64_t kLineBlock = 4096;

void ReportReset(int number, const std::u16string& detail) {
  ReportError(ErrorMessage(u"Reset()", number, detail));
}

// A table file counts as present when it opens the way the loader will open it.
bool Present(const std::u16string& path) {
  return platform::CanOpen(path, platform::ReadMode::Raw);
}

// Probes 1 and 2: a fixed path, reported with its own number when it cannot be opened.
std::u16string ProbeFixedPath(const std::u16string& path, int number) {
  if (Present(path)) return path;
  ReportReset(number, path);
  return u"";
}

// Reads the first line of a text file (without its line end). False when the file cannot
// be opened or read; an empty file gives an empty line.
bool ReadFirstLine(const std::u16string& name, std::u16string& line) {
  platform::InputFile file;
  if (!file.Open(name, platform::ReadMode::Text)) return false;
  std::string bytes;
  std::array<char, kLineBlock> block{};
  for (;;) {
    const std::int64_t got = file.Read(block.data(), kLineBlock);
    if (got < 0) return false;
    if (got == 0) break;
    const std::size_t before = bytes.size();
    bytes.append(block.data(), static_cast<std::size_t>(got));
    if (bytes.find_first_of("\r\n", before) != std::string::npos) break;
  }
  file.Close();
  const std::size_t end = bytes.find_first_of("\r\n");
  if (end != std::string::npos) bytes.resize(end);
  line = platform::FromAnsi(bytes);
  return true;
}

// Probe 4: the file named on the first line of the program's settings file.
std::u16string ProbeSetFile(const SearchNumbers& numbers) {
  const std::u16string& settings = CurrentProgram().settingsFile;
  std::u16string line;
  if (!ReadFirstLine(settings, line)) {
    ReportReset(numbers.settingsUnreadable, settings);
    return u"";
  }
  if (line.empty()) return u"";
  if (Present(line)) return line;
  ReportReset(numbers.namedFileUnopenable, line);
  return u"";
}

// Probe 3: the directories of the program-search variable; CommandPath reports each
// directory that does not hold the table.
std::u16string ProbePathDirectories(const std::u16string& tableName) {
  CommandPath search;
  search.Initialize(true);
  return search.Search(tableName);
}

}  // namespace

std::u16string FindTableFile(const TableSearchInstance& instance, bool defaultTableOnly,
                             bool acquireTable, bool showTable, bool* reportFailed) {
  const SearchNumbers& numbers = instance.numbers;
  const std::u16string defaultPath = platform::DefaultTableDirectory() + instance.tableName;

  // Entries 1 to 4; entry 0 is not used.
  const std::array<std::function<std::u16string()>, 5> probes{
      nullptr,
      [&] { return ProbeFixedPath(defaultPath, numbers.defaultDirectory); },
      [&] { return ProbeFixedPath(instance.tableName, numbers.currentDirectory); },
      [&] { return ProbePathDirectories(instance.tableName); },
      [&] { return ProbeSetFile(numbers); },
  };

  for (int i = acquireTable ? kSettingsProbe : kDefaultProbe; i <= kSettingsProbe; ++i) {
    const std::u16string binaryTable = probes[i]();
    if (!binaryTable.empty()) {
      if (showTable) {
        MessagesTexts data;
        if (!data.WriteText(u"data.txt", binaryTable + u" is primarily accessible to " +
                                             CurrentProgram().title + u".")) {
          ReportError(ErrorMessage(u"Rewrite()", CurrentProgram().errors.tableReport, u"data.txt"));
          if (reportFailed != nullptr) *reportFailed = true;
        }
      }
      return binaryTable;
    }
    if (i == kDefaultProbe && defaultTableOnly) {
      ReportAndStop(ErrorMessage(u"Reset()", numbers.defaultOnlyStop, defaultPath));
    }
  }
  ReportAndStop(
      ErrorMessage(u"Reset()", numbers.allProbesFailed, u"i = " + ToText(kSettingsProbe)));
}

std::vector<std::uint8_t> ReadTableFile(const std::u16string& path, int recordSize,
                                        int readNumber) {
  std::vector<std::uint8_t> bytes;
  bool read = false;
  try {
    read = EngineFiles::ReadWhole(path, bytes);
  } catch (const std::bad_alloc&) {
    read = false;
  }
  if (!read) ReportAndStop(ErrorMessage(u"Reset()", readNumber, path));
  if (bytes.empty() || bytes.size() % static_cast<std::size_t>(recordSize) != 0) {
    ReportAndStop(ErrorMessage(u"FileSize()", CurrentProgram().errors.tableSize, path));
  }
  return bytes;
}

}  // namespace kelvo
