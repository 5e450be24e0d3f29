// kelvo's options, each defined once here: the parser, the help, the version and, through
// the help, the manual page all come from these definitions.
#include "kelvo/Options.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "platform/Tree.h"

#ifndef KELVO_VERSION
#define KELVO_VERSION "0"
#endif

namespace kelvo::app {
namespace {

constexpr const char* kDescription =
    "Converts text files and whole trees between UTF-8, UTF-16, EUC-JP and Shift_JIS, deciding "
    "each file's encoding from its bytes when it is not given, or (with --detect) only reports "
    "what each file is. A directory is walked. Without --in-place or --out-dir a single file "
    "is written to standard output.";

constexpr const char* kFooter =
    "Encodings: utf-8, utf-16le, utf-16be, utf-16 (read by its byte-order mark, written "
    "little-endian with one), euc-jp, shift_jis; also utf8, eucjp, euc-jp-ms, sjis, cp932, "
    "ms932, windows-31j, in any case.\n\n"
    "Skipped, never written: binary files, files with nothing to change (unchanged), files "
    "whose encoding is undecided, FIFOs, devices and sockets.\n\n"
    "Exit status: 0 when every file was converted, unchanged or skipped as binary; 1 when any "
    "file failed or was undecided, or --check found a character to replace; 2 for a usage "
    "error.";

template <typename Value>
using Words = std::map<std::string, Value>;

template <typename Value>
std::vector<std::string> Keys(const Words<Value>& words) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : words) keys.push_back(key);
  return keys;
}

// An option whose value is one of a few words, given to the setting it stands for.
template <typename Value>
CLI::Option* AddWords(CLI::App& app, const char* name, std::string& word, const Words<Value>& words,
                      const char* help) {
  std::string shown;
  for (const auto& key : Keys(words)) shown += (shown.empty() ? "" : "|") + key;
  return app.add_option(name, word, help)
      ->check(CLI::IsMember(Keys(words), CLI::ignore_case).description(""))
      ->type_name(shown)
      ->capture_default_str();
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::u16string>& arguments, unsigned defaultJobs,
                             bool slashSwitches) {
  CommandLine result;
  Settings& s = result.settings;
  s.jobs = defaultJobs;

  CLI::App app{kDescription, "kelvo"};
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("kelvo ") + KELVO_VERSION);
  app.get_formatter()->column_width(30);

  std::vector<std::string> paths;
  std::string to;
  std::string from = "auto";
  std::string outDir;
  std::string backup;
  std::vector<std::string> includes;
  std::vector<std::string> excludes;
  std::string filesFrom;
  const Words<transcode::Eol> eols{
      {"keep", transcode::Eol::Keep}, {"lf", transcode::Eol::Lf}, {"crlf", transcode::Eol::CrLf}};
  const Words<transcode::Bom> boms{{"keep", transcode::Bom::Keep},
                                   {"add", transcode::Bom::Add},
                                   {"remove", transcode::Bom::Remove}};
  const Words<Unmappable> unmappables{{"replace", Unmappable::Replace}, {"fail", Unmappable::Fail}};
  const Words<ProgressMode> progresses{{"auto", ProgressMode::Auto},
                                       {"never", ProgressMode::Never},
                                       {"always", ProgressMode::Always}};
  std::string eol = "keep";
  std::string bom = "keep";
  std::string unmappable = "replace";
  std::string progress = "auto";

  app.add_option("PATH", paths, "Files and directories to convert or examine")->type_name("");
  app.add_option("-t,--to", to, "Encoding to write (required unless --detect)")->type_name("ENC");
  app.add_option("-f,--from", from, "Encoding of the input, or auto to decide per file")
      ->type_name("ENC")
      ->capture_default_str();
  app.add_flag("--detect", s.detectOnly,
               "Only report each file's encoding, line ends and byte-order mark");
  auto* inPlace = app.add_flag("--in-place", s.inPlace,
                               "Replace each file safely (temporary file, flush, rename), keeping "
                               "mode, owner, ACL and extended attributes");
  app.add_option("-o,--out-dir", outDir, "Write the converted files into DIR, mirroring the tree")
      ->type_name("DIR")
      ->excludes(inPlace);
  app.add_flag("--backup", backup,
               "With --in-place, keep each original as FILE.SUFFIX (default .orig); the suffix "
               "only as --backup=SUFFIX")
      ->type_name("[=SUFFIX]")
      ->needs(inPlace);
  app.add_flag("--keep-time", s.keepTime, "Keep each file's modification time");
  app.add_flag("-n,--dry-run", s.dryRun, "Read and convert everything, write nothing");
  app.add_flag("--check", s.check,
               "Like --dry-run, and exit 1 if any file would need a replacement character");
  AddWords(app, "--on-unmappable", unmappable, unmappables,
           "replace: a character the target lacks becomes ? (U+FFFD into Unicode for an "
           "invalid sequence); fail: leave that file unwritten and count it failed");
  AddWords(app, "--eol", eol, eols, "Line ends to write");
  AddWords(app, "--bom", bom, boms,
           "Byte-order mark to write (add: the UTF-8 one that spreadsheets need)");
  app.add_flag("--follow", s.follow, "Follow symbolic links in a walk");
  app.add_flag("--hidden", s.hidden, "Walk hidden files and .git, .hg and .svn too");
  app.add_option("--include", includes, "Convert only files that match GLOB (repeatable)")
      ->type_name("GLOB")
      ->allow_extra_args(false);
  app.add_option("--exclude", excludes,
                 "Leave out files and directories that match GLOB (repeatable)")
      ->type_name("GLOB")
      ->allow_extra_args(false);
  app.add_option("--files-from", filesFrom,
                 "Take the paths from FILE, one a line (- for standard input)")
      ->type_name("FILE");
  app.add_flag("-0,--null", s.nulSeparated, "The --files-from list is separated by NUL bytes");
  app.add_option("-j,--jobs", s.jobs, "Files converted in parallel (default: the processors)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u).description(""));
  app.add_flag("-q,--quiet", s.quiet, "No progress and no summary; only failures");
  AddWords(app, "--progress", progress, progresses,
           "The progress line on standard error (auto: on a terminal)");
  app.add_flag("--json", s.json, "JSON Lines on standard output: one object per file and a total");

  std::vector<std::string> words;
  for (const auto& argument : arguments) {
    words.push_back(slashSwitches && argument == u"/?" ? "--help" : platform::ToUtf8(argument));
  }
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  std::ostringstream out;
  std::ostringstream err;
  auto usage = [&](const std::string& message) {
    result.exitCode = kUsageError;
    result.err = "kelvo: " + message + "\nRun with --help for more information.\n";
    return result;
  };
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    result.out = out.str();
    if (code == 0) {
      result.exitCode = 0;
      return result;
    }
    return usage(e.what());
  }

  for (const auto& path : paths) s.paths.push_back(platform::FromUtf8(path));
  for (const auto& glob : includes) s.includes.push_back(platform::FromUtf8(glob));
  for (const auto& glob : excludes) s.excludes.push_back(platform::FromUtf8(glob));
  if (!outDir.empty()) s.outDir = platform::FromUtf8(outDir);
  // The flag alone gives "true"; a suffix only comes with "=".
  if (app.count("--backup") > 0) {
    s.backup = platform::FromUtf8(backup.empty() || backup == "true" ? ".orig" : backup);
  }
  auto lower = [](std::string word) {
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
  };
  s.eol = eols.at(lower(eol));
  s.bom = boms.at(lower(bom));
  s.unmappable = unmappables.at(lower(unmappable));
  s.progress = progresses.at(lower(progress));
  if (app.count("--files-from") > 0) s.filesFrom = platform::FromUtf8(filesFrom);
  if (s.check) s.dryRun = true;

  if (!to.empty()) {
    s.to = transcode::ParseEncoding(to);
    if (!s.to) return usage("--to: unknown encoding: " + to);
  }
  if (from != "auto" && from != "AUTO") {
    s.from = transcode::ParseEncoding(from);
    if (!s.from) return usage("--from: unknown encoding: " + from);
  }
  if (!s.detectOnly && !s.to) return usage("--to is required (or --detect)");
  if (s.paths.empty() && !s.filesFrom) return usage("no PATH given (or --files-from)");
  result.run = true;
  return result;
}

}  // namespace kelvo::app
