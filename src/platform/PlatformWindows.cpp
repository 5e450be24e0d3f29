// Windows side of the platform layer: the ANSI and OEM code pages, the wide command line,
// raw opens that ask for read and write access, and the Path variable.
#ifndef NOMINMAX
#define NOMINMAX
#endif
// GetFinalPathNameByHandleW needs Windows Vista or later.
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>
// clang-format off
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
// clang-format on
// windows.h maps ReplaceFile to its own ReplaceFileW; the layer's function keeps its name.
#undef ReplaceFile

#include <cstdio>
#include <cwchar>
#include <new>
#include <random>

#include "platform/Platform.h"

namespace kelvo::platform {

namespace {

std::string ToCodePage(UINT codePage, std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
  if (length <= 0) return {};
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide, static_cast<int>(text.size()), out.data(), length, nullptr,
                      nullptr);
  return out;
}

std::u16string FromCodePage(UINT codePage, std::string_view bytes) {
  if (bytes.empty()) return {};
  int length =
      MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return {};
  std::u16string out(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                      reinterpret_cast<wchar_t*>(out.data()), length);
  return out;
}

std::wstring Wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

HANDLE AsHandle(std::intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

// A working file is opened as the reparse point itself (a symbolic link, a junction) where
// one stands under its name, so that it is judged rather than followed.
DWORD GuardFlags(Guard guard) {
  return guard == Guard::Working || guard == Guard::Private ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
}

// Judges the file that was opened under a name by its guard. Windows gives no owner here
// that a run could weigh, so a file is refused only for being a reparse point where a working
// file belongs, or for being no file on disk.
Refusal Judge(HANDLE handle, Guard guard) {
  if (guard == Guard::None) return Refusal::None;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || GetFileInformationByHandle(handle, &info) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return Refusal::NotRegular;
  }
  if ((guard == Guard::Working || guard == Guard::Private) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return Refusal::Link;
  }
  return Refusal::None;
}

// Closes a handle that did not pass its guard.
HANDLE Judged(HANDLE handle, Guard guard, Refusal& refused) {
  refused = Refusal::None;
  if (handle == INVALID_HANDLE_VALUE) return handle;
  refused = Judge(handle, guard);
  if (refused == Refusal::None) return handle;
  CloseHandle(handle);
  return INVALID_HANDLE_VALUE;
}

HANDLE OpenForReading(const std::u16string& name, ReadMode mode, Guard guard, Refusal& refused) {
  // Raw files ask for read and write access, as the programs always did: a read-only file
  // counts as missing. Text files are opened read-only.
  // Deleting and renaming stay allowed, so that a file being read can be replaced as a
  // whole once its replacement is complete.
  DWORD access = mode == ReadMode::Raw ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  return Judged(CreateFileW(Wide(name).c_str(), access,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | GuardFlags(guard), nullptr),
                guard, refused);
}

// The failure of an open under a guard: the refusal, or else the system's code.
Result OpenFailure(Step step, const std::u16string& name, Refusal refused) {
  if (refused != Refusal::None) return Result::Refused(step, name, refused);
  return Result::FromSystem(step, name);
}

// A random part for a temporary name, that no other process can foresee.
std::wstring RandomPart() {
  std::random_device source;
  const unsigned long long value =
      (static_cast<unsigned long long>(source()) << 32) ^ static_cast<unsigned long long>(source());
  wchar_t text[17];
  std::swprintf(text, 17, L"%016llx", value);
  return text;
}

std::int64_t ModificationTime(HANDLE handle) {
  FILETIME written;
  if (GetFileTime(handle, nullptr, nullptr, &written) == 0) return -1;
  return (static_cast<std::int64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

// The path of an open file with links resolved; empty when the system cannot tell.
std::wstring FinalPath(HANDLE handle) {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD length = GetFinalPathNameByHandleW(handle, buffer, MAX_PATH * 4,
                                                 FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length == 0 || length >= MAX_PATH * 4) return L"";
  return std::wstring(buffer, length);
}

// The full path of a name, resolved against the current directory.
std::wstring FullPath(const std::wstring& name) {
  const DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
  if (length == 0) return name;
  std::wstring buffer(length, L'\0');
  const DWORD got = GetFullPathNameW(name.c_str(), length, buffer.data(), nullptr);
  if (got == 0 || got >= length) return name;
  buffer.resize(got);
  return buffer;
}

}  // namespace

std::string ToAnsi(std::u16string_view text) {
  return ToCodePage(CP_ACP, text);
}
std::u16string FromAnsi(std::string_view bytes) {
  return FromCodePage(CP_ACP, bytes);
}
std::string ToOem(std::u16string_view text) {
  return ToCodePage(CP_OEMCP, text);
}
std::u16string FromOem(std::string_view bytes) {
  return FromCodePage(CP_OEMCP, bytes);
}
std::u16string FromUtf8(std::string_view bytes) {
  return FromCodePage(CP_UTF8, bytes);
}

std::vector<std::u16string> Arguments(int, char**, const std::u16string& helpWord) {
  std::vector<std::u16string> words;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) return words;
  for (int i = 1; i < count; ++i) {
    std::wstring word(list[i]);
    if (word == L"/?" && !helpWord.empty()) {
      words.push_back(helpWord);
    } else {
      words.emplace_back(word.begin(), word.end());
    }
  }
  LocalFree(list);
  return words;
}

namespace {

// Where earlier installs kept the tables, and the default of a build that names no directory.
constexpr char16_t kFormerTableDirectory[] = u"C:\\Kelvo\\";

// The directory of the running program; empty when the system cannot tell.
std::u16string ProgramDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return u"";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  path.resize(separator == std::wstring::npos ? 0 : separator);
  return std::u16string(path.begin(), path.end());
}

}  // namespace

std::u16string DefaultTableDirectory() {
#ifdef KELVO_TABLE_DIR
  // A directory relative to the program's own (the zip's "Kelvo\" beside the programs, or
  // the directory of the programs that make the tables during a build), or an absolute one.
  static const std::u16string directory =
      ResolveDirectory(u"" KELVO_TABLE_DIR, ProgramDirectory(), u'\\');
  return directory;
#else
  return kFormerTableDirectory;
#endif
}

std::u16string FallbackTableDirectory() {
  // Programs whose tables lie elsewhere still find an install made the earlier way: the
  // programs anywhere, the tables in C:\Kelvo\.
  static const std::u16string fallback =
      CompareStringOrdinal(reinterpret_cast<const wchar_t*>(DefaultTableDirectory().c_str()), -1,
                           reinterpret_cast<const wchar_t*>(kFormerTableDirectory), -1,
                           TRUE) == CSTR_EQUAL
          ? std::u16string()
          : std::u16string(kFormerTableDirectory);
  return fallback;
}
char16_t PathListSeparator() {
  return u';';
}
char16_t DirectorySeparator() {
  return u'\\';
}

bool ReadSearchVariable(std::u16string& value) {
  DWORD length = GetEnvironmentVariableW(L"Path", nullptr, 0);
  if (length == 0) return false;
  std::wstring buffer(length, L'\0');
  DWORD got = GetEnvironmentVariableW(L"Path", buffer.data(), length);
  if (got == 0 || got >= length) return false;
  value.assign(buffer.begin(), buffer.begin() + got);
  return true;
}

std::u16string LocalTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t date[128];
  wchar_t time[128];
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, 128) == 0)
    date[0] = 0;
  if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, 128) == 0) time[0] = 0;
  std::wstring text = std::wstring(date) + L" " + time;
  return std::u16string(text.begin(), text.end());
}

namespace {
// Below this size the heap serves: a small file gains nothing from memory of its own.
constexpr std::int64_t kMappedFrom = std::int64_t{4} << 20;
}  // namespace

LargeBuffer::~LargeBuffer() {
  Release();
}

void LargeBuffer::Release() {
  if (mapping_ != nullptr) {
    VirtualFree(mapping_, 0, MEM_RELEASE);
  } else {
    delete[] data_;
  }
  data_ = nullptr;
  mapping_ = nullptr;
  mappingSize_ = 0;
}

namespace {
// Memory of that many bytes could not be had: the size is the detail.
Result Unallocated(std::int64_t bytes) {
  return Result::Failed(Step::Allocate, FromAnsi(std::to_string(bytes) + " bytes"),
                        ERROR_NOT_ENOUGH_MEMORY);
}
}  // namespace

Result LargeBuffer::Allocate(std::int64_t bytes) {
  Release();
  if (bytes < 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX / 2) return Unallocated(bytes);
  if (bytes < kMappedFrom) {
    data_ = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes > 0 ? bytes : 1)];
    return data_ != nullptr ? Result::Ok() : Unallocated(bytes);
  }
  void* mapping =
      VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapping == nullptr) return Unallocated(bytes);
  mapping_ = mapping;
  mappingSize_ = bytes;
  data_ = static_cast<std::uint8_t*>(mapping);
  return Result::Ok();
}

Result LargeBuffer::AllocateTables(std::int64_t bytes) {
  Release();
  if (bytes < 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX / 2) return Unallocated(bytes);
  // Committed memory from the system reads as zeros.
  void* mapping = VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes > 0 ? bytes : 1),
                               MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapping == nullptr) return Unallocated(bytes);
  mapping_ = mapping;
  mappingSize_ = bytes;
  data_ = static_cast<std::uint8_t*>(mapping);
  return Result::Ok();
}

int ProcessStatus(int exitCode) {
  return exitCode;
}

bool Result::NameTaken() const {
  return systemCode == ERROR_FILE_EXISTS || systemCode == ERROR_ALREADY_EXISTS;
}

Result CanOpen(const std::u16string& name, ReadMode mode, Guard guard) {
  Refusal refused = Refusal::None;
  HANDLE handle = OpenForReading(name, mode, guard, refused);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailure(Step::Open, name, refused);
  CloseHandle(handle);
  return Result::Ok();
}

std::optional<std::int64_t> FileSize(const std::u16string& name) {
  HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size;
  std::optional<std::int64_t> result;
  if (GetFileSizeEx(handle, &size)) result = size.QuadPart;
  CloseHandle(handle);
  return result;
}

bool SameFile(const std::u16string& first, const std::u16string& second) {
  if (first.empty() || second.empty()) return false;
  BY_HANDLE_FILE_INFORMATION info[2];
  const std::u16string* names[2] = {&first, &second};
  for (int i = 0; i < 2; ++i) {
    HANDLE handle = CreateFileW(Wide(*names[i]).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // A path too long to open counts as the same file: the caller keeps the input whole.
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILENAME_EXCED_RANGE;
    const bool ok = GetFileInformationByHandle(handle, &info[i]) != 0;
    CloseHandle(handle);
    if (!ok) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

InputFile::~InputFile() {
  Close();
}

Result InputFile::Open(const std::u16string& name, ReadMode mode, Guard guard) {
  Close();
  if (name.empty()) {
    _setmode(_fileno(stdin), _O_BINARY);
    handle_ = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_INPUT_HANDLE));
    standard_ = true;
    name_ = u"standard input";
    return Result::Ok();
  }
  name_ = name;
  Refusal refused = Refusal::None;
  HANDLE handle = OpenForReading(name, mode, guard, refused);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailure(Step::Open, name, refused);
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  standard_ = false;
  LARGE_INTEGER size;
  size_.reset();
  if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &size) != 0) {
    size_ = size.QuadPart;
  }
  modified_ = size_ ? ModificationTime(handle) : 0;
  return Result::Ok();
}

bool InputFile::Unchanged() const {
  if (handle_ == kClosed || !size_) return true;
  LARGE_INTEGER size;
  return GetFileSizeEx(AsHandle(handle_), &size) != 0 && size.QuadPart == size_ &&
         ModificationTime(AsHandle(handle_)) == modified_;
}

Result InputFile::Read(void* buffer, std::int64_t count, std::int64_t& got) {
  got = 0;
  if (handle_ == kClosed) return Result::Failed(Step::Read, name_, ERROR_INVALID_HANDLE);
  DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  DWORD read = 0;
  if (!ReadFile(AsHandle(handle_), buffer, chunk, &read, nullptr)) {
    // The end of a pipe is the end of its input.
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) return Result::Ok();
    return Result::Failed(Step::Read, name_, static_cast<int>(error));
  }
  got = read;
  return Result::Ok();
}

Result InputFile::ReadFully(void* buffer, std::int64_t count, std::int64_t& got) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  got = 0;
  while (got < count) {
    std::int64_t part = 0;
    Result result = Read(bytes + got, count - got, part);
    if (!result) return result;
    if (part == 0) break;
    got += part;
  }
  return Result::Ok();
}

void InputFile::Close() {
  if (handle_ != kClosed && !standard_) CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
  standard_ = false;
  size_.reset();
}

OutputFile::~OutputFile() {
  Discard();
}

Result OutputFile::Create(const std::u16string& name, Placement placement, Guard guard) {
  Discard();
  failed_ = {};
  if (name.empty()) {
    _setmode(_fileno(stdout), _O_BINARY);
    handle_ = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE));
    standard_ = true;
    name_ = u"standard output";
    return Result::Ok();
  }
  name_ = name;
  if (guard != Guard::None) {
    const DWORD attributes = GetFileAttributesW(Wide(name).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      return Result::Refused(Step::Create, name, Refusal::Link);
    }
  }
  if (placement == Placement::Replace) {
    std::wstring target = FullPath(Wide(name));
    bool replace = true;
    targetExists_ = false;
    HANDLE existing =
        CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (existing != INVALID_HANDLE_VALUE) {
      targetExists_ = true;
      BY_HANDLE_FILE_INFORMATION info;
      replace = GetFileType(existing) == FILE_TYPE_DISK &&
                GetFileInformationByHandle(existing, &info) != 0 &&
                (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
      const std::wstring final = FinalPath(existing);
      if (!final.empty()) target = final;
      CloseHandle(existing);
    }
    if (!replace && guard != Guard::None) {
      return Result::Refused(Step::Create, name, Refusal::NotRegular);
    }
    if (replace) {
      const std::size_t slash = target.find_last_of(L"\\/");
      const std::wstring directory =
          slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash);
      for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temporary = directory + L"\\kelvo-" + RandomPart() + L".tmp";
        HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
          const DWORD error = GetLastError();
          if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
          return Result::Failed(Step::Create, name, static_cast<int>(error));
        }
        handle_ = reinterpret_cast<std::intptr_t>(handle);
        standard_ = false;
        temporary_.assign(temporary.begin(), temporary.end());
        target_.assign(target.begin(), target.end());
        RemoveOnInterruption(temporary_);
        return Result::Ok();
      }
      return Result::Failed(Step::Create, name, ERROR_FILE_EXISTS);
    }
  }
  if (guard == Guard::None) {
    HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Result::FromSystem(Step::Create, name);
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    standard_ = false;
    return Result::Ok();
  }
  // A guarded file is opened as whatever stands there, and emptied only once it passed.
  Refusal refused = Refusal::None;
  HANDLE handle =
      Judged(CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL | GuardFlags(guard), nullptr),
             guard, refused);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailure(Step::Create, name, refused);
  if (SetEndOfFile(handle) == 0) {
    Result failed = Result::FromSystem(Step::Create, name);
    CloseHandle(handle);
    return failed;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  standard_ = false;
  return Result::Ok();
}

Result OutputFile::CreateNew(const std::u16string& name) {
  static_cast<void>(Close());
  failed_ = {};
  name_ = name;
  HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Result::FromSystem(Step::Create, name);
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  standard_ = false;
  return Result::Ok();
}

Result OutputFile::Write(const void* buffer, std::int64_t count) {
  if (handle_ == kClosed) return Result::Failed(Step::Write, name_, ERROR_INVALID_HANDLE);
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (count > 0 && failed_.Succeeded()) {
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), bytes, chunk, &put, nullptr) || put == 0) {
      failed_ = Result::FromSystem(Step::Write, name_);
      break;
    }
    bytes += put;
    count -= put;
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
  HANDLE handle = AsHandle(handle_);
  handle_ = kClosed;
  const auto failing = [&result, this](bool failed, Step step) {
    if (failed && result.Succeeded()) result = Result::FromSystem(step, name_);
  };
  if (temporary_.empty()) {
    failing(CloseHandle(handle) == 0, Step::Close);
    return result;
  }
  // A replacement is put in place only when all of it is on disk, with the old file's
  // attributes. Renaming over a file that another process has open without sharing, or that
  // another run is replacing at the same moment, is refused for a while: it is tried again.
  // The rename always replaces: a target that was missing when this run began may have been
  // put in place since by a concurrent run (two derivations of one table).
  const std::wstring temporary = Wide(temporary_);
  const std::wstring target = Wide(target_);
  if (result.Succeeded()) failing(FlushFileBuffers(handle) == 0, Step::Close);
  failing(CloseHandle(handle) == 0, Step::Close);
  bool ok = result.Succeeded();
  if (ok && targetExists_) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      SetFileAttributesW(temporary.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
  }
  if (ok) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | MOVEFILE_REPLACE_EXISTING;
    DWORD pause = 1;
    for (DWORD waited = 0;;) {
      ok = MoveFileExW(temporary.c_str(), target.c_str(), flags) != 0;
      const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
      if (ok || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) ||
          waited >= 10000) {
        if (!ok) result = Result::Failed(Step::Rename, name_, static_cast<int>(error));
        break;
      }
      Sleep(pause);
      waited += pause;
      pause = pause < 50 ? pause * 2 : 50;
    }
  }
  if (!ok) DeleteFileW(temporary.c_str());
  KeepOnInterruption(temporary_);
  temporary_.clear();
  target_.clear();
  return result;
}

void OutputFile::Discard() {
  if (handle_ != kClosed && !standard_) CloseHandle(AsHandle(handle_));
  if (!temporary_.empty()) {
    DeleteFileW(Wide(temporary_).c_str());
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
  if (handle_ != kClosed) CloseHandle(AsHandle(handle_));  // closing lets the lock go
  handle_ = kClosed;
}

FileLock::Acquired FileLock::Acquire(const std::u16string& name, std::int64_t timeoutMilliseconds,
                                     Guard guard) {
  Release();
  made_ = false;
  Refusal refused = Refusal::None;
  const auto busy = [&name] { return Acquired{Outcome::Busy, Result::Failed(Step::Lock, name)}; };
  const auto unavailable = [&name](DWORD code) {
    return Acquired{Outcome::Unavailable, Result::Failed(Step::Lock, name, static_cast<int>(code))};
  };
  const auto refusal = [&name](Refusal why) {
    return Acquired{Outcome::Refused, Result::Refused(Step::Lock, name, why)};
  };
  const std::wstring wide = Wide(name);
  const ULONGLONG start = GetTickCount64();
  auto elapsed = [start] { return static_cast<std::int64_t>(GetTickCount64() - start); };
  DWORD pause = 1;
  for (;;) {
    // Everyone may read, write, delete or rename the file while the lock is held: the lock
    // covers one byte far beyond any data, so it never stands in the way of the file's I/O.
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | GuardFlags(guard), nullptr);
    made_ = handle != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS;
    handle = Judged(handle, guard, refused);
    if (refused != Refusal::None) return refusal(refused);
    if (handle == INVALID_HANDLE_VALUE) {
      // A file that the holder removed stays in the way until its last handle is closed; a
      // directory of that name never makes way.
      const DWORD error = GetLastError();
      const DWORD attributes = GetFileAttributesW(wide.c_str());
      const bool directory =
          attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (error == ERROR_ACCESS_DENIED && !directory && elapsed() < timeoutMilliseconds) {
        Sleep(pause);
        pause = pause < 50 ? pause * 2 : 50;
        continue;
      }
      if (directory && guard != Guard::None) return refusal(Refusal::NotRegular);
      return unavailable(error);
    }
    OVERLAPPED beyond{};
    beyond.Offset = 0xFFFFFFFEu;
    beyond.OffsetHigh = 0x7FFFFFFFu;
    bool locked = false;
    DWORD lockError = 0;
    for (;;) {
      if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &beyond)) {
        locked = true;
        break;
      }
      lockError = GetLastError();
      if (lockError != ERROR_LOCK_VIOLATION && lockError != ERROR_IO_PENDING) break;
      if (elapsed() >= timeoutMilliseconds) break;
      Sleep(pause);
      pause = pause < 50 ? pause * 2 : 50;
    }
    if (!locked) {
      CloseHandle(handle);
      return elapsed() >= timeoutMilliseconds ? busy() : unavailable(lockError);
    }
    // The run that held the lock may have removed or replaced the file.
    BY_HANDLE_FILE_INFORMATION held;
    BY_HANDLE_FILE_INFORMATION named;
    HANDLE check =
        CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool same = false;
    if (check != INVALID_HANDLE_VALUE) {
      same = GetFileInformationByHandle(handle, &held) != 0 &&
             GetFileInformationByHandle(check, &named) != 0 &&
             held.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
             held.nFileIndexHigh == named.nFileIndexHigh &&
             held.nFileIndexLow == named.nFileIndexLow;
      CloseHandle(check);
    }
    if (same) {
      handle_ = reinterpret_cast<std::intptr_t>(handle);
      return Acquired{};
    }
    CloseHandle(handle);
    if (elapsed() >= timeoutMilliseconds) return busy();
  }
}

Result OverwriteFile(const std::u16string& name, const void* bytes, std::int64_t count) {
  Refusal refused = Refusal::None;
  HANDLE handle = Judged(
      CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | GuardFlags(Guard::Working), nullptr),
      Guard::Working, refused);
  if (handle == INVALID_HANDLE_VALUE) return OpenFailure(Step::Open, name, refused);
  const auto* data = static_cast<const unsigned char*>(bytes);
  Result result =
      count >= 0 ? Result::Ok() : Result::Failed(Step::Write, name, ERROR_INVALID_PARAMETER);
  for (std::int64_t done = 0; result && done < count;) {
    const std::int64_t chunk = count - done < (1 << 30) ? count - done : (1 << 30);
    DWORD wrote = 0;
    if (WriteFile(handle, data + done, static_cast<DWORD>(chunk), &wrote, nullptr) == 0) {
      result = Result::FromSystem(Step::Write, name);
    } else if (wrote == 0) {
      result = Result::Failed(Step::Write, name);
    }
    done += wrote;
  }
  // The file ends where the new bytes end. It is cut only when it is longer: setting the end
  // where it already is may still touch the file (wine writes a byte past the end and cuts it
  // off again), and a reader at that moment would see a byte that was never written.
  LARGE_INTEGER size;
  if (result && (!GetFileSizeEx(handle, &size) || size.QuadPart > count) &&
      SetEndOfFile(handle) == 0) {
    result = Result::FromSystem(Step::Write, name);
  }
  if (CloseHandle(handle) == 0 && result) result = Result::FromSystem(Step::Close, name);
  return result;
}

Result RemoveFile(const std::u16string& name) {
  return Result::Check(DeleteFileW(Wide(name).c_str()) != 0, Step::Remove, name);
}

Result ReplaceFile(const std::u16string& from, const std::u16string& to) {
  return Result::Check(MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0,
                       Step::Rename, to);
}

Result RenewModificationTime(const std::u16string& name) {
  HANDLE handle = CreateFileW(Wide(name).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Result::FromSystem(Step::Stamp, name);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  Result result = Result::Ok();
  if (SetFileTime(handle, nullptr, nullptr, &now) == 0) {
    result = Result::FromSystem(Step::Stamp, name);
  }
  if (CloseHandle(handle) == 0 && result) result = Result::FromSystem(Step::Stamp, name);
  return result;
}

bool SamePlace(const std::u16string& first, const std::u16string& second) {
  if (first.empty() || second.empty()) return false;
  if (SameFile(first, second)) return true;
  return _wcsicmp(FullPath(Wide(first)).c_str(), FullPath(Wide(second)).c_str()) == 0;
}

namespace {

// The names removed when Ctrl-C or Ctrl-Break ends the process at the console, each in a
// slot of its own; a slot is filled before it is marked used.
constexpr int kInterruptionSlots = 8;
struct InterruptionSlot {
  volatile LONG used;
  wchar_t path[4096];
};
InterruptionSlot interruptionSlots[kInterruptionSlots];
bool handlerInstalled = false;

BOOL WINAPI OnInterruption(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    for (InterruptionSlot& slot : interruptionSlots) {
      if (slot.used != 0) DeleteFileW(slot.path);
    }
  }
  return FALSE;  // the usual end of the process follows
}

}  // namespace

void RemoveOnInterruption(const std::u16string& name) {
  const std::wstring wide = Wide(name);
  if (wide.empty() || wide.size() >= 4096) return;
  if (!handlerInstalled) {
    handlerInstalled = true;
    SetConsoleCtrlHandler(OnInterruption, TRUE);
  }
  for (InterruptionSlot& slot : interruptionSlots) {
    if (slot.used != 0) continue;
    wmemcpy(slot.path, wide.c_str(), wide.size() + 1);
    InterlockedExchange(&slot.used, 1);
    return;
  }
}

void KeepOnInterruption(const std::u16string& name) {
  const std::wstring wide = Wide(name);
  for (InterruptionSlot& slot : interruptionSlots) {
    if (slot.used != 0 && wide == slot.path) {
      InterlockedExchange(&slot.used, 0);
      return;
    }
  }
}

Result WriteStandardOutput(const void* buffer, std::size_t count) {
  OutputFile out;
  Result written = out.Create(u"");
  if (written) written = out.Write(buffer, static_cast<std::int64_t>(count));
  Result closed = out.Close();
  return written ? std::move(closed) : std::move(written);
}

void WriteStandardError(std::string_view bytes) {
  DWORD put = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &put,
            nullptr);
}

}  // namespace kelvo::platform
