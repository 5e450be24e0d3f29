#include "tables/SearchBinary.h"

#include <array>
#include <functional>

#include "platform/Platform.h"
#include "support/ErrorText.h"
#include "support/FileNames.h"
#include "support/FileRead.h"
#include "support/MessagesText.h"
#include "support/Text.h"

namespace kelvo {

namespace {

constexpr int kDefaultProbe = 1;
constexpr int kSettingsProbe = 4;

void ReportReset(int number, const std::u16string& detail, const platform::Result& cause = {}) {
  ReportError(ErrorMessage(u"Reset()", number, detail), cause);
}

enum class Probed { Present, Missing, Refused };

// What examining a path found, and the file when it is present.
struct Examined {
  Probed probed;
  OpenTable file;
};

// A table file counts as present when it opens the way the loader reads it, and is a
// regular file that no stranger could have planted. A refused one is reported with
// refusedNumber and counts as missing. A present file is handed over still open: the loader
// reads the very file that was judged, without opening the name again.
Examined Examine(const std::u16string& path, int refusedNumber) {
  auto file = std::make_shared<platform::InputFile>();
  const platform::Result opened =
      file->Open(path, platform::ReadMode::Raw, platform::Guard::Steering);
  if (opened) return {.probed = Probed::Present, .file = std::move(file)};
  if (opened.refused == platform::Refusal::None) return {.probed = Probed::Missing, .file = {}};
  ReportReset(refusedNumber, RefusedFile(path, opened.refused), opened);
  return {.probed = Probed::Refused, .file = {}};
}

// The table at path, as Examine found it; none when it is not present.
std::optional<FoundTable> Found(const std::u16string& path, Examined examined) {
  if (examined.probed != Probed::Present) return std::nullopt;
  return FoundTable{.path = path, .file = std::move(examined.file), .report = {}};
}

// As Examine, and a missing file is reported with number.
std::optional<FoundTable> Present(const std::u16string& path, int number, int refusedNumber) {
  Examined examined = Examine(path, refusedNumber);
  if (examined.probed == Probed::Missing) ReportReset(number, path);
  return Found(path, std::move(examined));
}

// Probe 1: the default directory, then the fallback directory where the system has one. A
// table in either is a normal run; only when neither holds it is the default path reported
// missing (a refused file is reported as refused wherever it stands).
std::optional<FoundTable> ProbeDefaultDirectories(const std::u16string& defaultPath,
                                                  const std::u16string& tableName, int number,
                                                  int refusedNumber) {
  Examined first = Examine(defaultPath, refusedNumber);
  const Probed probed = first.probed;
  if (probed == Probed::Present) return Found(defaultPath, std::move(first));
  const std::u16string fallback = platform::FallbackTableDirectory();
  if (!fallback.empty()) {
    const std::u16string path = fallback + tableName;
    if (std::optional<FoundTable> found = Found(path, Examine(path, refusedNumber))) return found;
  }
  if (probed == Probed::Missing) ReportReset(number, defaultPath);
  return std::nullopt;
}

// Probe 4: the file named on the first line of the program's settings file.
std::optional<FoundTable> ProbeSetFile(const SearchNumbers& numbers,
                                       const std::u16string& settings) {
  std::u16string line;
  const platform::Result read = ReadFirstLine(settings, line, platform::Guard::Steering);
  if (!read) {
    if (read.refused != platform::Refusal::None) {
      ReportReset(numbers.refused, RefusedFile(settings, read.refused), read);
    } else {
      ReportReset(numbers.settingsUnreadable, settings, read);
    }
    return std::nullopt;
  }
  if (line.empty()) return std::nullopt;
  return Present(line, numbers.namedFileUnopenable, numbers.refused);
}

// Probe 3: the directories of the program-search variable; CommandPath reports each
// directory that does not hold the table. The file found is opened again by its reader.
std::optional<FoundTable> ProbePathDirectories(const std::u16string& tableName,
                                               const CommandPathNumbers& numbers) {
  CommandPath search(numbers);
  search.Initialize();
  std::optional<std::u16string> path = search.Search(tableName);
  if (!path) return std::nullopt;
  return FoundTable{.path = std::move(*path), .file = nullptr, .report = {}};
}

}  // namespace

std::optional<FoundTable> FindTableFile(const TableSearchInstance& instance,
                                        const SearchTable& switches, const TableRecord& record) {
  const SearchNumbers& numbers = instance.numbers;
  const std::u16string defaultPath = platform::DefaultTableDirectory() + instance.tableName;

  // Entries 1 to 4; entry 0 is not used.
  const std::array<std::function<std::optional<FoundTable>()>, 5> probes{
      nullptr,
      [&] {
        return ProbeDefaultDirectories(defaultPath, instance.tableName, numbers.defaultDirectory,
                                       numbers.refused);
      },
      // Probe 2: the table's name in the current directory.
      [&] { return Present(instance.tableName, numbers.currentDirectory, numbers.refused); },
      [&] { return ProbePathDirectories(instance.tableName, record.path); },
      [&] { return ProbeSetFile(numbers, record.settingsFile); },
  };

  for (int i = switches.acquireTable ? kSettingsProbe : kDefaultProbe; i <= kSettingsProbe; ++i) {
    std::optional<FoundTable> found = probes[i]();
    if (found) {
      if (!switches.showTable) return found;
      const platform::Result shown = MessagesTexts().WriteText(
          kDataFile, found->path + u" is primarily accessible to " + record.title + u".");
      if (!shown) {
        ReportError(ErrorMessage(u"Rewrite()", record.tableReport, kDataFile), shown);
        found->report = platform::Result::Failed(platform::Step::Write, kDataFile, shown.systemCode)
                            .Numbered(record.tableReport);
      }
      return found;
    }
    if (i == kDefaultProbe && switches.defaultTableOnly) {
      ReportReset(numbers.defaultOnlyStop, defaultPath);
      return std::nullopt;
    }
  }
  ReportError(ErrorMessage(u"Reset()", numbers.allProbesFailed, u"i = " + ToText(kSettingsProbe)));
  return std::nullopt;
}

platform::Result ReadTableFile(const std::u16string& path, int recordSize, int readNumber,
                               const TableRecord& record, std::vector<std::uint8_t>& bytes,
                               platform::InputFile* opened) {
  const ReadBounds bounds{.guard = platform::Guard::Steering,
                          .limit = kMostTableRecords * recordSize};
  const platform::Result read = opened != nullptr
                                    ? ReadOpened(*opened, path, bytes, bounds.limit)
                                    : ReadWhole(path, bytes, platform::ReadMode::Raw, bounds);
  const platform::Refusal why = read.refused;
  if (why == platform::Refusal::TooLarge) {
    ReportError(ErrorMessage(u"FileSize()", record.tableSize, path), read);
    return read;
  }
  if (!read) {
    ReportReset(readNumber, why != platform::Refusal::None ? RefusedFile(path, why) : path, read);
    return read;
  }
  if (bytes.empty() || bytes.size() % static_cast<std::size_t>(recordSize) != 0) {
    ReportError(ErrorMessage(u"FileSize()", record.tableSize, path));
    return platform::Result::Failed(platform::Step::Load, path);
  }
  return platform::Result::Ok();
}

CodeTableFile ReadCodeTable(const SearchTable& switches, const CodeTableRecord& record,
                            int recordSize) {
  CodeTableFile file;
  const std::optional<FoundTable> found = FindTableFile(record.search, switches, record.tables);
  if (!found) {
    file.read = platform::Result::Failed(platform::Step::Load, record.search.tableName);
    return file;
  }
  file.report = found->report;
  file.read = ReadTableFile(found->path, recordSize, record.tableRead, record.tables, file.bytes,
                            found->file.get());
  return file;
}

}  // namespace kelvo
