// Finds the files of a run: the paths given, directories walked, filtered by the walk's rules.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Tree.h"

namespace kelvo::walk {

struct WalkSettings {
  bool follow = false;  // follow symbolic links met in a walk
  bool hidden = false;  // walk hidden names and version-control directories too
  std::vector<std::u16string> includes;
  std::vector<std::u16string> excludes;
  bool distinctFiles = false;  // a file reached under two names is taken once
  std::u16string avoid;        // a directory never walked into (the output directory)
};

struct FoundFile {
  std::u16string path;      // as the walk reached it
  std::u16string relative;  // its place in a mirror of the tree, '/' between names
  std::int64_t size = 0;
  bool named = false;  // given itself rather than found in a walk
};

// Something the walk passed by that the user hears of.
struct WalkNotice {
  enum class Kind : std::uint8_t {
    Special,  // a FIFO, a device or a socket: skipped, never opened
    Loop,     // a link back to a directory being walked
    Failed,   // a path that cannot be examined or a directory that cannot be read
  };
  Kind kind;
  std::u16string path;
  platform::FileKind fileKind = platform::FileKind::Other;
  int error = 0;
  std::string what;  // for Failed: the step that failed
};

class Walker {
 public:
  explicit Walker(WalkSettings settings);

  // Adds a path given by the user: a file is taken (unless it is special), a directory is
  // walked. Links given by name are followed. The mirror keeps the whole path when keepPath
  // (a path from a list), and otherwise starts at the path's last name.
  void Add(const std::u16string& path, bool keepPath);

  std::vector<FoundFile>& Files() { return files_; }
  const std::vector<WalkNotice>& Notices() const { return notices_; }

 private:
  using Identity = std::pair<std::uint64_t, std::uint64_t>;
  void Directory(const std::u16string& path, const std::u16string& relative, Identity identity);
  void Entry(const std::u16string& path, const std::u16string& relative);
  // Takes a regular file, walks a directory, and tells of anything else.
  void Take(const std::u16string& path, const std::u16string& relative,
            const platform::FileFacts& facts, bool named);
  void Notice(WalkNotice::Kind kind, const std::u16string& path, int error, std::string what,
              platform::FileKind fileKind = platform::FileKind::Other);
  bool Chosen(const std::u16string& relative, bool directory) const;

  WalkSettings settings_;
  bool avoidKnown_ = false;
  Identity avoid_{};
  std::vector<FoundFile> files_;
  std::vector<WalkNotice> notices_;
  std::set<Identity> walking_;  // the directories on the way down
  std::set<Identity> walked_;   // every directory walked, when files are to be distinct
  std::set<Identity> taken_;    // every file taken, when files are to be distinct
};

// The paths of a list: one a line (a CR before the LF dropped) or NUL-separated; empty
// entries are left out.
std::vector<std::string> SplitList(std::string_view bytes, bool nulSeparated);

// The place of a given path in a mirror: a directory's contents go below its last name
// ("src" gives "src/...", "." and ".." give their contents directly), a file's last name.
std::u16string MirrorRoot(const std::u16string& path);
// The place of a listed path in a mirror: the path with its root, "." and ".." steps left
// out, '/' between names.
std::u16string MirrorPath(const std::u16string& path);

}  // namespace kelvo::walk
