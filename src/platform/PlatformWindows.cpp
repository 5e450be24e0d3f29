// Windows side of the platform layer: the ANSI and OEM code pages, the wide command line,
// raw opens that ask for read and write access, and the Path variable.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// clang-format off
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
// clang-format on
// windows.h maps ReplaceFile to its own ReplaceFileW; the layer's function keeps its name.
#undef ReplaceFile

#include <new>

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

HANDLE OpenForReading(const std::u16string& name, ReadMode mode) {
  // Raw files ask for read and write access, as the programs always did: a read-only file
  // counts as missing. Text files are opened read-only.
  DWORD access = mode == ReadMode::Raw ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  return CreateFileW(Wide(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

std::vector<std::u16string> Arguments(int, char**) {
  std::vector<std::u16string> words;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  if (list == nullptr) return words;
  for (int i = 1; i < count; ++i) {
    std::wstring word(list[i]);
    words.emplace_back(word.begin(), word.end());
  }
  LocalFree(list);
  return words;
}

std::u16string DefaultTableDirectory() {
  return u"C:\\Kelvo\\";
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

bool LargeBuffer::Allocate(std::int64_t bytes) {
  Release();
  if (bytes < 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX / 2) return false;
  if (bytes < kMappedFrom) {
    data_ = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(bytes > 0 ? bytes : 1)];
    return data_ != nullptr;
  }
  void* mapping =
      VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapping == nullptr) return false;
  mapping_ = mapping;
  mappingSize_ = bytes;
  data_ = static_cast<std::uint8_t*>(mapping);
  return true;
}

bool LargeBuffer::AllocateTables(std::int64_t bytes) {
  Release();
  if (bytes < 0 || static_cast<std::uint64_t>(bytes) > SIZE_MAX / 2) return false;
  // Committed memory from the system reads as zeros.
  void* mapping = VirtualAlloc(nullptr, static_cast<SIZE_T>(bytes > 0 ? bytes : 1),
                               MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (mapping == nullptr) return false;
  mapping_ = mapping;
  mappingSize_ = bytes;
  data_ = static_cast<std::uint8_t*>(mapping);
  return true;
}

int ProcessStatus(int exitCode) {
  return exitCode;
}

bool CanOpen(const std::u16string& name, ReadMode mode) {
  HANDLE handle = OpenForReading(name, mode);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

std::int64_t FileSize(const std::u16string& name) {
  HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return -1;
  LARGE_INTEGER size;
  std::int64_t result = GetFileSizeEx(handle, &size) ? size.QuadPart : -1;
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
    if (handle == INVALID_HANDLE_VALUE) return false;
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

bool InputFile::Open(const std::u16string& name, ReadMode mode) {
  Close();
  if (name.empty()) {
    _setmode(_fileno(stdin), _O_BINARY);
    handle_ = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_INPUT_HANDLE));
    standard_ = true;
    return true;
  }
  HANDLE handle = OpenForReading(name, mode);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  standard_ = false;
  return true;
}

std::int64_t InputFile::Read(void* buffer, std::int64_t count) {
  if (handle_ == kClosed) return -1;
  DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle_), buffer, chunk, &got, nullptr)) {
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
}

std::int64_t InputFile::ReadFully(void* buffer, std::int64_t count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::int64_t total = 0;
  while (total < count) {
    std::int64_t got = Read(bytes + total, count - total);
    if (got < 0) return -1;
    if (got == 0) break;
    total += got;
  }
  return total;
}

void InputFile::Close() {
  if (handle_ != kClosed && !standard_) CloseHandle(AsHandle(handle_));
  handle_ = kClosed;
  standard_ = false;
}

OutputFile::~OutputFile() {
  Close();
}

bool OutputFile::Create(const std::u16string& name) {
  Close();
  if (name.empty()) {
    _setmode(_fileno(stdout), _O_BINARY);
    handle_ = reinterpret_cast<std::intptr_t>(GetStdHandle(STD_OUTPUT_HANDLE));
    standard_ = true;
    return true;
  }
  HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  standard_ = false;
  return true;
}

bool OutputFile::CreateNew(const std::u16string& name, bool& exists) {
  Close();
  exists = false;
  HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  standard_ = false;
  return true;
}

bool OutputFile::Write(const void* buffer, std::int64_t count) {
  if (handle_ == kClosed) return false;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), bytes, chunk, &put, nullptr)) return false;
    bytes += put;
    count -= put;
  }
  return true;
}

bool OutputFile::Close() {
  bool ok = true;
  if (handle_ != kClosed && !standard_) ok = CloseHandle(AsHandle(handle_)) != 0;
  handle_ = kClosed;
  standard_ = false;
  return ok;
}

bool OverwriteFile(const std::u16string& name, const void* bytes, std::int64_t count,
                   bool& opened) {
  HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  opened = handle != INVALID_HANDLE_VALUE;
  if (!opened) return false;
  const auto* data = static_cast<const unsigned char*>(bytes);
  bool ok = count >= 0;
  for (std::int64_t done = 0; ok && done < count;) {
    const std::int64_t chunk = count - done < (1 << 30) ? count - done : (1 << 30);
    DWORD wrote = 0;
    ok = WriteFile(handle, data + done, static_cast<DWORD>(chunk), &wrote, nullptr) != 0 &&
         wrote > 0;
    done += wrote;
  }
  // The file ends where the new bytes end. It is cut only when it is longer: setting the end
  // where it already is may still touch the file (wine writes a byte past the end and cuts it
  // off again), and a reader at that moment would see a byte that was never written.
  LARGE_INTEGER size;
  if (ok && (!GetFileSizeEx(handle, &size) || size.QuadPart > count)) {
    ok = SetEndOfFile(handle) != 0;
  }
  return CloseHandle(handle) != 0 && ok;
}

bool RemoveFile(const std::u16string& name) {
  return DeleteFileW(Wide(name).c_str()) != 0;
}

bool ReplaceFile(const std::u16string& from, const std::u16string& to) {
  return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool WriteStandardOutput(const void* buffer, std::size_t count) {
  OutputFile out;
  out.Create(u"");
  return out.Write(buffer, static_cast<std::int64_t>(count));
}

void WriteStandardError(std::string_view bytes) {
  DWORD put = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &put,
            nullptr);
}

}  // namespace kelvo::platform
