// The operating-system boundary. Everything that differs between Windows and POSIX lives
// behind these declarations; the rest of the code never calls the operating system itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace kelvo::platform {

// --- Text at the boundary -------------------------------------------------------------
// The "ANSI" code page: settings files, error logs, serial.txt, data.txt, console text.
std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view bytes);
// The "OEM" code page: names handled by the program search.
std::string ToOem(std::u16string_view text);
std::u16string FromOem(std::string_view bytes);
// UTF-8: settings files that say so with a byte-order mark.
std::u16string FromUtf8(std::string_view bytes);

// The command-line arguments after the program name, decoded losslessly. On Windows an
// argument "/?", the way Windows users ask for help (no file can bear that name), becomes
// helpWord when one is given.
std::vector<std::u16string> Arguments(int argc, char** argv, const std::u16string& helpWord = {});

// --- Fixed places and separators --------------------------------------------------------
// The default table directory, always ending in a directory separator. A directory
// configured relative to the program is shown resolved against the program's own directory.
std::u16string DefaultTableDirectory();
// The directory tried next when the default one has no table; empty when there is none. On
// Windows it is "C:\Kelvo\", where earlier installs kept the tables, for programs whose
// default directory lies elsewhere (beside themselves, as unpacked from the zip).
std::u16string FallbackTableDirectory();
// The directory that a configured value names: an absolute value as it stands, a relative one
// joined to programDirectory (when that is known); "." and ".." steps removed, each separator
// written as the given one (on Windows '/' counts as a separator too), one at the end.
std::u16string ResolveDirectory(std::u16string_view configured,
                                std::u16string_view programDirectory, char16_t separator);
char16_t PathListSeparator();   // ';' or ':'
char16_t DirectorySeparator();  // '\' or '/'
// The program-search variable; false when it is not set.
[[nodiscard]] bool ReadSearchVariable(std::u16string& value);

// Local date and time in the system's general form; only the ':' separators matter.
std::u16string LocalTimeText();

// The process status for an exit code of the system (-1 included).
int ProcessStatus(int exitCode);

// --- Files --------------------------------------------------------------------------------
// How a file is opened for reading. Raw files (inputs, tables, binary.tmp, surro.csv) use
// the platform's raw access; text files (settings, surro.txt, data.txt, serial.txt) are
// opened read-only everywhere.
enum class ReadMode { Raw, Text };

// How far a file found under a fixed name is trusted. Every guarded open is made without
// blocking and judges the file it opened, so a FIFO never holds a run and nothing can be
// swapped in between the check and the use.
enum class Guard {
  None,      // a file the user named: links followed, any kind of file
  Working,   // a working file: never reached through a symbolic link, only a regular file
  Private,   // binary.tmp, text.tmp: a working file owned by the user, made and kept 0600
  Steering,  // settings, tables, lists: a regular file that no stranger could have planted
};

// Opens and closes the file at once: it could be opened in that mode and passes the guard,
// or the failure (Step::Open) with the system's code or the refusal.
Result CanOpen(const std::u16string& name, ReadMode mode, Guard guard = Guard::None);

// Size in bytes of a file opened for shared reading; nothing when it cannot be opened or
// measured.
[[nodiscard]] std::optional<std::int64_t> FileSize(const std::u16string& name);

// True when both names open one and the same existing file (through links or different
// spellings of the path), told by identity (device and inode, or volume serial number and
// file index); false when either cannot be opened or names a standard stream. A path too
// long to resolve counts as the same file: the caller then keeps the input whole.
[[nodiscard]] bool SameFile(const std::u16string& first, const std::u16string& second);

// Memory for a whole file or a large result. Large sizes come straight from the system, in
// large pages where it offers them: filling a buffer of hundreds of megabytes then takes a
// few hundred page faults instead of tens of thousands, and a conversion walking through it
// misses the address-translation cache far less often. The bytes are not initialised.
class LargeBuffer {
 public:
  LargeBuffer() = default;
  ~LargeBuffer();
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  // Replaces the buffer with one of the given number of bytes (0 gives a usable, empty
  // buffer). When the memory cannot be had the buffer is empty and the failure is
  // Step::Allocate naming the size.
  Result Allocate(std::int64_t bytes);
  // Replaces the buffer with zeroed memory for code tables, straight from the system: no
  // byte is cleared by the program, and the pages a run never touches cost nothing. Fails
  // as Allocate does.
  Result AllocateTables(std::int64_t bytes);
  void Release();
  std::uint8_t* Data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  std::uint8_t* data_ = nullptr;
  void* mapping_ = nullptr;  // a mapping of the system's; null for the heap
  std::int64_t mappingSize_ = 0;
};

// A file open for reading. An empty name reads standard input.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // An empty name reads standard input, which no guard refuses. A failure is Step::Open with
  // the system's code, or with the refusal of the file under its guard.
  Result Open(const std::u16string& name, ReadMode mode, Guard guard = Guard::None);
  // Whether a regular file still has the size and modification time it had when it was
  // opened (another process may have cut or grown it); true for anything else.
  [[nodiscard]] bool Unchanged() const;
  // Reads up to count bytes; got tells how many were read (0 at the end). A failure is
  // Step::Read with the system's code.
  Result Read(void* buffer, std::int64_t count, std::int64_t& got);
  // Reads until count bytes are in or the file ends; got tells how many (on a failure, how
  // many were read before it).
  Result ReadFully(void* buffer, std::int64_t count, std::int64_t& got);
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }
  // Whether the open file is a regular file on disk, whose size is known when it is opened.
  // Pipes, FIFOs, devices and standard input are read to their end instead.
  bool IsRegular() const { return size_.has_value(); }
  // The size of a regular file when it was opened; nothing for anything else, which is
  // never measured.
  std::optional<std::int64_t> Size() const { return size_; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
  std::u16string name_;  // as the caller named the file, for its failures
  bool standard_ = false;
  std::optional<std::int64_t> size_;  // a regular file's, when opened
  std::int64_t modified_ = 0;         // the modification time when opened, in the system's units
};

// Where the bytes of an output file go while it is written.
enum class Placement {
  // The file is created, or emptied when it exists, and written where it stands.
  Truncate,
  // The bytes go to a new temporary file in the directory of the file's real path (a
  // symbolic link is followed, in as many steps as it takes, never through a path longer than
  // the system resolves). It has a random name and takes the old file's permission bits,
  // extended attributes (with them an access control list) and, where the process may, its
  // owner and group; Close flushes it to disk and renames it over the file, so that the old
  // content stays whole until the new content is complete. A target whose attributes cannot
  // all be copied is not replaced. A target that exists but is not a regular file (a
  // device, a FIFO) is written where it stands.
  Replace,
};

// A file open for writing. An empty name writes standard output (in binary mode).
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Under a guard a link, FIFO or device is refused (and a Private file of another user);
  // a Private file is made with mode 0600 or set to it. A file is emptied only once it has
  // passed its guard. A failure is Step::Create with the system's code or the refusal.
  Result Create(const std::u16string& name, Placement placement = Placement::Truncate,
                Guard guard = Guard::None);
  // Creates the file only when no file of that name exists (a symbolic link of that name
  // counts as one, and is never followed); the failure's NameTaken() tells when that was
  // the reason.
  Result CreateNew(const std::u16string& name);
  // Writes all count bytes; after a failure (Step::Write) every later write fails the same.
  Result Write(const void* buffer, std::int64_t count);
  // Closes the file; the first failed write, or the failed flush or close (Step::Close) or
  // rename (Step::Rename). A replacement is put in place only when every write succeeded;
  // otherwise its temporary file is removed and the old file stays as it was.
  Result Close();
  // Gives up a replacement: its temporary file is removed and the old file stays. Any other
  // file is closed as it stands. The destructor does this for a file not closed.
  void Discard();
  bool IsOpen() const { return handle_ != kClosed; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
  bool standard_ = false;
  std::u16string name_;  // as the caller named the file, for its failures
  Result failed_;        // the first failed write
  // A replacement: the temporary file and the real path it is renamed to.
  std::u16string temporary_;
  std::u16string target_;
  bool targetExists_ = false;
};

// An exclusive lock on a working file that concurrent runs in one directory share. The
// file is created when it is missing and is never emptied by the lock.
class FileLock {
 public:
  enum class Outcome : std::uint8_t {
    Held,         // the lock is held
    Busy,         // another run held it for the whole waiting time
    Unavailable,  // the file cannot be opened or made: there is nothing to share
    Refused,      // the name holds a link, a FIFO, a device, or another user's Private file
  };
  // What an Acquire came to. Unless held, the failure is Step::Lock naming the file, with the
  // system's code where a call failed and the refusal where the file was refused.
  struct [[nodiscard]] Acquired {
    Outcome outcome = Outcome::Held;
    Result result;
  };

  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits up to timeoutMilliseconds for the lock. The lock belongs to the file that has the
  // name when it is taken: a file removed or replaced by the run that held the lock before
  // is not the one waited for.
  // The file is opened under the guard (Working or Private): never through a link, and a
  // Private one is made exclusively with mode 0600, or used only when it is the user's own
  // and then set to 0600.
  Acquired Acquire(const std::u16string& name, std::int64_t timeoutMilliseconds,
                   Guard guard = Guard::Working);
  void Release();
  bool Held() const { return handle_ != kClosed; }
  // Whether the lock held was taken on a file that its Acquire made.
  bool Made() const { return made_; }

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
  bool made_ = false;
};

Result RemoveFile(const std::u16string& name);
// Writes the bytes at the start of the named working file, creating it when it is missing,
// and cuts the file after them. A file that cannot be opened at all (a link, FIFO or device
// is not opened) fails as Step::Open; a failed write or cut as Step::Write. An existing file
// is written in place rather than emptied first, so that it never stands empty.
Result OverwriteFile(const std::u16string& name, const void* bytes, std::int64_t count);
// Renames from over to, replacing an existing target.
Result ReplaceFile(const std::u16string& from, const std::u16string& to);
// Sets the modification time of the file (a symbolic link is followed) to now, and nothing
// else: content, permissions, owner, links and identity stay as they are.
Result RenewModificationTime(const std::u16string& name);
// True when both names stand for the same place: one and the same existing file, or, where
// a file is missing, the same path once the directories are resolved. Empty names (the
// standard streams) are no place.
[[nodiscard]] bool SamePlace(const std::u16string& first, const std::u16string& second);

// The files removed when the process is ended by an interruption (SIGINT, SIGTERM, SIGHUP,
// or Ctrl-C at the console): a replacement's temporary file, a working file a run made and
// has not finished. After removing them the process ends with the signal's usual status.
// Names longer than the system's path limit are not kept.
void RemoveOnInterruption(const std::u16string& name);
void KeepOnInterruption(const std::u16string& name);

// Writes bytes to standard output / standard error unchanged. A failure to write standard
// output is Step::Write naming "standard output", with the system's code.
Result WriteStandardOutput(const void* buffer, std::size_t count);
void WriteStandardError(std::string_view bytes);

}  // namespace kelvo::platform
