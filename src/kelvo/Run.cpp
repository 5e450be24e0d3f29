// A run: the paths gathered and walked first (the total is known before the first file is
// converted), then the workers take the files in turn while the main thread tells of each
// result in the order of the walk and redraws the progress line.
#include "kelvo/Run.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "kelvo/Job.h"
#include "kelvo/Options.h"
#include "kelvo/Report.h"
#include "kelvo/Walk.h"
#include "platform/Platform.h"
#include "platform/Tree.h"

namespace kelvo::app {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Standard error, shared by the messages and the progress line: a message first clears the
// line, which the next redraw brings back.
class Console {
 public:
  explicit Console(bool progress) : progress_(progress) {}

  void Message(const std::string& text) {
    if (text.empty()) return;
    Clear();
    platform::WriteStandardError(text);
  }
  void Progress(const std::string& line) {
    if (!progress_) return;
    std::string text = "\r" + line;
    if (line.size() < shown_) text.append(shown_ - line.size(), ' ');
    shown_ = line.size();
    platform::WriteStandardError(text);
  }
  void Clear() {
    if (shown_ == 0) return;
    platform::WriteStandardError("\r" + std::string(shown_, ' ') + "\r");
    shown_ = 0;
  }

 private:
  const bool progress_;
  std::size_t shown_ = 0;
};

bool ShowProgress(const Settings& s) {
  if (s.progress == ProgressMode::Always) return true;
  if (s.progress == ProgressMode::Never || s.quiet) return false;
  return platform::StandardErrorIsTerminal();
}

// The paths of --files-from, whole (a pipe or standard input too); false, with the failure as
// a result, when the list cannot be read.
bool ReadList(const Settings& s, std::vector<std::u16string>& paths, FileResult& failure) {
  const std::u16string name = *s.filesFrom == u"-" ? u"" : *s.filesFrom;
  platform::InputFile list;
  std::string bytes;
  platform::Result read = list.Open(name, platform::ReadMode::Raw);
  char block[65536];
  for (std::int64_t got = 1; read && got != 0;) {
    read = list.Read(block, sizeof block, got);
    if (read) bytes.append(block, static_cast<std::size_t>(got));
  }
  if (!read) {
    failure.path = *s.filesFrom;
    failure.status = FileStatus::Failed;
    failure.what = "cannot read the list";
    failure.error = read.systemCode;
    return false;
  }
  for (const auto& entry : walk::SplitList(bytes, s.nulSeparated)) {
    paths.push_back(platform::FromUtf8(entry));
  }
  return true;
}

// A walk's notice as the result of its path; a link loop is no file of the run.
FileResult NoticeResult(const walk::WalkNotice& notice) {
  FileResult result;
  result.path = notice.path;
  result.status =
      notice.kind == walk::WalkNotice::Kind::Special ? FileStatus::Special : FileStatus::Failed;
  result.what = notice.what;
  result.error = notice.error;
  return result;
}

// Tells of each result as the settings ask (JSON or --detect lines on standard output,
// messages on standard error) and adds it up.
class Reporter {
 public:
  Reporter(const Settings& settings, const JobSettings& job, bool progress)
      : s_(settings), job_(job), console_(progress) {}

  void Tell(const FileResult& result) {
    totals_.Add(result);
    if (s_.json) {
      Out(JsonFile(result, s_.detectOnly ? nullptr : &job_.to, job_.dryRun && !s_.detectOnly));
    } else if (s_.detectOnly) {
      Out(DetectLine(result));
    }
    console_.Message(FileMessage(result));
    if (s_.json || s_.quiet) return;
    if (job_.dryRun && !s_.detectOnly && result.status == FileStatus::Converted) {
      console_.Message(app::Message(
          result.path,
          "would be converted from " + std::string(transcode::EncodingName(*result.from)), 0));
    }
    console_.Message(ReplacementMessages(result));
  }
  void Say(const std::string& text) { console_.Message(text); }
  void Progress(const std::string& line) { console_.Progress(line); }

  // The total or the summary; the exit status.
  int Finish(double seconds) {
    if (platform::Interrupted()) totals_.interrupted = true;
    console_.Clear();
    if (s_.json) {
      Out(JsonTotal(totals_, seconds, job_.dryRun));
    } else if (!s_.quiet) {
      platform::WriteStandardError(
          Summary(totals_, seconds, job_.dryRun && !s_.detectOnly, s_.detectOnly));
    }
    return ExitStatus(totals_, s_.check);
  }

 private:
  // Standard output; a failure to write it is told once and fails the run.
  void Out(const std::string& text) {
    if (platform::WriteStandardOutput(text.data(), text.size()) || outFailed_) return;
    outFailed_ = true;
    ++totals_.failed;
    console_.Message("kelvo: cannot write to standard output\n");
  }

  const Settings& s_;
  const JobSettings& job_;
  Console console_;
  Totals totals_;
  bool outFailed_ = false;
};

int Usage(const std::string& message) {
  platform::WriteStandardError("kelvo: " + message + "\nRun with --help for more information.\n");
  return kUsageError;
}

}  // namespace

int RunKelvo(const std::vector<std::u16string>& arguments) {
  const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
  CommandLine line = ParseCommandLine(arguments, processors, platform::SlashSwitches());
  if (!line.out.empty() && !platform::WriteStandardOutput(line.out.data(), line.out.size())) {
    return 1;
  }
  platform::WriteStandardError(line.err);
  if (!line.run) return line.exitCode;
  const Settings& s = line.settings;
  const auto start = Clock::now();
  platform::CatchInterrupts();

  JobSettings job{.from = s.from,
                  .to = s.to.value_or(transcode::Encoding::Utf8),
                  .eol = s.eol,
                  .bom = s.bom,
                  .outDir = s.outDir,
                  .backup = s.backup,
                  .keepTime = s.keepTime,
                  .dryRun = s.dryRun,
                  .failOnReplacement = s.unmappable == Unmappable::Fail,
                  .follow = s.follow,
                  .detectOnly = s.detectOnly};
  if (s.inPlace) {
    job.destination = Destination::InPlace;
  } else if (!s.outDir.empty()) {
    job.destination = Destination::OutDir;
  } else if (s.dryRun || s.detectOnly) {
    job.destination = Destination::InPlace;
    job.dryRun = true;
  }
  const bool standard = job.destination == Destination::StandardOutput;
  if (standard && s.json) return Usage("--json needs --in-place, --out-dir or --dry-run");

  std::vector<std::u16string> listed;
  FileResult listResult;
  const bool listFailed = s.filesFrom && !ReadList(s, listed, listResult);
  walk::Walker walker(walk::WalkSettings{.follow = s.follow,
                                         .hidden = s.hidden,
                                         .includes = s.includes,
                                         .excludes = s.excludes,
                                         .distinctFiles = s.inPlace,
                                         .avoid = s.outDir});
  for (const auto& path : s.paths) walker.Add(path, false);
  for (const auto& path : listed) walker.Add(path, true);
  auto& files = walker.Files();
  if (standard) {
    if (files.size() + walker.Notices().size() != 1 || !listed.empty() ||
        (files.size() == 1 && !files[0].named)) {
      return Usage("standard output takes a single file: give --in-place or --out-dir");
    }
  }

  // Two inputs with one place in the mirror would write one output file: the later ones fail.
  std::vector<FileResult> collisions;
  if (job.destination == Destination::OutDir) {
    std::set<std::u16string> places;
    std::erase_if(files, [&](const walk::FoundFile& file) {
      if (places.insert(file.relative).second) return false;
      FileResult& result = collisions.emplace_back();
      result.path = file.path;
      result.status = FileStatus::Failed;
      result.what = "its output would replace another file's: " +
                    platform::ToAnsi(platform::JoinPath(s.outDir, file.relative));
      return true;
    });
  }

  Reporter reporter(s, job, ShowProgress(s));
  if (listFailed) reporter.Tell(listResult);
  for (const auto& notice : walker.Notices()) {
    if (notice.kind == walk::WalkNotice::Kind::Loop) {
      reporter.Say(app::Message(notice.path, "skipped: a link loop", 0));
    } else {
      reporter.Tell(NoticeResult(notice));
    }
  }
  for (const auto& result : collisions) reporter.Tell(result);

  std::uint64_t bytesTotal = 0;
  for (const auto& file : files) bytesTotal += static_cast<std::uint64_t>(file.size);
  // The results finished but not yet told: only those ahead of the first one still running.
  std::map<std::size_t, FileResult> results;
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> bytesRead{0};
  const unsigned workers = static_cast<unsigned>(
      std::min<std::size_t>(standard ? 1 : s.jobs, std::max<std::size_t>(files.size(), 1)));
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      Worker worker(workers == 1);
      for (std::size_t i; !platform::Interrupted() && (i = next.fetch_add(1)) < files.size();) {
        FileResult result = worker.Convert(files[i], job, bytesRead);
        std::lock_guard lock(mutex);
        results.emplace(i, std::move(result));
        finished.notify_one();
      }
    });
  }

  std::size_t told = 0;
  auto lastDraw = Clock::now() - std::chrono::seconds(1);
  while (told < files.size() && !platform::Interrupted()) {
    std::unique_lock lock(mutex);
    finished.wait_for(lock, std::chrono::milliseconds(100),
                      [&] { return results.count(told) > 0 || platform::Interrupted(); });
    std::vector<FileResult> ready;
    for (auto at = results.find(told); at != results.end(); at = results.find(told)) {
      ready.push_back(std::move(at->second));
      results.erase(at);
      ++told;
    }
    lock.unlock();
    for (const auto& result : ready) reporter.Tell(result);
    if (Clock::now() - lastDraw >= std::chrono::milliseconds(100)) {
      lastDraw = Clock::now();
      reporter.Progress(
          ProgressLine(told, files.size(), bytesRead.load(), bytesTotal, Since(start)));
    }
  }
  for (auto& thread : threads) thread.join();
  // After an interruption: the files the workers had begun; those never begun are not told of.
  for (const auto& [index, result] : results) reporter.Tell(result);
  return reporter.Finish(Since(start));
}

}  // namespace kelvo::app
