// The three program records: every site has its number, the numbers of one program are
// distinct and in its range, and the texts belong to their program. The parts of the system
// are tested with one program's numbers; this is what holds the others to theirs.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "drivers/ProgramRecord.h"
#include "platform/Platform.h"

namespace kelvo {
namespace {

struct Site {
  std::string name;
  int number;
};

// Every error number of a record, with the name of its site. A number that two parts share
// because they report one and the same failure (the lock timeout, which the log and the
// engine both meet) is listed once.
std::vector<Site> Sites(const ProgramRecord& p) {
  std::vector<Site> sites;
  auto add = [&](const std::string& name, int number) { sites.push_back({name, number}); };
  auto addSearch = [&](const std::string& name, const SearchNumbers& n) {
    add(name + ".defaultDirectory", n.defaultDirectory);
    add(name + ".currentDirectory", n.currentDirectory);
    add(name + ".settingsUnreadable", n.settingsUnreadable);
    add(name + ".namedFileUnopenable", n.namedFileUnopenable);
    add(name + ".defaultOnlyStop", n.defaultOnlyStop);
    add(name + ".allProbesFailed", n.allProbesFailed);
    add(name + ".refused", n.refused);
  };
  auto addList = [&](const std::string& name, const FieldListNumbers& n) {
    add(name + ".readLow", n.readLow);
    add(name + ".readHigh", n.readHigh);
    add(name + ".storeLow", n.storeLow);
    add(name + ".storeHigh", n.storeHigh);
  };
  const auto& o = p.options.numbers;
  add("options.paramStr", o.paramStr);
  add("options.settingsFile", o.settingsFile);
  add("options.sequenceToInteger", o.sequenceToInteger);
  add("options.settingsRefused", o.settingsRefused);
  add("log.serialParse", p.log.serialParse);
  add("log.serialReset", p.log.serialReset);
  add("log.serialAdvance", p.log.serialAdvance);
  add("log.lockTimeout", p.log.lockTimeout);
  add("log.workingFile", p.log.workingFile);
  const EngineNumbers& e = p.engine.numbers;
  add("engine.open", e.open);
  add("engine.unitArray", e.unitArray);
  add("engine.outputArray", e.outputArray);
  add("engine.writeOutput", e.writeOutput);
  add("engine.showData", e.showData);
  add("engine.copyTo", e.copyTo);
  add("engine.copyFrom", e.copyFrom);
  for (std::size_t i = 0; i < e.read.size(); ++i) add("engine.read" + std::to_string(i), e.read[i]);
  for (std::size_t i = 0; i < e.readToStandardOutput.size(); ++i) {
    add("engine.readToStandardOutput" + std::to_string(i), e.readToStandardOutput[i]);
  }
  add("engine.binaryTmpItself", e.binaryTmpItself);
  add("engine.workingFile", e.workingFile);
  add("engine.inputChanged", e.inputChanged);
  const CodeTableRecord& t = p.engine.table;
  addSearch("table.search", t.search.numbers);
  add("table.tableRead", t.tableRead);
  add("table.tableReport", t.tables.tableReport);
  add("table.tableSize", t.tables.tableSize);
  add("table.path.candidate", t.tables.path.candidate);
  add("table.path.refused", t.tables.path.refused);
  add("table.path.queue.count", t.tables.path.queue.count);
  add("table.path.queue.unoccupied", t.tables.path.queue.unoccupied);
  addList("table.path.list", t.tables.path.list);
  addSearch("derivation.source", p.derivation.source);
  add("derivation.sourceRead", p.derivation.sourceRead);
  add("derivation.failed", p.derivation.failed);
  const SurrogateListNumbers& l = p.forward.lists;
  add("forward.lists.unitArray", l.unitArray);
  add("forward.lists.refusedLine", l.refusedLine);
  add("forward.lists.notANumber", l.notANumber);
  add("forward.lists.listOpen", l.listOpen);
  add("forward.lists.listRead", l.listRead);
  add("forward.lists.refusedUnderscore", l.refusedUnderscore);
  add("forward.lists.underscoreRead", l.underscoreRead);
  add("forward.lists.furtherRefusals", l.furtherRefusals);
  add("forward.lists.listRefused", l.listRefused);
  addList("forward.lists.fields", l.fields);
  const SelectionNumbers& s = p.forward.selection;
  add("forward.selection.write", s.write);
  add("forward.selection.read", s.read);
  add("forward.selection.unitArray", s.unitArray);
  add("forward.selection.outputArray", s.outputArray);
  add("forward.selection.open", s.open);
  add("forward.selection.inputChanged", s.inputChanged);
  add("forward.writeList", p.forward.writeList);
  const StandardInputNumbers& i = p.standardInput;
  add("standardInput.writeOutput", i.writeOutput);
  add("standardInput.showData", i.showData);
  add("standardInput.spooling", i.spooling);
  add("standardInput.readPlain", i.readPlain);
  add("standardInput.readFiltered", i.readFiltered);
  add("standardInput.spoolArray", i.spoolArray);
  add("standardInput.outputArray", i.outputArray);
  add("standardInput.measuring", i.measuring);
  add("standardInput.spoolRefused", i.spoolRefused);
  return sites;
}

struct ProgramCase {
  const ProgramRecord* program;
  std::u16string title;
  std::u16string tableFile;
  std::vector<std::pair<int, int>> ranges;  // the numbers the program may use
  std::vector<std::string> noSite;          // sites (by prefix) the program does not have
};

const ProgramCase kPrograms[] = {
    {&kTamorlek,
     u"Tamorlek",
     u"UTF16~EUC-JP.bin",
     {{357, 362}, {765, 834}, {850, 858}},
     {"engine.readToStandardOutput", "standardInput."}},
    {&kBrenodax,
     u"Brenodax",
     u"EUC-JP~UTF16.bin",
     {{129, 197}, {210, 217}},
     {"engine.readToStandardOutput", "forward."}},
    {&kQuilvar,
     u"Quilvar",
     u"EUC-JP~Shift_JIS.bin",
     {{85, 132}, {240, 245}},
     // The recoder reads its source from the current directory, without a search; its
     // queue's count report carries no number.
     {"derivation.source", "table.path.queue.count", "forward.", "standardInput."}},
};

TEST(ProgramRecordTest, NumbersAreCompleteDistinctAndInRange) {
  for (const ProgramCase& c : kPrograms) {
    const ProgramRecord& p = *c.program;
    SCOPED_TRACE(platform::ToAnsi(p.name));
    EXPECT_EQ(p.log.lockTimeout, p.engine.numbers.lockTimeout);
    std::map<int, std::string> used;
    for (const Site& site : Sites(p)) {
      bool noSite = false;
      for (const std::string& prefix : c.noSite) noSite = noSite || site.name.rfind(prefix, 0) == 0;
      if (noSite) {
        EXPECT_EQ(site.number, 0) << site.name;
        continue;
      }
      EXPECT_NE(site.number, 0) << site.name;
      bool inRange = false;
      for (const auto& [low, high] : c.ranges)
        inRange = inRange || (site.number >= low && site.number <= high);
      EXPECT_TRUE(inRange) << site.name << " " << site.number;
      const auto [at, fresh] = used.emplace(site.number, site.name);
      EXPECT_TRUE(fresh) << site.name << " and " << at->second << " share " << site.number;
    }
  }
}

TEST(ProgramRecordTest, TextsBelongToTheirProgram) {
  for (const ProgramCase& c : kPrograms) {
    const ProgramRecord& p = *c.program;
    SCOPED_TRACE(platform::ToAnsi(p.name));
    EXPECT_EQ(p.options.name, p.name);
    EXPECT_EQ(p.options.settingsFile, u"set_" + p.name + u".txt");
    EXPECT_EQ(p.options.defaultOutput, p.name + u".txt");
    EXPECT_EQ(p.guide.title, c.title);
    EXPECT_EQ(p.engine.table.tables.title, c.title);
    EXPECT_EQ(p.engine.table.tables.settingsFile, p.options.settingsFile);
    EXPECT_EQ(p.engine.table.search.tableName, c.tableFile);
    EXPECT_FALSE(p.version.empty());
  }
}

}  // namespace
}  // namespace kelvo
