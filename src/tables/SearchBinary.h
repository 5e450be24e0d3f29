// The search for a table file: the default directory, the current directory, the
// directories of the program-search variable, and the file named on the first line of the
// program's settings file, in this order, steered by "-d", "-a" and "-w".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drivers/ProgramRecord.h"

namespace kelvo {

// The switches of a derivation run, filled by the driver.
class SearchTable {
 public:
  void SetUp(const std::u16string& tablePath, bool defaultTableOnly, bool acquireTable,
             bool showTable);
  bool DefaultTableOnly() const { return defaultTableOnly_; }
  bool AcquireTable() const { return acquireTable_; }
  bool ShowTable() const { return showTable_; }
  const std::u16string& TablePath() const { return tablePath_; }

 private:
  bool defaultTableOnly_ = false;
  bool acquireTable_ = false;
  std::u16string tablePath_;
  bool showTable_ = false;
};

// One instance of the search: the table file looked for and the error numbers of its
// probes.
struct TableSearchInstance {
  std::u16string tableName;  // e.g. "UTF16~EUC-JP.bin"
  SearchNumbers numbers;
};

// Runs the probes and returns the path of the first one that succeeds (never empty). With
// showTable the path followed by " is primarily accessible to <Title>." becomes the whole
// content of data.txt; when data.txt cannot be written that is reported and, given
// reportFailed, set there. Ends the program with exit code 1 (Halt) after the "-d" stop or
// when every probe failed. The settings file and the report text come from the current
// program's record.
std::u16string FindTableFile(const TableSearchInstance& instance, bool defaultTableOnly,
                             bool acquireTable, bool showTable, bool* reportFailed = nullptr);

// Reads a table file found by the search. A file whose size is not a whole, non-zero number
// of records cannot be a table: it is reported with the program's table-size number and the
// path, and ends the program with exit code 1. A file that cannot be read is reported with
// readNumber and ends the program too.
std::vector<std::uint8_t> ReadTableFile(const std::u16string& path, int recordSize, int readNumber);

}  // namespace kelvo
