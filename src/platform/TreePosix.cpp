// POSIX side of the tree conversion's system calls.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Platform.h"
#include "platform/Tree.h"

namespace kelvo::platform {
namespace {

std::string Native(const std::u16string& path) {
  return ToAnsi(path);
}

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISDIR(mode)) return FileKind::Directory;
  if (S_ISLNK(mode)) return FileKind::Link;
  if (S_ISFIFO(mode)) return FileKind::Fifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::Device;
  if (S_ISSOCK(mode)) return FileKind::Socket;
  return FileKind::Other;
}

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
  interrupted.store(true);
}

// Writes every byte; 0, or the system's error code.
int WriteAll(int fd, const void* bytes, std::int64_t count) {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n =
        ::write(fd, p, static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    count -= n;
  }
  return 0;
}

// Reads until count bytes are in or the file ends, at offset unless it is negative; got is
// how many. 0, or the system's error code.
int ReadFull(int fd, std::int64_t offset, void* buffer, std::int64_t count, std::int64_t& got) {
  auto* p = static_cast<char*>(buffer);
  got = 0;
  while (got < count) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count - got, 1 << 30));
    const ssize_t n =
        offset < 0 ? ::read(fd, p + got, want) : ::pread(fd, p + got, want, offset + got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += n;
  }
  return 0;
}

// Copies the extended attributes (ACLs among them) of one open file to another; a file
// system without them is no failure. 0, or the system's error code.
int CopyAttributes(int from, int to) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size <= 0) return 0;
  std::vector<char> names(static_cast<std::size_t>(size));
  size = ::flistxattr(from, names.data(), names.size());
  if (size < 0) return 0;
  std::vector<char> value;
  for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
    const char* name = names.data() + at;
    const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
    if (length < 0) continue;
    value.resize(static_cast<std::size_t>(length) + 1);
    const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
    if (got < 0) continue;
    if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0) != 0 &&
        errno != ENOTSUP && errno != EPERM && errno != EACCES) {
      return errno;
    }
  }
  return 0;
}

// Keeps the target under the backup name: a second name for the same file where the file
// system allows it, a copy otherwise; in either case put in place by a rename, whole. 0, or
// the system's error code.
int KeepBackup(const std::string& target, const std::string& backup) {
  std::string temporary = backup + ".kelvo-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(temporary.c_str());
  if (::link(target.c_str(), temporary.c_str()) != 0) {
    int from = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    int to =
        from < 0 ? -1 : ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    int error = from >= 0 && to >= 0 ? 0 : errno;
    char block[65536];
    for (std::int64_t got = 0; error == 0;) {
      error = ReadFull(from, -1, block, sizeof block, got);
      if (error != 0 || got == 0) break;
      error = WriteAll(to, block, got);
    }
    struct stat info {};
    if (error == 0 && ::fstat(from, &info) == 0) (void)::fchmod(to, info.st_mode & 07777);
    if (error == 0 && ::fsync(to) != 0) error = errno;
    if (from >= 0) ::close(from);
    if (to >= 0) ::close(to);
    if (error != 0) {
      ::unlink(temporary.c_str());
      return error;
    }
  }
  if (::rename(temporary.c_str(), backup.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return error;
  }
  return 0;
}

}  // namespace

Result Examine(const std::u16string& path, bool follow, FileFacts& facts) {
  struct stat info {};
  const std::string native = Native(path);
  if ((follow ? ::stat(native.c_str(), &info) : ::lstat(native.c_str(), &info)) != 0) {
    facts = FileFacts{};
    return Result::Failed(Step::Open, path, errno);
  }
  facts = FileFacts{.kind = KindOf(info.st_mode),
                    .size = static_cast<std::int64_t>(info.st_size),
                    .device = static_cast<std::uint64_t>(info.st_dev),
                    .inode = static_cast<std::uint64_t>(info.st_ino)};
  return Result::Ok();
}

Result ListDirectory(const std::u16string& path, std::vector<std::u16string>& names) {
  names.clear();
  DIR* dir = ::opendir(Native(path).c_str());
  if (dir == nullptr) return Result::FromSystem(Step::Read, path);
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.push_back(FromAnsi(name));
    errno = 0;
  }
  const int failure = errno;
  ::closedir(dir);
  return failure == 0 ? Result::Ok() : Result::Failed(Step::Read, path, failure);
}

Result MakeDirectories(const std::u16string& path) {
  const std::string native = Native(path);
  for (std::size_t at = 1; at <= native.size(); ++at) {
    if (at != native.size() && native[at] != '/') continue;
    const std::string step = native.substr(0, at);
    if (::mkdir(step.c_str(), 0777) != 0 && errno != EEXIST) {
      return Result::FromSystem(Step::Create, FromAnsi(step));
    }
  }
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return Result::Failed(Step::Create, path, ENOTDIR);
  }
  return Result::Ok();
}

Result RealPath(const std::u16string& path, std::u16string& real) {
  char* resolved = ::realpath(Native(path).c_str(), nullptr);
  if (resolved == nullptr) return Result::FromSystem(Step::Open, path);
  real = FromAnsi(resolved);
  std::free(resolved);
  return Result::Ok();
}

bool IsSeparator(char16_t c) {
  return c == u'/';
}

std::u16string ParentOf(const std::u16string& path) {
  const auto at = path.find_last_of(u'/');
  if (at == std::u16string::npos) return u".";
  return at == 0 ? u"/" : path.substr(0, at);
}

std::u16string LastNameOf(const std::u16string& path) {
  const auto at = path.find_last_of(u'/');
  return at == std::u16string::npos ? path : path.substr(at + 1);
}

std::u16string JoinPath(const std::u16string& directory, const std::u16string& name) {
  if (directory.empty()) return name;
  if (directory.back() == u'/') return directory + name;
  return directory + u'/' + name;
}

int LastError() {
  return errno;
}

std::string SystemReason(int error) {
  if (error == kNotRegularError) return "not a regular file";
  return std::strerror(error);
}

std::string ToUtf8(std::u16string_view text) {
  return ToAnsi(text);
}

bool StandardErrorIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

bool SlashSwitches() {
  return false;
}

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
  action.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &action, nullptr);
}

bool Interrupted() {
  return interrupted.load(std::memory_order_relaxed);
}

SourceFile::~SourceFile() {
  Close();
}

Result SourceFile::Open(const std::u16string& path, bool follow) {
  Close();
  // Non-blocking, so that a FIFO put in the file's place since it was examined does not
  // hold the run; it is refused below like any file that is not a regular one.
  const int fd = ::open(Native(path).c_str(),
                        O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    return errno == ELOOP && !follow ? Result::Failed(Step::Open, path, kNotRegularError)
                                     : Result::FromSystem(Step::Open, path);
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    Result refused = S_ISREG(info.st_mode) ? Result::FromSystem(Step::Open, path)
                                           : Result::Failed(Step::Open, path, kNotRegularError);
    ::close(fd);
    return refused;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  path_ = path;
  size_ = info.st_size;
  return Result::Ok();
}

Result SourceFile::Read(void* buffer, std::int64_t count, std::int64_t& got) {
  return ReadAt(-1, buffer, count, got);
}

Result SourceFile::ReadAt(std::int64_t offset, void* buffer, std::int64_t count,
                          std::int64_t& got) {
  const int error = ReadFull(static_cast<int>(handle_), offset, buffer, count, got);
  return error == 0 ? Result::Ok() : Result::Failed(Step::Read, path_, error);
}

Result SourceFile::Rewind() {
  return Result::Check(::lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0, Step::Read, path_);
}

void SourceFile::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

ReplacementFile::~ReplacementFile() {
  Discard();
}

Result ReplacementFile::Create(const std::u16string& target) {
  Discard();
  // Hidden, beside the target: the rename stays on one file system, and a walk of the
  // directory by a concurrent run passes it by.
  std::string name =
      Native(JoinPath(ParentOf(target), u"." + LastNameOf(target))) + ".kelvo-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return Result::FromSystem(Step::Create, FromAnsi(name));
  handle_ = fd;
  temporary_ = FromAnsi(name);
  target_ = target;
  return Result::Ok();
}

Result ReplacementFile::Write(const void* bytes, std::int64_t count) {
  const int error = WriteAll(static_cast<int>(handle_), bytes, count);
  return error == 0 ? Result::Ok() : Result::Failed(Step::Write, temporary_, error);
}

Committed ReplacementFile::Commit(const CommitSettings& settings) {
  const int fd = static_cast<int>(handle_);
  const std::string target = Native(target_);
  // The error code is taken before the temporary file is removed.
  auto fail = [&](CommitStep step, Step failed, int error) {
    Discard();
    const std::u16string& detail = step == CommitStep::KeepBackup ? settings.backup : target_;
    return Committed{.step = step, .result = Result::Failed(failed, detail, error)};
  };
  if (settings.like != nullptr) {
    const int from = static_cast<int>(settings.like->Handle());
    struct stat info {};
    if (::fstat(from, &info) != 0) return fail(CommitStep::ReadAttributes, Step::Read, errno);
    // The owner first: changing it clears the set-user-ID and set-group-ID bits.
    if (::fchown(fd, info.st_uid, info.st_gid) != 0) (void)::fchown(fd, ::geteuid(), info.st_gid);
    if (::fchmod(fd, info.st_mode & 07777) != 0) {
      return fail(CommitStep::SetMode, Step::Write, errno);
    }
    if (settings.attributes) {
      if (const int error = CopyAttributes(from, fd); error != 0) {
        return fail(CommitStep::CopyAttributes, Step::Write, error);
      }
    }
    if (settings.keepTime) {
      const struct timespec times[2] = {info.st_atim, info.st_mtim};
      if (::futimens(fd, times) != 0) return fail(CommitStep::SetTime, Step::Stamp, errno);
    }
  }
  // A file that replaces another reaches the disk before the rename, so that the old one
  // is never exchanged for a file whose blocks are not yet written; a new file replaces
  // nothing that could be lost, and the cost of a flush per file would dominate a tree.
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0 && ::fsync(fd) != 0) {
    return fail(CommitStep::Flush, Step::Close, errno);
  }
  const bool closed = ::close(fd) == 0;
  handle_ = -1;
  if (!closed) return fail(CommitStep::Flush, Step::Close, errno);
  if (!settings.backup.empty()) {
    if (const int error = KeepBackup(target, Native(settings.backup)); error != 0) {
      return fail(CommitStep::KeepBackup, Step::Create, error);
    }
  }
  if (::rename(Native(temporary_).c_str(), target.c_str()) != 0) {
    return fail(CommitStep::Rename, Step::Rename, errno);
  }
  temporary_.clear();
  return {};
}

void ReplacementFile::Discard() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temporary_.empty()) ::unlink(Native(temporary_).c_str());
  temporary_.clear();
}

}  // namespace kelvo::platform
