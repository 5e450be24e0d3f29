// kelvo's command line: every option defined once, with CLI11, which also gives the help and
// the version that the manual page is made from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kelvo/Transcode.h"

namespace kelvo::app {

enum class ProgressMode : std::uint8_t { Auto, Never, Always };
enum class Unmappable : std::uint8_t { Replace, Fail };

struct Settings {
  std::vector<std::u16string> paths;
  std::optional<transcode::Encoding> to;
  std::optional<transcode::Encoding> from;  // none: decided per file
  bool detectOnly = false;
  bool inPlace = false;
  std::u16string outDir;                 // empty: not given
  std::optional<std::u16string> backup;  // the suffix, with --backup
  bool keepTime = false;
  bool dryRun = false;
  bool check = false;
  Unmappable unmappable = Unmappable::Replace;
  transcode::Eol eol = transcode::Eol::Keep;
  transcode::Bom bom = transcode::Bom::Keep;
  bool follow = false;
  bool hidden = false;
  std::vector<std::u16string> includes;
  std::vector<std::u16string> excludes;
  std::optional<std::u16string> filesFrom;  // "-": standard input
  bool nulSeparated = false;
  unsigned jobs = 1;
  bool quiet = false;
  ProgressMode progress = ProgressMode::Auto;
  bool json = false;
};

// What the command line asks for: a run with its settings, or an end at once with a status
// and the text for standard output (help, version) or standard error (a usage error).
struct CommandLine {
  bool run = false;
  int exitCode = 0;
  std::string out;
  std::string err;
  Settings settings;
};

inline constexpr int kUsageError = 2;

// Parses the arguments after the program name. defaultJobs is what -j takes when not given.
CommandLine ParseCommandLine(const std::vector<std::u16string>& arguments, unsigned defaultJobs,
                             bool slashSwitches);

}  // namespace kelvo::app
