#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "TestSystem.h"
#include "cmdline/Guide.h"
#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(u"\r\n", start)) != std::u16string::npos;
       start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(GuideTest, LayoutOfEachProgram) {
  struct Case {
    const ProgramRecord* program;
    std::u16string heading;
    std::size_t lines, shortLength;
    std::u16string firstShort, distinctive;
  };
  const Case cases[] = {
      {&kTamorlek, u"Tamorlek Version 1.06", 18, 25, u"tamorlek" + std::u16string(17, u' '),
       u"tamorlek -u UTF16        # Replace surrogate-pair kanji with \uFF3F. "},
      {&kBrenodax, u"Brenodax Version 1.05", 17, 24, u"brenodax" + std::u16string(16, u' '),
       u"brenodax -o UTF16 < EUC # Every line includes 0Dh. "},
      {&kQuilvar, u"Quilvar Version 1.04", 17, 22, u"quilvar" + std::u16string(15, u' '),
       u"quilvar --out EUC     # standard output "},
  };
  for (const Case& c : cases) {
    const GuideTexts& texts = c.program->guide;
    const std::u16string version = c.program->version;
    const std::vector<std::u16string> full =
        Lines(Guiding::Text(texts, version, GuideForm::Commented));
    const std::vector<std::u16string> brief =
        Lines(Guiding::Text(texts, version, GuideForm::Short));
    ASSERT_EQ(full.size(), c.lines + 2);
    ASSERT_EQ(brief.size(), c.lines + 2);
    for (const auto* lines : {&full, &brief}) {
      EXPECT_EQ((*lines)[0], c.heading);
      EXPECT_EQ((*lines)[1], u"");
    }
    EXPECT_EQ(brief[2], c.firstShort);
    EXPECT_NE(std::find(full.begin(), full.end(), c.distinctive), full.end());
    for (std::size_t i = 2; i < full.size(); ++i) {
      const std::u16string& line = full[i];
      SCOPED_TRACE(platform::ToAnsi(line));
      // Short lines are the commented lines cut just before the '#'.
      EXPECT_EQ(line.find(u'#'), c.shortLength);
      EXPECT_EQ(brief[i], line.substr(0, c.shortLength));
      EXPECT_EQ(line.rfind(c.program->name, 0), 0u);
      // Only the "-w" line lacks a space after its comment.
      const bool isW = line.find(u" -w ") != std::u16string::npos;
      EXPECT_EQ(line.back() == u' ', !isW);
    }
  }
}

TEST(GuideTest, ShowsEveryOptionOfTheTableThatIsNotMarkedLeftOut) {
  for (const ProgramRecord* program : {&kTamorlek, &kBrenodax, &kQuilvar}) {
    SCOPED_TRACE(platform::ToAnsi(program->name));
    // The option words of the guide's commands, a number after the letter left out.
    std::set<std::u16string> shown;
    for (const std::u16string& line : program->guide.lines) {
      const std::u16string command = line.substr(0, line.find(u'#'));
      for (std::size_t at = 0; (at = command.find(u" -", at)) != std::u16string::npos;) {
        std::u16string word = command.substr(at + 1, command.find(u' ', at + 1) - at - 1);
        while (word.size() > 2 && word.back() >= u'0' && word.back() <= u'9') word.pop_back();
        shown.insert(word);
        at += word.size();
      }
    }
    std::set<std::u16string> marked;
    for (const OptionEntry& entry : program->options.table) {
      if (entry.inGuide) marked.insert(std::u16string(entry.word));
    }
    EXPECT_EQ(shown, marked);
  }
}

TEST(GuideTest, ShowWritesTheTextInOneGo) {
  test::CapturedOutput output;
  Guiding().Show(kBrenodax.guide, u"9.99", GuideForm::Commented);
  const std::string shown = output.Finish();
  EXPECT_EQ(shown, platform::ToAnsi(Guiding::Text(kBrenodax.guide, u"9.99", GuideForm::Commented)));
  EXPECT_EQ(shown.rfind("Brenodax Version 9.99\r\n", 0), 0u);
}

}  // namespace
}  // namespace kelvo
