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

bool WriteAll(int fd, const void* bytes, std::int64_t count, int& error) {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n =
        ::write(fd, p, static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return false;
    }
    p += n;
    count -= n;
  }
  return true;
}

std::int64_t ReadFull(int fd, std::int64_t offset, void* buffer, std::int64_t count, int& error) {
  auto* p = static_cast<char*>(buffer);
  std::int64_t total = 0;
  while (total < count) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count - total, 1 << 30));
    const ssize_t n =
        offset < 0 ? ::read(fd, p + total, want) : ::pread(fd, p + total, want, offset + total);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return -1;
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

// Copies the extended attributes (ACLs among them) of one open file to another; a file
// system without them is no failure.
bool CopyAttributes(int from, int to, int& error) {
  ssize_t size = ::flistxattr(from, nullptr, 0);
  if (size <= 0) return true;
  std::vector<char> names(static_cast<std::size_t>(size));
  size = ::flistxattr(from, names.data(), names.size());
  if (size < 0) return true;
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
      error = errno;
      return false;
    }
  }
  return true;
}

// Keeps the target under the backup name: a second name for the same file where the file
// system allows it, a copy otherwise; in either case put in place by a rename, whole.
bool KeepBackup(const std::string& target, const std::string& backup, int& error) {
  std::string temporary = backup + ".kelvo-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    error = errno;
    return false;
  }
  ::close(fd);
  ::unlink(temporary.c_str());
  if (::link(target.c_str(), temporary.c_str()) != 0) {
    int from = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    int to =
        from < 0 ? -1 : ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool copied = from >= 0 && to >= 0;
    char block[65536];
    for (std::int64_t n = 0; copied && (n = ReadFull(from, -1, block, sizeof block, error)) != 0;) {
      copied = n > 0 && WriteAll(to, block, n, error);
    }
    struct stat info {};
    if (copied && ::fstat(from, &info) == 0) (void)::fchmod(to, info.st_mode & 07777);
    if (copied && ::fsync(to) != 0) {
      error = errno;
      copied = false;
    }
    if (!copied && error == 0) error = errno;
    if (from >= 0) ::close(from);
    if (to >= 0) ::close(to);
    if (!copied) {
      ::unlink(temporary.c_str());
      return false;
    }
  }
  if (::rename(temporary.c_str(), backup.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool Examine(const std::u16string& path, bool follow, FileFacts& facts, int& error) {
  struct stat info {};
  const std::string native = Native(path);
  if ((follow ? ::stat(native.c_str(), &info) : ::lstat(native.c_str(), &info)) != 0) {
    error = errno;
    facts = FileFacts{};
    return false;
  }
  facts = FileFacts{.kind = KindOf(info.st_mode),
                    .size = static_cast<std::int64_t>(info.st_size),
                    .device = static_cast<std::uint64_t>(info.st_dev),
                    .inode = static_cast<std::uint64_t>(info.st_ino)};
  return true;
}

bool ListDirectory(const std::u16string& path, std::vector<std::u16string>& names, int& error) {
  names.clear();
  DIR* dir = ::opendir(Native(path).c_str());
  if (dir == nullptr) {
    error = errno;
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.push_back(FromAnsi(name));
    errno = 0;
  }
  const int failure = errno;
  ::closedir(dir);
  if (failure != 0) {
    error = failure;
    return false;
  }
  return true;
}

bool MakeDirectories(const std::u16string& path, int& error) {
  const std::string native = Native(path);
  for (std::size_t at = 1; at <= native.size(); ++at) {
    if (at != native.size() && native[at] != '/') continue;
    const std::string step = native.substr(0, at);
    if (::mkdir(step.c_str(), 0777) != 0 && errno != EEXIST) {
      error = errno;
      return false;
    }
  }
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = ENOTDIR;
    return false;
  }
  return true;
}

bool RealPath(const std::u16string& path, std::u16string& real, int& error) {
  char* resolved = ::realpath(Native(path).c_str(), nullptr);
  if (resolved == nullptr) {
    error = errno;
    return false;
  }
  real = FromAnsi(resolved);
  std::free(resolved);
  return true;
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

bool SourceFile::Open(const std::u16string& path, bool follow, int& error) {
  Close();
  // Non-blocking, so that a FIFO put in the file's place since it was examined does not
  // hold the run; it is refused below like any file that is not a regular one.
  const int fd = ::open(Native(path).c_str(),
                        O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    error = errno == ELOOP && !follow ? kNotRegularError : errno;
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISREG(info.st_mode) ? errno : kNotRegularError;
    ::close(fd);
    return false;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  handle_ = fd;
  path_ = path;
  size_ = info.st_size;
  return true;
}

std::int64_t SourceFile::Read(void* buffer, std::int64_t count, int& error) {
  return ReadFull(static_cast<int>(handle_), -1, buffer, count, error);
}

std::int64_t SourceFile::ReadAt(std::int64_t offset, void* buffer, std::int64_t count, int& error) {
  return ReadFull(static_cast<int>(handle_), offset, buffer, count, error);
}

bool SourceFile::Rewind(int& error) {
  if (::lseek(static_cast<int>(handle_), 0, SEEK_SET) != 0) {
    error = errno;
    return false;
  }
  return true;
}

void SourceFile::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

ReplacementFile::~ReplacementFile() {
  Discard();
}

bool ReplacementFile::Create(const std::u16string& target, int& error) {
  Discard();
  // Hidden, beside the target: the rename stays on one file system, and a walk of the
  // directory by a concurrent run passes it by.
  std::string name =
      Native(JoinPath(ParentOf(target), u"." + LastNameOf(target))) + ".kelvo-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return false;
  }
  handle_ = fd;
  temporary_ = FromAnsi(name);
  target_ = target;
  return true;
}

bool ReplacementFile::Write(const void* bytes, std::int64_t count, int& error) {
  return WriteAll(static_cast<int>(handle_), bytes, count, error);
}

bool ReplacementFile::Commit(const CommitSettings& settings, int& error, std::string& what) {
  const int fd = static_cast<int>(handle_);
  const std::string target = Native(target_);
  auto fail = [&](const char* step) {
    if (error == 0) error = errno;
    what = step;
    Discard();
    return false;
  };
  error = 0;
  if (settings.like != nullptr) {
    const int from = static_cast<int>(settings.like->Handle());
    struct stat info {};
    if (::fstat(from, &info) != 0) return fail("cannot read the attributes");
    // The owner first: changing it clears the set-user-ID and set-group-ID bits.
    if (::fchown(fd, info.st_uid, info.st_gid) != 0) (void)::fchown(fd, ::geteuid(), info.st_gid);
    if (::fchmod(fd, info.st_mode & 07777) != 0) return fail("cannot set the mode");
    if (settings.attributes && !CopyAttributes(from, fd, error)) {
      return fail("cannot copy the extended attributes");
    }
    if (settings.keepTime) {
      const struct timespec times[2] = {info.st_atim, info.st_mtim};
      if (::futimens(fd, times) != 0) return fail("cannot set the modification time");
    }
  }
  // A file that replaces another reaches the disk before the rename, so that the old one
  // is never exchanged for a file whose blocks are not yet written; a new file replaces
  // nothing that could be lost, and the cost of a flush per file would dominate a tree.
  struct stat existing {};
  if (::lstat(target.c_str(), &existing) == 0 && ::fsync(fd) != 0) return fail("cannot write");
  if (::close(fd) != 0) {
    handle_ = -1;
    return fail("cannot write");
  }
  handle_ = -1;
  if (!settings.backup.empty() && !KeepBackup(target, Native(settings.backup), error)) {
    return fail("cannot keep the backup");
  }
  if (::rename(Native(temporary_).c_str(), target.c_str()) != 0) return fail("cannot rename");
  temporary_.clear();
  return true;
}

void ReplacementFile::Discard() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  if (!temporary_.empty()) ::unlink(Native(temporary_).c_str());
  temporary_.clear();
}

}  // namespace kelvo::platform
