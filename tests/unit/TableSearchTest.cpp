// The table file search: every probe order, the switches -d, -a and -w, the error-log files
// each case leaves and whether a table was found.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "TestSystem.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"
#include "tables/SearchBinary.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::ScopedVariable;
using test::TempDir;

// One instance stands for all: what differs between the instances is their record.
const CodeTableRecord& kRecord = kBrenodax.engine.table;

enum class Settings { None, EmptyLine, NamesPresent, NamesMissing };
enum class Found { Default, Current, Path, Named, Nothing };
// The messages a search can leave, in the order they are written.
enum class Log {
  DefaultProbe,
  CurrentProbe,
  PathCandidate,
  Unreadable,
  NamedMissing,
  DefaultOnly,
  AllFailed
};

struct Scenario {
  const char* name;
  const char* places;    // where the table is: D(efault directory), C(urrent), P(ATH)
  Settings settings;     // the settings file
  const char* switches;  // d, a, w
  Found found;
  std::vector<Log> logs;
};

// Test output names a case instead of dumping its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

using L = Log;
using S = Settings;
const Scenario kScenarios[] = {
    {"DefaultWinsOverCurrent", "DCP", S::NamesPresent, "", Found::Default, {}},
    {"CurrentAfterDefault", "CP", S::NamesPresent, "", Found::Current, {L::DefaultProbe}},
    {"PathAfterCurrent", "P", S::NamesPresent, "", Found::Path, {L::DefaultProbe, L::CurrentProbe}},
    {"SettingsLast",
     "",
     S::NamesPresent,
     "",
     Found::Named,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate}},
    {"NothingNoSettingsFile",
     "",
     S::None,
     "",
     Found::Nothing,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate, L::Unreadable, L::AllFailed}},
    {"NothingEmptyFirstLine",
     "",
     S::EmptyLine,
     "",
     Found::Nothing,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate, L::AllFailed}},
    {"NothingNamedMissing",
     "",
     S::NamesMissing,
     "",
     Found::Nothing,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate, L::NamedMissing, L::AllFailed}},
    {"DefaultOnlyFound", "DCP", S::NamesPresent, "d", Found::Default, {}},
    {"DefaultOnlyStops",
     "CP",
     S::NamesPresent,
     "d",
     Found::Nothing,
     {L::DefaultProbe, L::DefaultOnly}},
    {"AcquireTakesNamedFile", "DCP", S::NamesPresent, "a", Found::Named, {}},
    {"AcquireEmptyFirstLine", "DCP", S::EmptyLine, "a", Found::Nothing, {L::AllFailed}},
    {"AcquireNamedMissing",
     "DCP",
     S::NamesMissing,
     "a",
     Found::Nothing,
     {L::NamedMissing, L::AllFailed}},
    {"AcquireNoSettingsFile", "DCP", S::None, "a", Found::Nothing, {L::Unreadable, L::AllFailed}},
    {"AcquireWithDefaultOnlyIsAcquire", "", S::NamesPresent, "da", Found::Named, {}},
    {"AcquireWithDefaultOnlyFailing",
     "DCP",
     S::None,
     "da",
     Found::Nothing,
     {L::Unreadable, L::AllFailed}},
    {"ShowDefault", "D", S::None, "w", Found::Default, {}},
    {"ShowCurrent", "C", S::None, "w", Found::Current, {L::DefaultProbe}},
    {"ShowNamed", "", S::NamesPresent, "aw", Found::Named, {}},
    {"ShowNothingFound", "", S::EmptyLine, "dw", Found::Nothing, {L::DefaultProbe, L::DefaultOnly}},
};

class TableSearch : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    defaultDir_ = platform::ToAnsi(platform::DefaultTableDirectory());
    fs::create_directories(defaultDir_);
    fs::remove(defaultDir_ + Table());
    pathDir_ = (dir_.path() / "onpath").string();
    fs::create_directories(pathDir_);
    fs::create_directories("named");
    path_.Set(pathDir_);
  }
  void TearDown() override { fs::remove(defaultDir_ + Table()); }

  static std::string Table() { return platform::ToAnsi(kRecord.search.tableName); }
  static std::string Message(int number, const std::string& detail) {
    return "Reset() error-" + std::to_string(number) + ": " + detail;
  }

  TempDir dir_;
  ScopedVariable path_{test::kSearchVariable, std::nullopt};
  std::string defaultDir_;
  std::string pathDir_;
};

TEST_P(TableSearch, ProbesAndReports) {
  const Scenario& s = GetParam();
  const SearchNumbers& numbers = kRecord.search.numbers;
  const std::string table = Table();
  const std::string defaultPath = defaultDir_ + table;
  const std::string pathCandidate =
      pathDir_ + platform::ToAnsi(std::u16string(1, platform::DirectorySeparator())) + table;
  const std::string named = "named/" + table;
  const std::string missing = "missing/" + table;
  const std::string settings = platform::ToAnsi(kRecord.tables.settingsFile);
  const std::string places = s.places;
  const std::string switches = s.switches;

  if (places.find('D') != std::string::npos) TempDir::Write(defaultPath, "default");
  if (places.find('C') != std::string::npos) TempDir::Write(table, "current");
  if (places.find('P') != std::string::npos) TempDir::Write(pathCandidate, "path");
  TempDir::Write(named, "named");
  switch (s.settings) {
    case Settings::None:
      break;
    case Settings::EmptyLine:
      TempDir::Write(settings, "\r\n-w\r\n");
      break;
    case Settings::NamesPresent:
      TempDir::Write(settings, named + "\r\n-s\r\n");
      break;
    case Settings::NamesMissing:
      TempDir::Write(settings, missing + "\n");
      break;
  }
  TempDir::Write("data.txt", "an earlier, longer report that must disappear");

  const SearchTable search{.defaultTableOnly = switches.find('d') != std::string::npos,
                           .acquireTable = switches.find('a') != std::string::npos,
                           .showTable = switches.find('w') != std::string::npos};
  const std::optional<FoundTable> found = FindTableFile(kRecord.search, search, kRecord.tables);
  const std::string expected[] = {defaultPath, table, pathCandidate, named, ""};
  EXPECT_EQ(found ? platform::ToAnsi(found->path) : "", expected[static_cast<int>(s.found)]);
  EXPECT_TRUE(!found || found->report);

  std::vector<std::string> logs;
  for (Log log : s.logs) {
    switch (log) {
      case L::DefaultProbe:
        logs.push_back(Message(numbers.defaultDirectory, defaultPath));
        break;
      case L::CurrentProbe:
        logs.push_back(Message(numbers.currentDirectory, table));
        break;
      case L::PathCandidate:
        logs.push_back(Message(kRecord.tables.path.candidate, pathCandidate));
        break;
      case L::Unreadable:
        logs.push_back(Message(numbers.settingsUnreadable, settings));
        break;
      case L::NamedMissing:
        logs.push_back(Message(numbers.namedFileUnopenable, missing));
        break;
      case L::DefaultOnly:
        logs.push_back(Message(numbers.defaultOnlyStop, defaultPath));
        break;
      case L::AllFailed:
        logs.push_back(Message(numbers.allProbesFailed, "i = 4"));
        break;
    }
  }
  EXPECT_EQ(TempDir::ErrorMessages(), logs);

  const std::string data = TempDir::Read("data.txt");
  if (search.showTable && s.found != Found::Nothing) {
    EXPECT_EQ(data, expected[static_cast<int>(s.found)] + " is primarily accessible to " +
                        platform::ToAnsi(kRecord.tables.title) + ".");
  } else {
    EXPECT_EQ(data, "an earlier, longer report that must disappear");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TableSearch, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TableSearchSettings, FirstLineIsTakenAsWritten) {
  TempDir dir;
  ScopedVariable path(test::kSearchVariable, std::nullopt);
  // Trailing blanks belong to the name; only the line end is removed.
  const std::string settings = platform::ToAnsi(kRecord.tables.settingsFile);
  TempDir::Write(settings, "table.bin \r\n");
  TempDir::Write("table.bin", "x");
#ifndef _WIN32
  // Windows drops trailing blanks from file names, so there both names open one file.
  EXPECT_EQ(FindTableFile(kRecord.search, {.acquireTable = true}, kRecord.tables), std::nullopt);
  EXPECT_EQ(TempDir::ErrorMessages(), (std::vector<std::string>{"Reset() error-163: table.bin ",
                                                                "Reset() error-169: i = 4"}));
  TempDir::Write("table.bin ", "x");
#endif
  const std::optional<FoundTable> spaced =
      FindTableFile(kRecord.search, {.acquireTable = true}, kRecord.tables);
  ASSERT_TRUE(spaced);
  EXPECT_EQ(spaced->path, u"table.bin ");

  // An empty settings file names no table.
  TempDir::Write(settings, "");
  EXPECT_EQ(FindTableFile(kRecord.search, {.acquireTable = true}, kRecord.tables), std::nullopt);
  EXPECT_EQ(TempDir::ErrorMessages().back(), "Reset() error-169: i = 4");
}

// A table that is found but cannot be a table: no whole number of records, or nothing.
TEST(TableSearchSettings, ReadingRefusesWhatIsNoTable) {
  TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"12345", ""},
      {"1234567890", ""},
      {"1234", "FileSize() error-195: t.bin"},
      {"", "FileSize() error-195: t.bin"},
  };
  for (const auto& [content, message] : cases) {
    TempDir::Write("t.bin", content);
    // Read by its name, and from the file a search handed over opened: the same reports.
    for (const bool opened : {false, true}) {
      platform::InputFile file;
      ASSERT_TRUE(file.Open(u"t.bin", platform::ReadMode::Raw, platform::Guard::Steering));
      std::vector<std::uint8_t> bytes;
      EXPECT_EQ(ReadTableFile(u"t.bin", 5, 178, kRecord.tables, bytes, opened ? &file : nullptr)
                    .Succeeded(),
                message.empty());
      EXPECT_EQ(TempDir::ErrorMessages().empty() ? "" : TempDir::ErrorMessages().back(), message);
      for (const auto& log : TempDir::ErrorLogs()) fs::remove(log);
    }
  }
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(ReadTableFile(u"missing.bin", 5, 178, kRecord.tables, bytes));
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{"Reset() error-178: missing.bin"});
}

// The search hands the file it judged to the loader: a file put in its place afterwards is
// not the one read, whichever probe found it.
TEST(TableSearchSettings, LoaderReadsTheFileTheSearchJudged) {
  TempDir dir;
  ScopedVariable path(test::kSearchVariable, std::nullopt);
  const std::string table = platform::ToAnsi(kRecord.search.tableName);
  const struct {
    const char* name;
    SearchTable switches;
    std::string file;  // where the table stands
  } cases[] = {
      {"current directory", {}, table},
      {"named by the settings file", {.acquireTable = true}, "named.bin"},
  };
  TempDir::Write(platform::ToAnsi(kRecord.tables.settingsFile), "named.bin\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir::Write(c.file, "judge");
    const std::optional<FoundTable> found =
        FindTableFile(kRecord.search, c.switches, kRecord.tables);
    ASSERT_TRUE(found);
    ASSERT_NE(found->file, nullptr);
#ifndef _WIN32
    // Windows does not replace a file held open.
    TempDir::Write("swap", "swapped!!!");
    fs::rename("swap", c.file);
#endif
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadTableFile(found->path, 5, 178, kRecord.tables, bytes, found->file.get()));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "judge");
    fs::remove(c.file);
  }
}

}  // namespace
}  // namespace kelvo
