// What differs between the three programs, in one record per program. Shared code reads
// the record of the running program instead of carrying its own copies of names, texts
// and error numbers.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace kelvo {

// Error numbers of one instance of the table file search.
struct SearchNumbers {
  int defaultDirectory;     // default-directory probe failed
  int currentDirectory;     // current-directory probe failed
  int settingsUnreadable;   // settings file could not be read
  int namedFileUnopenable;  // the file named on its first line could not be opened
  int defaultOnlyStop;      // "-d" and the default directory failed
  int allProbesFailed;      // every probe up to the fourth failed
};

// Error numbers of the engine machinery that all three engines share.
struct EngineNumbers {
  int open;         // input cannot be opened in Open
  int unitArray;    // input array cannot be sized
  int outputArray;  // output array cannot be sized
  int writeOutput;  // output cannot be written
  int showData;     // data.txt cannot be shown
  int copyTo;       // copy to binary.tmp failed
  int copyFrom;     // copy from binary.tmp failed
  // Read failures of ConvertCrLf, ConvertLf, ConvertAsRead and their filtered variants.
  std::array<int, 6> read;
  std::array<int, 2> readToStandardOutput;  // the recoder's standard-output conversions
  int emptyTablePath;  // the search handed back an empty path (0: no such site)
  int tableRead;       // the table file could not be read after it was found
};

struct ProgramRecord {
  std::u16string name;                     // "tamorlek": command name, used in messages and guides
  std::u16string title;                    // "Tamorlek": heading of the guide and of data.txt
  std::u16string settingsFile;             // "set_tamorlek.txt"
  std::u16string defaultOutput;            // "tamorlek.txt"
  std::u16string version;                  // "1.06"
  std::u16string tableFile;                // the program's own table file
  std::vector<std::u16string> guideLines;  // the guide lines with comments
  int shortGuideLength;                    // each line cut before its '#'

  // Option set.
  bool fieldOptions;  // "-r", "-u", "-Z"
  bool outAlias;      // "--out"

  struct Errors {
    // Option scanner and numbered terms.
    int paramStr, listNameLow, listNameHigh, settingsFile, sequenceToInteger;
    // Running number of the error log.
    int serialParse, serialReset, serialAdvance;
    // Byte-string queue; queueCount 0 means the message without a number.
    int queueCount, queueUnoccupied;
    // Byte-string field list.
    int itemReadLow, itemReadHigh, itemStoreLow, itemStoreHigh;
    // Program path search.
    int pathCandidate;
    // Table searches: the program's own table and, while deriving, the sparse source.
    SearchNumbers codeTable, derivationSource;
    // The sparse source table could not be read after the search found it (0: no such site).
    int derivationSourceRead;
    // Table derivation.
    int derivationFailed;
    // A table file whose size is no whole, non-zero number of records.
    int tableSize;
    // A run that uses binary.tmp was given binary.tmp itself as its input or output.
    int binaryTmpItself;
    // A working file shared by concurrent runs stayed locked by another run too long.
    int lockTimeout;
    // The "-w" report could not be written (data.txt, or standard output).
    int tableReport;
    EngineNumbers engine;
  } errors;
};

extern const ProgramRecord kTamorlek;
extern const ProgramRecord kBrenodax;
extern const ProgramRecord kQuilvar;

// The record of the running program. main sets it first; tests switch it as they need.
const ProgramRecord& CurrentProgram();
void SetCurrentProgram(const ProgramRecord& program);

}  // namespace kelvo
