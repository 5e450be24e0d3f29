#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "TestSystem.h"
#include "cmdline/Guide.h"
#include "drivers/ProgramRecord.h"
#include "drivers/ScanRun.h"
#include "platform/Platform.h"
#include "support/Halt.h"

namespace kelvo {
namespace {

using test::TempDir;
using Words = std::vector<std::u16string>;

class ScanRunTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

// The switches of the run settings, one letter each when on: C (CR LF line ends) or L (LF),
// a b d s t u w y.
std::string Switches(const FinalEffects& s) {
  std::string letters;
  const std::pair<bool, char> flags[] = {
      {s.lineEnds == LineEndMode::CrLf, 'C'},
      {s.lineEnds == LineEndMode::Lf, 'L'},
      {s.search.acquireTable, 'a'},
      {s.viaBinaryTmp, 'b'},
      {s.search.defaultTableOnly, 'd'},
      {s.controls == Controls::Removed, 's'},
      {s.sameTime, 't'},
      {s.surrogates == SurrogateList::Underscores, 'u'},
      {s.search.showTable, 'w'},
      {s.keepBinaryTmp, 'y'},
  };
  for (const auto& [on, letter] : flags) {
    if (on) letters.push_back(letter);
  }
  return letters;
}

TEST_F(ScanRunTest, FillsTheRunSettings) {
  struct Case {
    const ProgramRecord* program;
    Words words;
    std::string switches;
    std::u16string input, output;
    std::int32_t fieldNumber, fieldLimit;
  };
  const Case cases[] = {
      {&kTamorlek, {u"in.txt"}, "C", u"in.txt", u"tamorlek.txt", 255, 255},
      {&kTamorlek,
       {u"-o", u"out.txt", u"in.txt", u"later.txt"},
       "C",
       u"in.txt",
       u"out.txt",
       255,
       255},
      {&kTamorlek, {u"in.txt", u"a.txt", u"b.txt"}, "C", u"in.txt", u"b.txt", 255, 255},
      {&kTamorlek, {u"-LF", u"in"}, "L", u"in", u"tamorlek.txt", 255, 255},
      {&kTamorlek, {u"-L", u"in"}, "C", u"in", u"tamorlek.txt", 255, 255},
      {&kTamorlek, {u"-L", u"-0-", u"in"}, "L", u"in", u"tamorlek.txt", 255, 255},
      {&kTamorlek, {u"-0-", u"in"}, "C", u"in", u"tamorlek.txt", 255, 255},
      {&kTamorlek, {u"-r2", u"in", u"out"}, "C", u"in", u"out", 2, 255},
      {&kTamorlek, {u"-Z", u"-P7", u"in"}, "C", u"in", u"tamorlek.txt", 3071, 3071},
      {&kTamorlek, {u"-abdstuwy", u"in"}, "Cabdstuwy", u"in", u"tamorlek.txt", 255, 255},
      {&kTamorlek, {u"-z", u"in"}, "C", u"in", u"", 255, 255},
      {&kBrenodax, {u"-abdstuwy", u"in"}, "Cabdstwy", u"in", u"brenodax.txt", 255, 255},
      {&kBrenodax, {u"--out", u"in"}, "C", u"in", u"", 255, 255},
      {&kBrenodax, {u"-s"}, "Cs", u"", u"brenodax.txt", 255, 255},
      {&kQuilvar, {u"-LF", u"in", u"out"}, "L", u"in", u"out", 255, 255},
      {&kQuilvar, {u"-o", u"x", u"--out", u"in"}, "C", u"in", u"", 255, 255},
  };
  for (const Case& c : cases) {
    TempDir dir;
    SCOPED_TRACE(platform::ToAnsi(c.words[0]));
    const FinalEffects settings = ScanRun(*c.program, c.words);
    EXPECT_EQ(Switches(settings), c.switches);
    EXPECT_EQ(settings.inputName, c.input);
    EXPECT_EQ(settings.outputName, c.output);
    EXPECT_EQ(settings.fieldNumber, c.fieldNumber);
    EXPECT_EQ(settings.fieldLimit, c.fieldLimit);
  }
}

TEST_F(ScanRunTest, TheSettingsFilesFirstLineIsNoWord) {
  TempDir::Write("set_quilvar.txt", "/tables/EUC-JP~Shift_JIS.bin\r\n-b\r\n");
  const FinalEffects settings = ScanRun(kQuilvar, {u"in"});
  EXPECT_EQ(settings.inputName, u"in");
  EXPECT_TRUE(settings.viaBinaryTmp);
  EXPECT_TRUE(TempDir::ErrorLogs().empty());
}

TEST_F(ScanRunTest, ShowTableErasesAnEarlierDataFile) {
  TempDir::Write("data.txt", "old report");
  ScanRun(kTamorlek, {u"in"});
  EXPECT_TRUE(TempDir::Exists("data.txt"));
  ScanRun(kTamorlek, {u"-w", u"in"});
  EXPECT_FALSE(TempDir::Exists("data.txt"));
  ScanRun(kTamorlek, {u"-w", u"in"});  // nothing to erase: no harm
  EXPECT_FALSE(TempDir::Exists("data.txt"));
}

TEST_F(ScanRunTest, GuideAndVersionEndTheRunWithOne) {
  struct Case {
    Words words;
    GuideForm form;
  };
  constexpr GuideForm kLong = GuideForm::Commented;
  constexpr GuideForm kShort = GuideForm::Short;
  const Case cases[] = {
      {{u"-G"}, kLong},        {{u"--help", u"in"}, kLong}, {{u"-VC"}, kLong},
      {{u"-V", u"-G"}, kLong}, {{u"-V", u"in"}, kShort},    {{u"in", u"-V"}, kShort},
  };
  for (const Case& c : cases) {
    test::CapturedOutput output;
    int code = 0;
    try {
      ScanRun(kTamorlek, c.words);
    } catch (const Halt& halt) {
      code = halt.exitCode;
    }
    EXPECT_EQ(code, 1);
    EXPECT_EQ(output.Finish(), platform::ToAnsi(Guiding::Text(kTamorlek.guide, u"1.06", c.form)));
  }
}

}  // namespace
}  // namespace kelvo
