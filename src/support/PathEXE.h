// Finds a file in the directories of the program-search variable, the way a command is
// found: each directory in order, the first one that holds an openable file wins.
#pragma once

#include <string>

namespace kelvo {

class CommandPath {
 public:
  // Most entries of the variable that are tried.
  static constexpr int kMaximumEntries = 256;

  // Reads the variable. With report set, every directory that does not hold the file is
  // written to the error log.
  void Initialize(bool report);
  // The full path of the first directory entry that holds the file, or empty.
  std::u16string Search(const std::u16string& fileName);
  // Whether the file can be opened; a failure is reported when asked for.
  bool CanOpen(const std::u16string& candidate);

 private:
  bool report_ = false;
  std::string pathBytes_;  // the variable in the OEM code page, after the clean-up
  std::u16string candidate_;
};

}  // namespace kelvo
