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

std::int64_t ReadFull(HANDLE handle, void* buffer, std::int64_t count, int& error) {
  auto* p = static_cast<char*>(buffer);
  std::int64_t total = 0;
  while (total < count) {
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::int64_t>(count - total, 1 << 30));
    if (!ReadFile(handle, p + total, want, &got, nullptr)) {
      error = static_cast<int>(GetLastError());
      return -1;
    }
    if (got == 0) break;
    total += got;
  }
  return total;
}

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

bool Examine(const std::u16string& path, bool follow, FileFacts& facts, int& error) {
  facts = FileFacts{};
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  if (!follow && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    facts.kind = FileKind::Link;
    return true;
  }
  HANDLE handle = OpenExisting(path, 0, follow);
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
    error = static_cast<int>(GetLastError());
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return false;
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
  return true;
}

bool ListDirectory(const std::u16string& path, std::vector<std::u16string>& names, int& error) {
  names.clear();
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileW(Wide(JoinPath(path, u"*")).c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return error == ERROR_FILE_NOT_FOUND;
  }
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow16(name));
  } while (FindNextFileW(find, &entry));
  const DWORD last = GetLastError();
  FindClose(find);
  if (last != ERROR_NO_MORE_FILES) {
    error = static_cast<int>(last);
    return false;
  }
  return true;
}

bool MakeDirectories(const std::u16string& path, int& error) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && !IsSeparator(path[at])) continue;
    const std::u16string step = path.substr(0, at);
    if (step.size() == 2 && step[1] == u':') continue;  // a drive
    if (!CreateDirectoryW(Wide(step).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
        GetLastError() != ERROR_ACCESS_DENIED) {
      error = static_cast<int>(GetLastError());
      return false;
    }
  }
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = ERROR_DIRECTORY;
    return false;
  }
  return true;
}

bool RealPath(const std::u16string& path, std::u16string& real, int& error) {
  HANDLE handle = OpenExisting(path, 0, true);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
  if (length >= name.size()) {
    name.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), 0);
  }
  CloseHandle(handle);
  if (length == 0) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  name.resize(length);
  // A plain drive path stays plain; a network path keeps its prefix.
  if (name.rfind(L"\\\\?\\", 0) == 0 && name.size() > 6 && name[5] == L':') name.erase(0, 4);
  real = Narrow16(name);
  return true;
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

bool SourceFile::Open(const std::u16string& path, bool follow, int& error) {
  Close();
  HANDLE handle = OpenExisting(path, GENERIC_READ, follow);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    CloseHandle(handle);
    error = kNotRegularError;
    return false;
  }
  handle_ = FromHandle(handle);
  path_ = path;
  size_ = static_cast<std::int64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  return true;
}

std::int64_t SourceFile::Read(void* buffer, std::int64_t count, int& error) {
  return ReadFull(AsHandle(handle_), buffer, count, error);
}

std::int64_t SourceFile::ReadAt(std::int64_t offset, void* buffer, std::int64_t count, int& error) {
  // A second handle of its own: a positioned read moves the position of a synchronous one.
  if (second_ == -1) {
    second_ = FromHandle(OpenExisting(path_, GENERIC_READ, true));
    if (second_ == -1) {
      error = static_cast<int>(GetLastError());
      return -1;
    }
  }
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  if (!SetFilePointerEx(AsHandle(second_), at, nullptr, FILE_BEGIN)) {
    error = static_cast<int>(GetLastError());
    return -1;
  }
  return ReadFull(AsHandle(second_), buffer, count, error);
}

bool SourceFile::Rewind(int& error) {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(AsHandle(handle_), zero, nullptr, FILE_BEGIN)) {
    error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
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

bool ReplacementFile::Create(const std::u16string& target, int& error) {
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
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  error = static_cast<int>(GetLastError());
  return false;
}

bool ReplacementFile::Write(const void* bytes, std::int64_t count, int& error) {
  const auto* p = static_cast<const char*>(bytes);
  while (count > 0) {
    DWORD written = 0;
    const auto step = static_cast<DWORD>(std::min<std::int64_t>(count, 1 << 30));
    if (!WriteFile(AsHandle(handle_), p, step, &written, nullptr)) {
      error = static_cast<int>(GetLastError());
      return false;
    }
    p += written;
    count -= written;
  }
  return true;
}

bool ReplacementFile::Commit(const CommitSettings& settings, int& error, std::string& what) {
  auto fail = [&](const char* step) {
    error = static_cast<int>(GetLastError());
    what = step;
    Discard();
    return false;
  };
  HANDLE handle = AsHandle(handle_);
  if (settings.like != nullptr && settings.keepTime) {
    FILETIME created{}, accessed{}, written{};
    if (!GetFileTime(AsHandle(settings.like->Handle()), &created, &accessed, &written) ||
        !SetFileTime(handle, nullptr, &accessed, &written)) {
      return fail("cannot set the modification time");
    }
  }
  if (!FlushFileBuffers(handle)) return fail("cannot write");
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
      return fail("cannot keep the backup");
    }
    if (!MoveFileExW(staged.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      DeleteFileW(staged.c_str());
      return fail("cannot keep the backup");
    }
  }
  // An existing file is replaced keeping its attributes and ACL; a new one is moved in place.
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  const bool replaced =
      settings.attributes && ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
  if (!replaced && !MoveFileExW(temporary.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return fail("cannot rename");
  }
  temporary_.clear();
  return true;
}

void ReplacementFile::Discard() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
  if (!temporary_.empty()) DeleteFileW(Wide(temporary_).c_str());
  temporary_.clear();
}

}  // namespace kelvo::platform
