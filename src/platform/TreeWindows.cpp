// Windows side of the tree conversion's system calls: wide paths throughout, reparse points
// as links, and replacements that keep the replaced file's attributes and ACL.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0600
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <windows.h>
// windows.h maps ReplaceFile to its own ReplaceFileW; the layer's function keeps its name.
#undef ReplaceFile

#include <algorithm>
#include <atomic>

#include "platform/Platform.h"
#include "platform/Tree.h"

namespace kelvo::platform {
namespace {

std::wstring Wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string Narrow16(const std::wstring& text) {
  return std::u16string(text.begin(), text.end());
}

HANDLE AsHandle(std::intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

std::intptr_t FromHandle(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
}

HANDLE OpenExisting(const std::u16string& path, DWORD access, bool follow) {
  return CreateFileW(Wide(path).c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                     nullptr);
}

std::atomic<bool> interrupted{false};

BOOL WINAPI OnInterrupt(DWORD) {
  interrupted.store(true);
  return TRUE;
}

// Reads until count bytes are in or the file ends; got is how many.
Result ReadFull(HANDLE handle, void* buffer, std::int64_t count, std::int64_t& got,
                const std::u16string& path) {
  auto* p = static_cast<char*>(buffer);
  got = 0;
  while (got < count) {
    DWORD read = 0;
    const auto want = static_cast<DWORD>(std::min<std::int64_t>(count - got, 1 << 30));
    if (!ReadFile(handle, p + got, want, &read, nullptr))
      return Result::FromSystem(Step::Read, path);
    if (read == 0) break;
    got += read;
  }
  return Result::Ok();
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

Result Examine(const std::u16string& path, bool follow, FileFacts& facts) {
  facts = FileFacts{};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    return Result::FromSystem(Step::Open, path);
  }
  if (!follow && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    facts.kind = FileKind::Link;
    return Result::Ok();
  }
  HANDLE handle = OpenExisting(path, 0, follow);
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
    Result failed = Result::FromSystem(Step::Open, path);
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return failed;
  }
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  const bool directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.kind = directory                ? FileKind::Directory
               : type == FILE_TYPE_DISK ? FileKind::Regular
               : type == FILE_TYPE_PIPE ? FileKind::Fifo
                                        : FileKind::Device;
  facts.size = static_cast<std::int64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  facts.device = info.dwVolumeSerialNumber;
  facts.inode = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return Result::Ok();
}

Result ListDirectory(const std::u16string& path, std::vector<std::u16string>& names) {
  names.clear();
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileW(Wide(JoinPath(path, u"*")).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    // An empty directory has not even "." and "..".
    return GetLastError() == ERROR_FILE_NOT_FOUND ? Result::Ok()
                                                  : Result::FromSystem(Step::Read, path);
  }
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow16(name));
  } while (FindNextFileW(find, &entry));
  const DWORD last = GetLastError();
  FindClose(find);
  return last == ERROR_NO_MORE_FILES ? Result::Ok()
                                     : Result::Failed(Step::Read, path, static_cast<int>(last));
}

Result MakeDirectories(const std::u16string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && !IsSeparator(path[at])) continue;
    const std::u16string step = path.substr(0, at);
    if (step.size() == 2 && step[1] == u':') continue;  // a drive
    if (!CreateDirectoryW(Wide(step).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
        GetLastError() != ERROR_ACCESS_DENIED) {
      return Result::FromSystem(Step::Create, step);
    }
  }
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Result::Failed(Step::Create, path, ERROR_DIRECTORY);
  }
  return Result::Ok();
}

Result RealPath(const std::u16string& path, std::u16string& real) {
  HANDLE handle = OpenExisting(path, 0, true);
  if (handle == INVALID_HANDLE_VALUE) return Result::FromSystem(Step::Open, path);
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
  if (length >= name.size()) {
    name.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
  }
  const Result named = Result::Check(length != 0, Step::Open, path);
  CloseHandle(handle);
  if (!named) return named;
  name.resize(length);
  // A plain drive path stays plain; a network path keeps its prefix.
  if (name.rfind(L"\\\\?\\", 0) == 0 && name.size() > 6 && name[5] == L':') name.erase(0, 4);
  real = Narrow16(name);
  return Result::Ok();
}

bool IsSeparator(char16_t c) {
  return c == u'\\' || c == u'/';
}

std::u16string ParentOf(const std::u16string& path) {
  const auto at = path.find_last_of(u"\\/");
  if (at == std::u16string::npos) return u".";
  if (at == 0 || (at == 2 && path[1] == u':')) return path.substr(0, at + 1);
  return path.substr(0, at);
}

std::u16string LastNameOf(const std::u16string& path) {
  const auto at = path.find_last_of(u"\\/");
  return at == std::u16string::npos ? path : path.substr(at + 1);
}

std::u16string JoinPath(const std::u16string& directory, const std::u16string& name) {
  if (directory.empty()) return name;
  if (IsSeparator(directory.back())) return directory + name;
  return directory + u'\\' + name;
}

int LastError() {
  return static_cast<int>(GetLastError());
}

std::string SystemReason(int error) {
  if (error == kNotRegularError) return "not a regular file";
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string reason;
  if (length > 0 && text != nullptr) reason.assign(text, text + length);
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() && (reason.back() == u'\n' || reason.back() == u'\r' ||
                             reason.back() == u'.' || reason.back() == u' ')) {
    reason.pop_back();
  }
  return reason.empty() ? "error " + std::to_string(error) : ToAnsi(reason);
}

std::string ToUtf8(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(length, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), out.data(), length, nullptr,
                      nullptr);
  return out;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool SlashSwitches() {
  return true;
}

void CatchInterrupts() {
  SetConsoleCtrlHandler(OnInterrupt, TRUE);
}

bool Interrupted() {
  return interrupted.load(std::memory_order_relaxed);
}

SourceFile::~SourceFile() {
  Close();
}

Result SourceFile::Open(const std::u16string& path, bool follow) {
  Close();
  HANDLE handle = OpenExisting(path, GENERIC_READ, follow);
  if (handle == INVALID_HANDLE_VALUE) return Result::FromSystem(Step::Open, path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(handle);
    return Result::Failed(Step::Open, path, kNotRegularError);
  }
  handle_ = FromHandle(handle);
  path_ = path;
  size_ = static_cast<std::int64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  return Result::Ok();
}

Result SourceFile::Read(void* buffer, std::int64_t count, std::int64_t& got) {
  return ReadFull(AsHandle(handle_), buffer, count, got, path_);
}

Result SourceFile::ReadAt(std::int64_t offset, void* buffer, std::int64_t count,
                          std::int64_t& got) {
  got = 0;
  // A second handle of its own: a positioned read moves the position of a synchronous one.
  if (second_ == -1) {
    second_ = FromHandle(OpenExisting(path_, GENERIC_READ, true));
    if (second_ == -1) return Result::FromSystem(Step::Read, path_);
  }
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  if (!SetFilePointerEx(AsHandle(second_), at, nullptr, FILE_BEGIN)) {
    return Result::FromSystem(Step::Read, path_);
  }
  return ReadFull(AsHandle(second_), buffer, count, got, path_);
}

Result SourceFile::Rewind() {
  LARGE_INTEGER zero{};
  return Result::Check(SetFilePointerEx(AsHandle(handle_), zero, nullptr, FILE_BEGIN) != 0,
                       Step::Read, path_);
}

void SourceFile::Close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  if (second_ != -1) CloseHandle(AsHandle(second_));
  handle_ = -1;
  second_ = -1;
}

ReplacementFile::~ReplacementFile() {
  Discard();
}

Result ReplacementFile::Create(const std::u16string& target) {
  Discard();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::u16string name = JoinPath(ParentOf(target), u"." + LastNameOf(target)) + u".kelvo-" +
                                FromUtf8(std::to_string(GetCurrentProcessId()) + "-" +
                                         std::to_string(temporaryCounter.fetch_add(1)));
    HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = FromHandle(handle);
      temporary_ = name;
      target_ = target;
      return Result::Ok();
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return Result::FromSystem(Step::Create, target);
}

Result ReplacementFile::Write(const void* bytes, std::int64_t count) {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    DWORD written = 0;
    const auto step = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30));
    if (!WriteFile(AsHandle(handle_), p, step, &written, nullptr)) {
      return Result::FromSystem(Step::Write, temporary_);
    }
    p += written;
    count -= written;
  }
  return Result::Ok();
}

Committed ReplacementFile::Commit(const CommitSettings& settings) {
  // The error code is taken before the temporary file is removed.
  auto fail = [&](CommitStep step, Step failed) {
    const std::u16string& detail = step == CommitStep::KeepBackup ? settings.backup : target_;
    Committed committed{.step = step, .result = Result::FromSystem(failed, detail)};
    Discard();
    return committed;
  };
  HANDLE handle = AsHandle(handle_);
  if (settings.like != nullptr && settings.keepTime) {
    FILETIME created{}, accessed{}, written{};
    if (!GetFileTime(AsHandle(settings.like->Handle()), &created, &accessed, &written) ||
        !SetFileTime(handle, nullptr, &accessed, &written)) {
      return fail(CommitStep::SetTime, Step::Stamp);
    }
  }
  if (!FlushFileBuffers(handle)) return fail(CommitStep::Flush, Step::Close);
  CloseHandle(handle);
  handle_ = -1;
  const std::wstring temporary = Wide(temporary_);
  const std::wstring target = Wide(target_);
  if (!settings.backup.empty()) {
    const std::wstring backup = Wide(settings.backup);
    const std::wstring staged = backup + L".kelvo-" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(staged.c_str());
    if (!CreateHardLinkW(staged.c_str(), target.c_str(), nullptr) &&
        !CopyFileW(target.c_str(), staged.c_str(), TRUE)) {
      return fail(CommitStep::KeepBackup, Step::Create);
    }
    if (!MoveFileExW(staged.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      Committed failed = fail(CommitStep::KeepBackup, Step::Rename);
      DeleteFileW(staged.c_str());
      return failed;
    }
  }
  // An existing file is replaced keeping its attributes and ACL; a new one is moved in place.
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  const bool replaced =
      settings.attributes && ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  if (!replaced && !MoveFileExW(temporary.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail(CommitStep::Rename, Step::Rename);
  }
  temporary_.clear();
  return {};
}

void ReplacementFile::Discard() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
  if (!temporary_.empty()) DeleteFileW(Wide(temporary_).c_str());
  temporary_.clear();
}

}  // namespace kelvo::platform
