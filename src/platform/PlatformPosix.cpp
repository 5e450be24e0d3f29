// POSIX side of the platform layer: UTF-8 for every code page, read-only raw opens, PATH.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <random>

#include "platform/Platform.h"

#ifndef KELVO_TABLE_DIR
#define KELVO_TABLE_DIR "/usr/local/share/kelvo/"
#endif

namespace kelvo::platform {

namespace {

// Encodes UTF-16 as UTF-8. A lone surrogate U+DC80..U+DCFF stands for a byte that was not
// valid UTF-8 when it was decoded and becomes that byte again; any other lone surrogate
// becomes '?'.
std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out.push_back(static_cast<char>(c - 0xDC00));
      continue;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back('?');
      continue;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// Decodes UTF-8; every byte that is not part of a valid sequence becomes U+DC00 + byte, so
// that EncodeUtf8 gives the same bytes back.
std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = b[i];
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int length = 0;
    std::uint32_t value = 0;
    std::uint32_t minimum = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, value = c & 0x1F, minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, value = c & 0x0F, minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, value = c & 0x07, minimum = 0x10000;
    }
    bool valid = length > 0 && i + length <= n;
    for (int k = 1; valid && k < length; ++k) {
      if ((b[i + k] & 0xC0) != 0x80) {
        valid = false;
      } else {
        value = (value << 6) | (b[i + k] & 0x3F);
      }
    }
    if (valid && (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))) {
      valid = false;
    }
    if (!valid) {
      out.push_back(static_cast<char16_t>(0xDC00 + c));
      ++i;
      continue;
    }
    if (value >= 0x10000) {
      value -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(value));
    }
    i += length;
  }
  return out;
}

std::string NativeName(const std::u16string& name) {
  return EncodeUtf8(name);
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  return EncodeUtf8(text);
}
std::u16string FromAnsi(std::string_view bytes) {
  return DecodeUtf8(bytes);
}
std::string ToOem(std::u16string_view text) {
  return EncodeUtf8(text);
}
std::u16string FromOem(std::string_view bytes) {
  return DecodeUtf8(bytes);
}
std::u16string FromUtf8(std::string_view bytes) {
  return DecodeUtf8(bytes);
}

namespace {
// The program's first argument, kept for finding the program's directory where the system
// does not name the running executable.
const char* programArgument = nullptr;
}  // namespace

// Any word can name a file on POSIX, "/?" too: no word asks for help here.
std::vector<std::u16string> Arguments(int argc, char** argv, const std::u16string&) {
  if (argc > 0) programArgument = argv[0];
  std::vector<std::u16string> words;
  for (int i = 1; i < argc; ++i) words.push_back(DecodeUtf8(argv[i]));
  return words;
}

namespace {

// The real path of a file, symbolic links followed; empty when it cannot be had.
std::string RealPath(const std::string& name) {
  char* real = ::realpath(name.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string path(real);
  std::free(real);
  return path;
}

// The path of the running executable: from /proc on Linux, otherwise from the first argument
// as a path or looked up along PATH. Empty when none of these tells.
std::string ExecutablePath() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) break;
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      if (::access(buffer.c_str(), X_OK) == 0) return buffer;
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  if (programArgument == nullptr || *programArgument == '\0') return {};
  const std::string argument(programArgument);
  if (argument.find('/') != std::string::npos) return RealPath(argument);
  const char* search = std::getenv("PATH");
  std::string_view list = search != nullptr ? search : "";
  while (true) {
    const std::size_t end = list.find(':');
    std::string directory(list.substr(0, end));
    if (directory.empty()) directory = ".";
    const std::string candidate = directory + "/" + argument;
    if (::access(candidate.c_str(), X_OK) == 0) return RealPath(candidate);
    if (end == std::string_view::npos) return {};
    list.remove_prefix(end + 1);
  }
}

}  // namespace

std::u16string DefaultTableDirectory() {
  // A relative directory belongs to the program's installed tree (for example "../share/kelvo/"
  // beside "bin/"), so that a moved or unpacked tree still finds its tables. It is worked out
  // once per run.
  static const std::u16string directory = [] {
    // Without the program's directory a relative value stays relative to the current one.
    const std::string program = KELVO_TABLE_DIR[0] == '/' ? std::string() : ExecutablePath();
    const std::size_t slash = program.find_last_of('/');
    const std::string directory =
        slash == std::string::npos ? std::string() : program.substr(0, slash == 0 ? 1 : slash);
    return ResolveDirectory(DecodeUtf8(KELVO_TABLE_DIR), DecodeUtf8(directory), u'/');
  }();
  return directory;
}
std::u16string FallbackTableDirectory() {
  return {};
}
char16_t PathListSeparator() {
  return u':';
}
char16_t DirectorySeparator() {
  return u'/';
}

bool ReadSearchVariable(std::u16string& value) {
  const char* text = std::getenv("PATH");
  if (text == nullptr) return false;
  value = DecodeUtf8(text);
  return true;
}

std::u16string LocalTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return u"";
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  return DecodeUtf8(std::string_view(text, length));
}

namespace {
// Below this size the heap serves: a small file gains nothing from a mapping of its own.
constexpr std::int64_t kMappedFrom = std::int64_t{4} << 20;
constexpr std::int64_t kLargePage = std::int64_t{2} << 20;
}  // namespace

LargeBuffer::~LargeBuffer() {
  Release();
}

void LargeBuffer::Release() {
  if (mapping_ != nullptr) {
    ::munmap(mapping_, static_cast<std::size_t>(mappingSize_));
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  mapping_ = nullptr;
  mappingSize_ = 0;
}

namespace {

// A fresh mapping (zeroed by the system) of at least the given size. One of kMappedFrom or
// more starts on a large-page boundary and is advised to use large pages; a smaller one is
// left in small pages, since the first touch of a large page clears all of it (2 MB) where a
// small table touches a few dozen small pages.
bool MapLargePages(std::int64_t bytes, void*& mapping, std::int64_t& mappingSize,
                   std::uint8_t*& data) {
  const bool large = bytes >= kMappedFrom;
  // One large page more than asked, so that the buffer can start on a large-page boundary.
  const std::int64_t size =
      large ? (bytes + kLargePage - 1) / kLargePage * kLargePage + kLargePage : bytes;
  void* mapped = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return false;
  mapping = mapped;
  mappingSize = size;
  data = static_cast<std::uint8_t*>(mapped);
  if (!large) return true;
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const auto aligned = (start + kLargePage - 1) & ~static_cast<std::uintptr_t>(kLargePage - 1);
  data = reinterpret_cast<std::uint8_t*>(aligned);
#ifdef MADV_HUGEPAGE
  // Only advice: without large pages the buffer works all the same.
  ::madvise(data, static_cast<std::size_t>(size - kLargePage), MADV_HUGEPAGE);
#endif
  return true;
}

}  // namespace

namespace {
// Memory of that many bytes could not be had: the size is the detail.
Result Unallocated(std::int64_t bytes) {
  return Result::Failed(Step::Allocate, FromAnsi(std::to_string(bytes) + " bytes"), ENOMEM);
}
Result Allocated(bool had, std::int64_t bytes) {
  return had ? Result::Ok() : Unallocated(bytes);
}
}  // namespace

Result LargeBuffer::Allocate(std::int64_t bytes) {
  Release();
  if (bytes < 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX / 2 - kLargePage) {
    return Unallocated(bytes);
  }
#ifdef KELVO_EXACT_BUFFERS
  // Fuzz builds: every buffer is a heap block of exactly the size asked, so that a sanitizer
  // sees a step past its end.
  data_ = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)];
  return Allocated(data_ != nullptr, bytes);
#endif
  if (bytes < kMappedFrom) {
    data_ = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes > 0 ? bytes : 1)];
    return Allocated(data_ != nullptr, bytes);
  }
  return Allocated(MapLargePages(bytes, mapping_, mappingSize_, data_), bytes);
}

Result LargeBuffer::AllocateTables(std::int64_t bytes) {
  Release();
  if (bytes < 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX / 2 - kLargePage) {
    return Unallocated(bytes);
  }
#ifdef KELVO_EXACT_BUFFERS
  data_ = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes)]();
  return Allocated(data_ != nullptr, bytes);
#endif
  return Allocated(MapLargePages(bytes > 0 ? bytes : 1, mapping_, mappingSize_, data_), bytes);
}

int ProcessStatus(int exitCode) {
  return exitCode & 0xFF;
}

namespace {

// The directory part of a path ("." when it has none) and the name after it.
void SplitPath(const std::string& path, std::string& directory, std::string& leaf) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    directory = ".";
    leaf = path;
  } else {
    directory = slash == 0 ? "/" : path.substr(0, slash);
    leaf = path.substr(slash + 1);
  }
}

std::string DirectoryOf(const std::string& path) {
  std::string directory;
  std::string leaf;
  SplitPath(path, directory, leaf);
  return directory;
}

// The file a path ends at once its symbolic links are followed, up to 40 of them. A relative
// link target is joined to the link's own directory as it was spelled, never made absolute,
// so that a tree deeper than the system's path limit stays reachable from where the run
// stands. A path whose last step is no link comes back as it is (also when it does not
// exist); empty when a link cannot be read or the links do not end.
std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int step = 0; step < 40; ++step) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1,
                       '\0');
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) return {};
    target.resize(static_cast<std::size_t>(length));
    if (target[0] != '/') {
      const std::size_t slash = current.rfind('/');
      target.insert(0, slash == std::string::npos ? std::string() : current.substr(0, slash + 1));
    }
    current = target;
  }
  return {};
}

// Owners whose files a run may trust: the user running it and the system's administrator.
bool TrustedOwner(uid_t owner) {
  return owner == ::geteuid() || owner == 0;
}

// A directory in which no stranger can have planted a file: owned by a trusted owner and not
// writable by everyone. A team's group-writable folder passes.
bool TrustedDirectory(const std::string& directory) {
  struct stat info {};
  return ::stat(directory.c_str(), &info) == 0 && TrustedOwner(info.st_uid) &&
         (info.st_mode & S_IWOTH) == 0;
}

// Judges the file that was opened under a name by its guard; info holds what fstat told of it
// (left untouched, and false returned through judged, under no guard).
Refusal Judge(int fd, const std::string& name, Guard guard, struct stat& info, bool& judged) {
  judged = false;
  if (guard == Guard::None) return Refusal::None;
  judged = true;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return Refusal::NotRegular;
  if (guard == Guard::Private && info.st_uid != ::geteuid()) return Refusal::Stranger;
  if (guard != Guard::Steering) return Refusal::None;
  if ((info.st_mode & S_IWOTH) != 0) return Refusal::WritableByAll;
  // A link has no meaningful mode; its owner must pass like a file's.
  struct stat link {};
  const bool linked = ::lstat(name.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  if (linked && !TrustedOwner(link.st_uid) && !TrustedDirectory(DirectoryOf(name))) {
    return Refusal::Stranger;
  }
  if (!TrustedOwner(info.st_uid)) {
    const std::string real = linked ? FollowLinks(name) : name;
    if (real.empty() || !TrustedDirectory(DirectoryOf(real))) return Refusal::Stranger;
  }
  return Refusal::None;
}

// Opens a name under its guard: a guarded open never blocks (the file is put back into
// blocking mode once judged), and a working file is never reached through a link. -1 when it
// cannot be opened or is refused (refused then tells why). A guarded file's fstat, taken to
// judge it, is handed back through info, so that the caller need not ask again; info is
// null-safe and otherwise filled by a fstat of its own under no guard.
int OpenGuarded(const std::string& name, int flags, Guard guard, Refusal& refused,
                mode_t mode = 0666, struct stat* info = nullptr) {
  refused = Refusal::None;
  const bool working = guard == Guard::Working || guard == Guard::Private;
  int fd = -1;
  for (;;) {
    fd = ::open(
        name.c_str(),
        flags | O_CLOEXEC | (guard != Guard::None ? O_NONBLOCK : 0) | (working ? O_NOFOLLOW : 0),
        mode);
    if (fd >= 0 || errno != EINTR) break;
  }
  if (fd < 0) {
    // What stands under the name tells why a working file could not be opened, whatever
    // the system answered (a kernel that protects links in sticky directories refuses them
    // with EACCES).
    const int error = errno;
    struct stat info {};
    if (working && ::lstat(name.c_str(), &info) == 0) {
      if (S_ISLNK(info.st_mode)) refused = Refusal::Link;
      if (!S_ISLNK(info.st_mode) && !S_ISREG(info.st_mode)) refused = Refusal::NotRegular;
    }
    if (guard != Guard::None && error == ENXIO) refused = Refusal::NotRegular;
    errno = error;
    return -1;
  }
  struct stat judgedInfo {};
  bool judged = false;
  refused = Judge(fd, name, guard, judgedInfo, judged);
  if (refused != Refusal::None) {
    ::close(fd);
    return -1;
  }
  // The status flags are those the file was opened with; F_SETFL ignores the access mode and
  // the creation flags among them.
  if (guard != Guard::None) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (info != nullptr) {
    if (judged) {
      *info = judgedInfo;
    } else if (::fstat(fd, info) != 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

// The failure of an OpenGuarded: the refusal, or else the system's code of the failed call.
Result OpenFailure(Step step, const std::u16string& name, Refusal refused) {
  if (refused != Refusal::None) return Result::Refused(step, name, refused);
  return Result::FromSystem(step, name);
}

}  // namespace

bool Result::NameTaken() const {
  return systemCode == EEXIST;
}

Result CanOpen(const std::u16string& name, ReadMode, Guard guard) {
  // Installed tables are read-only for ordinary users, so raw files are opened read-only
  // here too; the presence probe and the later open therefore always agree.
  Refusal refused = Refusal::None;
  struct stat info {};
  int fd = OpenGuarded(NativeName(name), O_RDONLY, guard, refused, 0666, &info);
  if (fd < 0) return OpenFailure(Step::Open, name, refused);
  ::close(fd);
  if (S_ISDIR(info.st_mode)) return Result::Failed(Step::Open, name, EISDIR);
  return Result::Ok();
}

std::optional<std::int64_t> FileSize(const std::u16string& name) {
  // Without blocking: a FIFO planted under the name has no size to wait for.
  int fd = ::open(NativeName(name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::int64_t> size;
  if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) size = info.st_size;
  ::close(fd);
  return size;
}

bool SameFile(const std::u16string& first, const std::u16string& second) {
  if (first.empty() || second.empty()) return false;
  struct stat a {};
  struct stat b {};
  if (::stat(NativeName(first).c_str(), &a) != 0) return errno == ENAMETOOLONG;
  if (::stat(NativeName(second).c_str(), &b) != 0) return errno == ENAMETOOLONG;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

InputFile::~InputFile() {
  Close();
}

Result InputFile::Open(const std::u16string& name, ReadMode, Guard guard) {
  Close();
  if (name.empty()) {
    handle_ = STDIN_FILENO;
    standard_ = true;
    name_ = u"standard input";
    return Result::Ok();
  }
  name_ = name;
  struct stat info {};
  Refusal refused = Refusal::None;
  int fd = OpenGuarded(NativeName(name), O_RDONLY, guard, refused, 0666, &info);
  if (fd < 0) return OpenFailure(Step::Open, name, refused);
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return Result::Failed(Step::Open, name, EISDIR);
  }
  handle_ = fd;
  standard_ = false;
  size_.reset();
  if (S_ISREG(info.st_mode)) size_ = info.st_size;
  modified_ = info.st_mtim.tv_sec * std::int64_t{1000000000} + info.st_mtim.tv_nsec;
  return Result::Ok();
}

bool InputFile::Unchanged() const {
  if (handle_ == kClosed || !size_) return true;
  struct stat info {};
  return ::fstat(static_cast<int>(handle_), &info) == 0 && info.st_size == size_ &&
         info.st_mtim.tv_sec * std::int64_t{1000000000} + info.st_mtim.tv_nsec == modified_;
}

Result InputFile::Read(void* buffer, std::int64_t count, std::int64_t& got) {
  got = 0;
  if (handle_ == kClosed) return Result::Failed(Step::Read, name_, EBADF);
  for (;;) {
    const ssize_t read = ::read(static_cast<int>(handle_), buffer, static_cast<std::size_t>(count));
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return Result::FromSystem(Step::Read, name_);
    got = read;
    return Result::Ok();
  }
}

Result InputFile::ReadFully(void* buffer, std::int64_t count, std::int64_t& got) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  got = 0;
  while (got < count) {
    std::int64_t chunk = count - got;
    if (chunk > (std::int64_t{1} << 30)) chunk = std::int64_t{1} << 30;
    std::int64_t part = 0;
    Result result = Read(bytes + got, chunk, part);
    if (!result) return result;
    if (part == 0) break;
    got += part;
  }
  return Result::Ok();
}

void InputFile::Close() {
  if (handle_ != kClosed && !standard_) ::close(static_cast<int>(handle_));
  handle_ = kClosed;
  standard_ = false;
  size_.reset();
}

OutputFile::~OutputFile() {
  Discard();
}

namespace {

// The absolute path of a file with its directories resolved: the real path of an existing
// file, or of the directory of a missing one followed by its name.
std::string ResolvedPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  std::string directory;
  std::string leaf;
  SplitPath(path, directory, leaf);
  if (::realpath(directory.c_str(), resolved) == nullptr) return path;
  std::string full = resolved;
  if (full.empty() || full.back() != '/') full += '/';
  return full + leaf;
}

// Makes sure what was written to a directory's entries is on disk.
void FlushDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

mode_t CreationMask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// A random part for a temporary name: 16 hexadecimal digits from the system's source of
// randomness, so that no other process can foresee the name.
std::string RandomPart() {
  std::random_device source;
  const std::uint64_t value =
      (static_cast<std::uint64_t>(source()) << 32) ^ static_cast<std::uint64_t>(source());
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Copies every extended attribute of a file (on Linux its access control list among them)
// to an open file. A file system without extended attributes has none to copy.
bool CopyAttributes(const std::string& from, int to) {
#ifdef __linux__
  for (int attempt = 0; attempt < 3; ++attempt) {
    ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP;
    if (size == 0) return true;
    std::string names(static_cast<std::size_t>(size), '\0');
    size = ::listxattr(from.c_str(), names.data(), names.size());
    if (size < 0 && errno == ERANGE) continue;  // an attribute came in between
    if (size < 0) return false;
    for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
      const char* name = names.c_str() + at;
      at += std::strlen(name) + 1;
      ssize_t length = ::getxattr(from.c_str(), name, nullptr, 0);
      if (length < 0) return false;
      std::string value(static_cast<std::size_t>(length), '\0');
      length = ::getxattr(from.c_str(), name, value.data(), value.size());
      if (length < 0 ||
          ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(length), 0) != 0) {
        return false;
      }
    }
    return true;
  }
  return false;
#else
  static_cast<void>(from);
  static_cast<void>(to);
  return true;
#endif
}

}  // namespace

Result OutputFile::Create(const std::u16string& name, Placement placement, Guard guard) {
  Discard();
  failed_ = {};
  if (name.empty()) {
    handle_ = STDOUT_FILENO;
    standard_ = true;
    name_ = u"standard output";
    return Result::Ok();
  }
  name_ = name;
  const std::string native = NativeName(name);
  if (guard != Guard::None) {
    struct stat link {};
    if (::lstat(native.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      return Result::Refused(Step::Create, name, Refusal::Link);
    }
  }
  if (placement == Placement::Replace) {
    // The file a link points to is the one replaced; the link stays a link. A link that
    // points nowhere is written through, which creates its target.
    const std::string target = FollowLinks(native);
    if (target.empty()) return Result::Failed(Step::Create, name, ELOOP);
    struct stat info {};
    targetExists_ = ::stat(target.c_str(), &info) == 0;
    if (targetExists_ && !S_ISREG(info.st_mode) && guard != Guard::None) {
      return Result::Refused(Step::Create, name, Refusal::NotRegular);
    }
    if (!targetExists_ || S_ISREG(info.st_mode)) {
      const std::size_t slash = target.rfind('/');
      const std::string directory =
          slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
      for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = directory + "kelvo-" + RandomPart() + ".tmp";
        const int fd =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
          if (errno == EEXIST || errno == EINTR) continue;
          return Result::FromSystem(Step::Create, name);
        }
        // The new file takes the old one's owner and group where the process may (only the
        // group, or nothing, otherwise), then its permission bits and its extended
        // attributes; a new file those that a file created here would get.
        bool ok = true;
        if (targetExists_) {
          if (::fchown(fd, info.st_uid, info.st_gid) != 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), info.st_gid);
          }
          ::fchmod(fd, info.st_mode & 07777);
          ok = CopyAttributes(target, fd);
        } else {
          ::fchmod(fd, 0666 & ~CreationMask());
        }
        if (!ok) {
          // Without its access control list the file could be read by more than before.
          const int code = errno;
          ::close(fd);
          ::unlink(temporary.c_str());
          return Result::Failed(Step::Create, name, code);
        }
        handle_ = fd;
        standard_ = false;
        temporary_ = DecodeUtf8(temporary);
        target_ = DecodeUtf8(target);
        RemoveOnInterruption(temporary_);
        return Result::Ok();
      }
      return Result::Failed(Step::Create, name, EEXIST);
    }
  }
  if (guard == Guard::None) {
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) handle_ = fd;
    standard_ = false;
    return Result::Check(fd >= 0, Step::Create, name);
  }
  // A guarded file is made exclusively when it is missing, and emptied only once it passed.
  const mode_t mode = guard == Guard::Private ? 0600 : 0666;
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    if (errno != EEXIST) return Result::FromSystem(Step::Create, name);
    Refusal refused = Refusal::None;
    fd = OpenGuarded(native, O_WRONLY, guard, refused);
    if (fd < 0) return OpenFailure(Step::Create, name, refused);
    if ((guard == Guard::Private && ::fchmod(fd, 0600) != 0) || ::ftruncate(fd, 0) != 0) {
      const int code = errno;
      ::close(fd);
      return Result::Failed(Step::Create, name, code);
    }
  }
  handle_ = fd;
  standard_ = false;
  return Result::Ok();
}

Result OutputFile::CreateNew(const std::u16string& name) {
  static_cast<void>(Close());
  failed_ = {};
  name_ = name;
  int fd =
      ::open(NativeName(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) handle_ = fd;
  standard_ = false;
  return Result::Check(fd >= 0, Step::Create, name);
}

namespace {
bool WriteAll(int fd, const void* buffer, std::int64_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    std::size_t chunk =
        count > (std::int64_t{1} << 30) ? (std::size_t{1} << 30) : static_cast<std::size_t>(count);
    ssize_t put = ::write(fd, bytes, chunk);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += put;
    count -= put;
  }
  return true;
}
}  // namespace

Result OutputFile::Write(const void* buffer, std::int64_t count) {
  if (handle_ == kClosed) return Result::Failed(Step::Write, name_, EBADF);
  if (!WriteAll(static_cast<int>(handle_), buffer, count) && failed_.Succeeded()) {
    failed_ = Result::FromSystem(Step::Write, name_);
  }
  return failed_;
}

Result OutputFile::Close() {
  if (handle_ == kClosed) return Result::Ok();
  Result result = std::move(failed_);
  failed_ = {};
  if (standard_) {
    handle_ = kClosed;
    standard_ = false;
    return result;
  }
  const int fd = static_cast<int>(handle_);
  handle_ = kClosed;
  const auto failing = [&result, this](bool failed, Step step) {
    if (failed && result.Succeeded()) result = Result::FromSystem(step, name_);
  };
  if (temporary_.empty()) {
    failing(::close(fd) != 0, Step::Close);
    return result;
  }
  // A replacement is renamed into place only when all of it is on disk.
  const std::string temporary = NativeName(temporary_);
  const std::string target = NativeName(target_);
  if (result.Succeeded()) failing(::fsync(fd) != 0, Step::Close);
  failing(::close(fd) != 0, Step::Close);
  if (result.Succeeded()) failing(::rename(temporary.c_str(), target.c_str()) != 0, Step::Rename);
  KeepOnInterruption(temporary_);
  if (!result.Succeeded()) {
    ::unlink(temporary.c_str());
  } else {
    std::string directory;
    std::string leaf;
    SplitPath(target, directory, leaf);
    FlushDirectory(directory);
  }
  temporary_.clear();
  target_.clear();
  return result;
}

void OutputFile::Discard() {
  if (handle_ != kClosed && !standard_) ::close(static_cast<int>(handle_));
  if (!temporary_.empty()) {
    ::unlink(NativeName(temporary_).c_str());
    KeepOnInterruption(temporary_);
  }
  handle_ = kClosed;
  standard_ = false;
  temporary_.clear();
  target_.clear();
}

FileLock::~FileLock() {
  Release();
}

void FileLock::Release() {
  if (handle_ != kClosed) ::close(static_cast<int>(handle_));  // closing lets the lock go
  handle_ = kClosed;
}

FileLock::Acquired FileLock::Acquire(const std::u16string& name, std::int64_t timeoutMilliseconds,
                                     Guard guard) {
  Release();
  made_ = false;
  Refusal refused = Refusal::None;
  const auto busy = [&name] { return Acquired{Outcome::Busy, Result::Failed(Step::Lock, name)}; };
  const auto unavailable = [&name](int code) {
    return Acquired{Outcome::Unavailable, Result::Failed(Step::Lock, name, code)};
  };
  const std::string native = NativeName(name);
  struct timespec start {};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  auto elapsed = [&start] {
    struct timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * std::int64_t{1000} +
           (now.tv_nsec - start.tv_nsec) / 1000000;
  };
  long pause = 1;  // milliseconds between attempts, growing to 50
  for (;;) {
    // A private file is made by this run alone, or must be the user's own.
    int fd = -1;
    if (guard == Guard::Private) {
      fd = ::open(native.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      made_ = fd >= 0;
      if (fd < 0 && errno == EEXIST) {
        fd = OpenGuarded(native, O_RDONLY, guard, refused);
        if (fd < 0 && errno == ENOENT && refused == Refusal::None) continue;  // removed meanwhile
      }
    } else {
      fd = OpenGuarded(native, O_RDONLY | O_CREAT, Guard::Working, refused);
    }
    if (refused != Refusal::None) {
      return Acquired{Outcome::Refused, Result::Refused(Step::Lock, name, refused)};
    }
    if (fd < 0) {
      if (errno == EINTR) continue;
      return unavailable(errno);
    }
    bool locked = false;
    for (;;) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        locked = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || elapsed() >= timeoutMilliseconds) break;
      const struct timespec wait { 0, pause * 1000000 };
      ::nanosleep(&wait, nullptr);
      pause = pause < 50 ? pause * 2 : 50;
    }
    if (!locked) {
      const int code = errno;
      ::close(fd);
      return code == EWOULDBLOCK || code == EINTR ? busy() : unavailable(code);
    }
    // The run that held the lock may have removed or replaced the file; the lock then
    // belongs to a file that no longer has the name, and the name's file is locked anew.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::stat(native.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      if (guard == Guard::Private && (held.st_mode & 07777) != 0600) ::fchmod(fd, 0600);
      handle_ = fd;
      return Acquired{};
    }
    ::close(fd);
    if (elapsed() >= timeoutMilliseconds) return busy();
  }
}

Result OverwriteFile(const std::u16string& name, const void* bytes, std::int64_t count) {
  Refusal refused = Refusal::None;
  const int fd = OpenGuarded(NativeName(name), O_WRONLY | O_CREAT, Guard::Working, refused);
  if (fd < 0) return OpenFailure(Step::Open, name, refused);
  const auto* data = static_cast<const unsigned char*>(bytes);
  Result result = count >= 0 ? Result::Ok() : Result::Failed(Step::Write, name, EINVAL);
  for (std::int64_t done = 0; result && done < count;) {
    const ssize_t wrote = ::pwrite(fd, data + done, static_cast<std::size_t>(count - done), done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) result = Result::FromSystem(Step::Write, name);
    if (wrote == 0) result = Result::Failed(Step::Write, name);
    if (wrote > 0) done += wrote;
  }
  struct stat info {};
  if (result && ::fstat(fd, &info) == 0 && info.st_size > count && ::ftruncate(fd, count) != 0) {
    result = Result::FromSystem(Step::Write, name);
  }
  if (::close(fd) != 0 && result) result = Result::FromSystem(Step::Close, name);
  return result;
}

Result RemoveFile(const std::u16string& name) {
  return Result::Check(::unlink(NativeName(name).c_str()) == 0, Step::Remove, name);
}

Result ReplaceFile(const std::u16string& from, const std::u16string& to) {
  return Result::Check(::rename(NativeName(from).c_str(), NativeName(to).c_str()) == 0,
                       Step::Rename, to);
}

Result RenewModificationTime(const std::u16string& name) {
  const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
  return Result::Check(::utimensat(AT_FDCWD, NativeName(name).c_str(), times, 0) == 0, Step::Stamp,
                       name);
}

bool SamePlace(const std::u16string& first, const std::u16string& second) {
  if (first.empty() || second.empty()) return false;
  if (SameFile(first, second)) return true;
  return ResolvedPath(NativeName(first)) == ResolvedPath(NativeName(second));
}

namespace {

// The names removed at an interruption, each in a slot of its own that the handler reads
// without taking any lock; a slot is filled before it is marked used.
constexpr int kInterruptionSlots = 8;
struct InterruptionSlot {
  volatile std::sig_atomic_t used;
  char path[PATH_MAX];
};
InterruptionSlot interruptionSlots[kInterruptionSlots];
bool handlersInstalled = false;

extern "C" void OnInterruption(int signalNumber) {
  for (InterruptionSlot& slot : interruptionSlots) {
    if (slot.used != 0) ::unlink(slot.path);
  }
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

void InstallInterruptionHandlers() {
  if (handlersInstalled) return;
  handlersInstalled = true;
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // A run started to ignore the signal (as under nohup) goes on ignoring it.
    if (::sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnInterruption;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
  }
}

}  // namespace

void RemoveOnInterruption(const std::u16string& name) {
  const std::string native = NativeName(name);
  if (native.empty() || native.size() >= PATH_MAX) return;
  InstallInterruptionHandlers();
  for (InterruptionSlot& slot : interruptionSlots) {
    if (slot.used != 0) continue;
    std::memcpy(slot.path, native.c_str(), native.size() + 1);
    slot.used = 1;
    return;
  }
}

void KeepOnInterruption(const std::u16string& name) {
  const std::string native = NativeName(name);
  for (InterruptionSlot& slot : interruptionSlots) {
    if (slot.used != 0 && native == slot.path) {
      slot.used = 0;
      return;
    }
  }
}

Result WriteStandardOutput(const void* buffer, std::size_t count) {
  return Result::Check(WriteAll(STDOUT_FILENO, buffer, static_cast<std::int64_t>(count)),
                       Step::Write, u"standard output");
}

void WriteStandardError(std::string_view bytes) {
  WriteAll(STDERR_FILENO, bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

}  // namespace kelvo::platform
