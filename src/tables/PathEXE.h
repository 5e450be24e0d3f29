// Finds a file in the directories of the program-search variable, the way a command is
// found: each directory in order, the first one that holds an openable file wins.
#pragma once

#include <string>

namespace kelvo {

class CommandPath {
 public:
  // Most entries of the variable that are tried.
  static constexpr int kMaximumEntries = 256;
  // Byte k (counted from 1) of the character table holds the value k.
  static constexpr int kCharacterTableLength = 126;

  // Reads the variable. With report set, every candidate that cannot be opened is written
  // to the error log. Every caller asks for reports.
  void Initialize(bool report);
  // The full path of the first directory entry that holds the file, or empty.
  std::u16string Search(const std::u16string& fileName);
  // Whether the file can be opened the way a table file is; a failure is reported when
  // asked for.
  bool CanOpen(const std::u16string& candidate);

  const std::string& CharacterTable() const { return characterTable_; }

 private:
  bool report_ = false;
  std::string characterTable_;
  // The variable in the OEM code page, after the clean-up, however long it is.
  std::string pathBytes_;
  std::u16string candidate_;
};

}  // namespace kelvo
