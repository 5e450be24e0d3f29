// The operating system's side of converting whole trees: what a path is without opening it,
// directory listings, reading only regular files, replacing a file whole with its
// attributes, the terminal and interruption. Every failure is a Result with the path and the
// system's error code, which SystemReason turns into words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "platform/Result.h"

namespace kelvo::platform {

enum class FileKind : std::uint8_t {
  Missing,
  Regular,
  Directory,
  Link,
  Fifo,
  Device,
  Socket,
  Other
};

// What a path is, found without opening it.
struct FileFacts {
  FileKind kind = FileKind::Missing;
  std::int64_t size = 0;
  // Identity of the file on its device: one file reached through two names or links.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// The facts of a path; a symbolic link itself unless follow. A failure (Step::Open) when the
// path cannot be examined, a missing path included.
Result Examine(const std::u16string& path, bool follow, FileFacts& facts);
// The names in a directory, "." and ".." left out, in the system's order (Step::Read).
Result ListDirectory(const std::u16string& path, std::vector<std::u16string>& names);
// Makes a directory and its missing parents (Step::Create).
Result MakeDirectories(const std::u16string& path);
// The absolute path with every link resolved (Step::Open when it cannot be resolved).
Result RealPath(const std::u16string& path, std::u16string& real);
// The parent and the last name of a path, split at the last directory separator.
std::u16string ParentOf(const std::u16string& path);
std::u16string LastNameOf(const std::u16string& path);
// A directory and a name below it, with one separator between them.
std::u16string JoinPath(const std::u16string& directory, const std::u16string& name);
// Whether a character separates directories in a path.
bool IsSeparator(char16_t c);

// Lossless UTF-8 for text that a library takes as bytes (option words); FromUtf8
// (Platform.h) turns it back.
std::string ToUtf8(std::u16string_view text);

bool StandardErrorIsTerminal();
// Whether "/?" asks for the help, as it does on Windows.
bool SlashSwitches();

// Interruption (Ctrl+C, a termination request): once caught, the run is asked to stop and
// clean up instead of being ended where it stands. Writing to a closed pipe fails instead
// of ending the process.
void CatchInterrupts();
bool Interrupted();

// A regular file open for reading; a FIFO, a device or a socket is never opened for reading.
class SourceFile {
 public:
  SourceFile() = default;
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Opens the file when it is a regular one (a symbolic link at the end only when follow);
  // otherwise a failure with kNotRegularError for its code, or the system's.
  Result Open(const std::u16string& path, bool follow);
  // Reads until count bytes are in or the file ends, at the file's position; got is how many.
  Result Read(void* buffer, std::int64_t count, std::int64_t& got);
  // Reads like Read at an offset, leaving the position as it is.
  Result ReadAt(std::int64_t offset, void* buffer, std::int64_t count, std::int64_t& got);
  Result Rewind();
  void Close();
  std::int64_t Size() const { return size_; }
  std::intptr_t Handle() const { return handle_; }

 private:
  std::intptr_t handle_ = -1;
  // For ReadAt where a read moves the position (Windows; POSIX reads at an offset).
  [[maybe_unused]] std::intptr_t second_ = -1;
  std::u16string path_;
  std::int64_t size_ = 0;
};

// What a finished replacement takes from the file it stands in for.
struct CommitSettings {
  const SourceFile* like = nullptr;  // mode, owner and group (where allowed), attributes
  bool attributes = false;           // extended attributes and ACLs of like as well
  bool keepTime = false;             // like's modification time
  std::u16string backup;             // not empty: the old target is kept under this name
};

// The step of putting a replacement in place, the one that failed when it did.
enum class CommitStep : std::uint8_t {
  Done,
  ReadAttributes,  // the attributes of the file stood in for
  SetMode,
  CopyAttributes,  // extended attributes and ACLs
  SetTime,
  Flush,
  KeepBackup,
  Rename,
};

// How putting a replacement in place ended: the step that failed and why.
struct [[nodiscard]] Committed {
  CommitStep step = CommitStep::Done;
  Result result;
};

// A new file written under a temporary name beside its target and renamed over it only when
// complete and given its attributes, flushed to disk first when it replaces a file; a
// replacement that is given up leaves no file.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  Result Create(const std::u16string& target);
  Result Write(const void* bytes, std::int64_t count);
  // Puts the file in place; on failure the temporary file is removed and the target stays.
  Committed Commit(const CommitSettings& settings);
  void Discard();
  bool IsOpen() const { return handle_ != -1; }

 private:
  std::intptr_t handle_ = -1;
  std::u16string temporary_;
  std::u16string target_;
};

}  // namespace kelvo::platform
