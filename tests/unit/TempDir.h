// A fresh temporary directory that is the current directory while the object lives.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace kelvo::test {

#ifndef _WIN32
// While the object lives, files written by this process stop growing at the given size (a
// negative size: no limit): a write beyond it fails as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(long bytes) {
    if (bytes < 0) return;
    active_ = getrlimit(RLIMIT_FSIZE, &old_) == 0;
    if (!active_) return;
    previous_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    if (!active_) return;
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  bool active_ = false;
  rlimit old_{};
  void (*previous_)(int) = SIG_DFL;
};
#endif

class TempDir {
 public:
  TempDir() : previous_(std::filesystem::current_path()) {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("kelvo-unit-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary);
    out << bytes;
  }
  static std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static bool Exists(const std::string& name) { return std::filesystem::exists(name); }
  // Names of the error-log files (err*.txt) in the current directory, sorted by number.
  static std::vector<std::string> ErrorLogs();
  // Their contents in the same order.
  static std::vector<std::string> ErrorMessages() {
    std::vector<std::string> messages;
    for (const auto& name : ErrorLogs()) messages.push_back(Read(name));
    return messages;
  }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

inline std::vector<std::string> TempDir::ErrorLogs() {
  std::vector<std::pair<long, std::string>> found;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    std::string name = entry.path().filename().string();
    if (name.size() > 7 && name.rfind("err", 0) == 0 && name.ends_with(".txt") &&
        name != "error.txt") {
      found.emplace_back(std::stol(name.substr(3)), name);
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& item : found) names.push_back(item.second);
  return names;
}

}  // namespace kelvo::test
