// The search for a table file: the default directory (or, where it has no table, the
// system's fallback directory), the current directory, the directories of the program-search
// variable, and the file named on the first line of the program's settings file, in this
// order, steered by "-d", "-a" and "-w"; and the reading of the table file found.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tables/PathEXE.h"

namespace kelvo {

// The switches of a table search.
struct SearchTable {
  bool defaultTableOnly = false;  // "-d": the default directory, or nothing
  bool acquireTable = false;      // "-a": only the file named by the settings file
  bool showTable = false;         // "-w": the path found becomes the content of data.txt
};

// Error numbers of one instance of the search.
struct SearchNumbers {
  int defaultDirectory;     // default-directory probe failed
  int currentDirectory;     // current-directory probe failed
  int settingsUnreadable;   // settings file could not be read
  int namedFileUnopenable;  // the file named on its first line could not be opened
  int defaultOnlyStop;      // "-d" and the default directory failed
  int allProbesFailed;      // every probe up to the fourth failed
  int refused;              // a table or settings file found is not one to trust
};

// One instance of the search: the table file looked for and the error numbers of its
// probes.
struct TableSearchInstance {
  std::u16string tableName;  // e.g. "UTF16~EUC-JP.bin"
  SearchNumbers numbers;
};

// What every table search and table read of one program reads and reports with.
struct TableRecord {
  std::u16string settingsFile;  // the fourth probe reads its first line
  std::u16string title;         // data.txt: "<path> is primarily accessible to <title>."
  int tableReport;              // the "-w" report could not be written
  int tableSize;                // a table file of no whole, non-zero number of records
  CommandPathNumbers path;      // the third probe
};

// A table file found by the search and kept open for its reading; null where the probe only
// told the path.
using OpenTable = std::shared_ptr<platform::InputFile>;

// A table file found by the search.
struct FoundTable {
  // The path of the first probe that succeeded.
  std::u16string path;
  // The file under path, opened and judged by the probe that found it: reading it needs no
  // second open, and nothing can be swapped in between the check and the read. Null where
  // the probe only told the path.
  OpenTable file;
  // "-w": Step::Write with the record's table-report number and data.txt when data.txt
  // could not be written (reported).
  platform::Result report;
};

// Runs the probes. Every probe that fails is reported and the next one tried. With
// showTable the path found followed by " is primarily accessible to <title>." becomes the
// whole content of data.txt. None when the search ended without a table ("-d" with no table
// in the default directory, or every probe failed), which is reported, and after which the
// run cannot go on.
[[nodiscard]] std::optional<FoundTable> FindTableFile(const TableSearchInstance& instance,
                                                      const SearchTable& switches,
                                                      const TableRecord& record);

// The most records a table file can usefully hold: one for every 16-bit key.
inline constexpr std::int64_t kMostTableRecords = 65536;

// Reads a table file found by the search into bytes. A file that cannot be read, or that is
// not one to trust, is reported with readNumber; one whose size is not a whole, non-zero
// number of records, or that holds more than kMostTableRecords, cannot be a table and is
// reported with the record's table-size number before it is read. Either way the failure, as
// the read met it or as Step::Load for a file of the wrong size. When the search handed the
// file over opened, it is read from there and path only names it.
platform::Result ReadTableFile(const std::u16string& path, int recordSize, int readNumber,
                               const TableRecord& record, std::vector<std::uint8_t>& bytes,
                               platform::InputFile* opened = nullptr);

// What finding and reading a program's own code table takes.
struct CodeTableRecord {
  TableSearchInstance search;  // the table file and the numbers of its search
  TableRecord tables;
  int tableRead;  // the file found could not be read
};

// A code table file found and read whole.
struct [[nodiscard]] CodeTableFile {
  // Fails when the table was not found (Step::Load), or not readable; reported either way.
  platform::Result read;
  platform::Result report;  // "-w": data.txt could not be written (reported), as FoundTable

  std::vector<std::uint8_t> bytes;
};

// What loading a program's code table gave, each failure already reported.
struct [[nodiscard]] CodeTableLoad {
  // The table's memory could not be had (Step::Allocate, nothing reported), the table was
  // not found (Step::Load) or not readable, or a list that goes with it could not be had.
  platform::Result table;
  platform::Result report;  // "-w": data.txt could not be written, as FoundTable
};

// Finds the program's code table with the switches and reads it, records of recordSize
// bytes.
CodeTableFile ReadCodeTable(const SearchTable& switches, const CodeTableRecord& record,
                            int recordSize);

}  // namespace kelvo
