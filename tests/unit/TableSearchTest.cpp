// The table file search in each of its five instances: every probe order, the switches
// -d, -a and -w, the error-log files each case leaves and the exit code.
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
#include "support/Halt.h"
#include "tables/SearchBinary.h"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Instance {
  const char* name;
  const ProgramRecord* program;
  SearchNumbers ProgramRecord::Errors::*numbers;
  std::string table;
};

const Instance kInstances[] = {
    {"TamorlekCode", &kTamorlek, &ProgramRecord::Errors::codeTable, "UTF16~EUC-JP.bin"},
    {"TamorlekDerivation", &kTamorlek, &ProgramRecord::Errors::derivationSource,
     "MS932~EUC-JP.bin"},
    {"BrenodaxCode", &kBrenodax, &ProgramRecord::Errors::codeTable, "EUC-JP~UTF16.bin"},
    {"BrenodaxDerivation", &kBrenodax, &ProgramRecord::Errors::derivationSource,
     "MS932~EUC-JP.bin"},
    {"QuilvarCode", &kQuilvar, &ProgramRecord::Errors::codeTable, "EUC-JP~Shift_JIS.bin"},
};

enum class Settings { None, EmptyLine, NamesPresent, NamesMissing };
enum class Found { Default, Current, Path, Named, Stop };
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
  bool inDefault, inCurrent, inPath;
  Settings settings;
  bool d, a, w;
  Found found;
  std::vector<Log> logs;
};

// Test output names a case instead of dumping its bytes.
void PrintTo(const Instance& instance, std::ostream* out) {
  *out << instance.name;
}
void PrintTo(const Scenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

using L = Log;
const Scenario kScenarios[] = {
    {"DefaultWinsOverCurrent",
     true,
     true,
     true,
     Settings::NamesPresent,
     false,
     false,
     false,
     Found::Default,
     {}},
    {"CurrentAfterDefault",
     false,
     true,
     true,
     Settings::NamesPresent,
     false,
     false,
     false,
     Found::Current,
     {L::DefaultProbe}},
    {"PathAfterCurrent",
     false,
     false,
     true,
     Settings::NamesPresent,
     false,
     false,
     false,
     Found::Path,
     {L::DefaultProbe, L::CurrentProbe}},
    {"SettingsLast",
     false,
     false,
     false,
     Settings::NamesPresent,
     false,
     false,
     false,
     Found::Named,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate}},
    {"NothingNoSettingsFile",
     false,
     false,
     false,
     Settings::None,
     false,
     false,
     false,
     Found::Stop,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate, L::Unreadable, L::AllFailed}},
    {"NothingEmptyFirstLine",
     false,
     false,
     false,
     Settings::EmptyLine,
     false,
     false,
     false,
     Found::Stop,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate, L::AllFailed}},
    {"NothingNamedMissing",
     false,
     false,
     false,
     Settings::NamesMissing,
     false,
     false,
     false,
     Found::Stop,
     {L::DefaultProbe, L::CurrentProbe, L::PathCandidate, L::NamedMissing, L::AllFailed}},
    {"DefaultOnlyFound",
     true,
     true,
     true,
     Settings::NamesPresent,
     true,
     false,
     false,
     Found::Default,
     {}},
    {"DefaultOnlyStops",
     false,
     true,
     true,
     Settings::NamesPresent,
     true,
     false,
     false,
     Found::Stop,
     {L::DefaultProbe, L::DefaultOnly}},
    {"AcquireTakesNamedFile",
     true,
     true,
     true,
     Settings::NamesPresent,
     false,
     true,
     false,
     Found::Named,
     {}},
    {"AcquireEmptyFirstLine",
     true,
     true,
     true,
     Settings::EmptyLine,
     false,
     true,
     false,
     Found::Stop,
     {L::AllFailed}},
    {"AcquireNamedMissing",
     true,
     true,
     true,
     Settings::NamesMissing,
     false,
     true,
     false,
     Found::Stop,
     {L::NamedMissing, L::AllFailed}},
    {"AcquireNoSettingsFile",
     true,
     true,
     true,
     Settings::None,
     false,
     true,
     false,
     Found::Stop,
     {L::Unreadable, L::AllFailed}},
    {"AcquireWithDefaultOnlyIsAcquire",
     false,
     false,
     false,
     Settings::NamesPresent,
     true,
     true,
     false,
     Found::Named,
     {}},
    {"AcquireWithDefaultOnlyFailing",
     true,
     true,
     true,
     Settings::None,
     true,
     true,
     false,
     Found::Stop,
     {L::Unreadable, L::AllFailed}},
    {"ShowDefault", true, false, false, Settings::None, false, false, true, Found::Default, {}},
    {"ShowCurrent",
     false,
     true,
     false,
     Settings::None,
     false,
     false,
     true,
     Found::Current,
     {L::DefaultProbe}},
    {"ShowNamed", false, false, false, Settings::NamesPresent, false, true, true, Found::Named, {}},
    {"ShowNothingFound",
     false,
     false,
     false,
     Settings::EmptyLine,
     true,
     false,
     true,
     Found::Stop,
     {L::DefaultProbe, L::DefaultOnly}},
};

class TableSearch : public ::testing::TestWithParam<std::tuple<Instance, Scenario>> {
 protected:
  void SetUp() override {
    const Instance& instance = std::get<0>(GetParam());
    SetCurrentProgram(*instance.program);
    numbers_ = instance.program->errors.*instance.numbers;
    defaultDir_ = platform::ToAnsi(platform::DefaultTableDirectory());
    fs::create_directories(defaultDir_);
    fs::remove(defaultDir_ + instance.table);
    pathDir_ = (dir_.path() / "onpath").string();
    fs::create_directories(pathDir_);
    fs::create_directories("named");
    test::SetEnvironment(test::kSearchVariable, pathDir_.c_str());
  }
  void TearDown() override { fs::remove(defaultDir_ + std::get<0>(GetParam()).table); }

  std::string Message(int number, const std::string& detail) const {
    return "Reset() error-" + std::to_string(number) + ": " + detail;
  }

  TempDir dir_;
  SearchNumbers numbers_{};
  std::string defaultDir_;
  std::string pathDir_;
};

TEST_P(TableSearch, ProbesAndReports) {
  const auto& [instance, s] = GetParam();
  const std::string table = instance.table;
  const std::string defaultPath = defaultDir_ + table;
  const std::string pathCandidate =
      pathDir_ + platform::ToAnsi(std::u16string(1, platform::DirectorySeparator())) + table;
  const std::string named = "named/" + table;
  const std::string missing = "missing/" + table;
  const std::string& settings = platform::ToAnsi(instance.program->settingsFile);
  const std::string title = platform::ToAnsi(instance.program->title);

  if (s.inDefault) TempDir::Write(defaultPath, "default");
  if (s.inCurrent) TempDir::Write(table, "current");
  if (s.inPath) TempDir::Write(pathCandidate, "path");
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

  std::optional<std::string> result;
  int exitCode = 0;
  try {
    result = platform::ToAnsi(FindTableFile({platform::FromAnsi(table), numbers_}, s.d, s.a, s.w));
  } catch (const Halt& halt) {
    exitCode = halt.exitCode;
  }

  std::string expected;
  switch (s.found) {
    case Found::Default:
      expected = defaultPath;
      break;
    case Found::Current:
      expected = table;
      break;
    case Found::Path:
      expected = pathCandidate;
      break;
    case Found::Named:
      expected = named;
      break;
    case Found::Stop:
      break;
  }
  if (s.found == Found::Stop) {
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(exitCode, 1);
  } else {
    EXPECT_EQ(result, expected);
  }

  std::vector<std::string> logs;
  for (Log log : s.logs) {
    switch (log) {
      case L::DefaultProbe:
        logs.push_back(Message(numbers_.defaultDirectory, defaultPath));
        break;
      case L::CurrentProbe:
        logs.push_back(Message(numbers_.currentDirectory, table));
        break;
      case L::PathCandidate:
        logs.push_back(Message(instance.program->errors.pathCandidate, pathCandidate));
        break;
      case L::Unreadable:
        logs.push_back(Message(numbers_.settingsUnreadable, settings));
        break;
      case L::NamedMissing:
        logs.push_back(Message(numbers_.namedFileUnopenable, missing));
        break;
      case L::DefaultOnly:
        logs.push_back(Message(numbers_.defaultOnlyStop, defaultPath));
        break;
      case L::AllFailed:
        logs.push_back(Message(numbers_.allProbesFailed, "i = 4"));
        break;
    }
  }
  EXPECT_EQ(TempDir::ErrorMessages(), logs);

  const std::string data = TempDir::Read("data.txt");
  if (s.w && s.found != Found::Stop) {
    EXPECT_EQ(data, expected + " is primarily accessible to " + title + ".");
  } else {
    EXPECT_EQ(data, "an earlier, longer report that must disappear");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TableSearch,
                         ::testing::Combine(::testing::ValuesIn(kInstances),
                                            ::testing::ValuesIn(kScenarios)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  std::get<1>(info.param).name;
                         });

TEST(TableSearchSettings, FirstLineIsTakenAsWritten) {
  SetCurrentProgram(kQuilvar);
  TempDir dir;
  test::SetEnvironment(test::kSearchVariable, nullptr);
  // Trailing blanks belong to the name; only the line end is removed.
  TempDir::Write("set_quilvar.txt", "table.bin \r\n");
  TempDir::Write("table.bin", "x");
#ifndef _WIN32
  // Windows drops trailing blanks from file names, so there both names open one file.
  EXPECT_THROW(
      FindTableFile({u"EUC-JP~Shift_JIS.bin", kQuilvar.errors.codeTable}, false, true, false),
      Halt);
  EXPECT_EQ(TempDir::ErrorMessages(), (std::vector<std::string>{"Reset() error-118: table.bin ",
                                                                "Reset() error-124: i = 4"}));
  TempDir::Write("table.bin ", "x");
#endif
  EXPECT_EQ(FindTableFile({u"EUC-JP~Shift_JIS.bin", kQuilvar.errors.codeTable}, false, true, false),
            u"table.bin ");
}

TEST(TableSearchSettings, EmptySettingsFileNamesNoTable) {
  SetCurrentProgram(kBrenodax);
  TempDir dir;
  TempDir::Write("set_brenodax.txt", "");
  EXPECT_THROW(FindTableFile({u"EUC-JP~UTF16.bin", kBrenodax.errors.codeTable}, false, true, false),
               Halt);
  EXPECT_EQ(TempDir::ErrorMessages(), std::vector<std::string>{"Reset() error-169: i = 4"});
}

TEST(TableSearchSettings, SetUpKeepsTheSwitches) {
  SearchTable table;
  table.SetUp(u"/x/MS932~EUC-JP.bin", true, false, true);
  EXPECT_TRUE(table.DefaultTableOnly());
  EXPECT_FALSE(table.AcquireTable());
  EXPECT_TRUE(table.ShowTable());
  EXPECT_EQ(table.TablePath(), u"/x/MS932~EUC-JP.bin");
}

}  // namespace
}  // namespace kelvo
