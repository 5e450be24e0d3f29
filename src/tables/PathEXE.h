// Finds a file in the directories of the program-search variable, the way a command is
// found: each directory in order, the first one that holds an openable file wins. The table
// search uses it as its third probe.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "split/FieldsArrayMany.h"
#include "support/AnsiQueue.h"

namespace kelvo {

// The error numbers of the search along the variable.
struct CommandPathNumbers {
  int candidate;          // a directory that does not hold the file
  int refused;            // the file it holds is not one to trust
  QueueNumbers queue;     // the splitter's byte-string queue
  FieldListNumbers list;  // the list of the variable's entries
};

class CommandPath {
 public:
  // Most entries of the variable that are tried.
  static constexpr int kMaximumEntries = 256;
  // Byte k (counted from 1) of the character table holds the value k.
  static constexpr int kCharacterTableLength = 126;

  explicit CommandPath(const CommandPathNumbers& numbers);

  // Reads the variable.
  void Initialize();
  // Takes the value of the variable as given.
  void InitializeFrom(std::u16string value);
  // The full path of the first directory entry that holds the file; none when no entry
  // does. Every candidate that cannot be opened is written to the error log.
  std::optional<std::u16string> Search(const std::u16string& fileName);
  // The paths Search tries for the file, in order.
  std::vector<std::u16string> Candidates(const std::u16string& fileName);
  // Whether the file can be opened the way a table file is; a failure is reported.
  platform::Result CanOpen(const std::u16string& candidate);

  const std::string& CharacterTable() const { return characterTable_; }

 private:
  CommandPathNumbers numbers_;
  std::string characterTable_;
  // The variable in the OEM code page, after the clean-up, however long it is.
  std::string pathBytes_;
};

}  // namespace kelvo
