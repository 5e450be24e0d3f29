// A run: the paths gathered and walked first (the total is known before the first file is
// converted), then the workers take the files in turn while the main thread tells of each
// result in the order of the walk and redraws the progress line.
#include "kelvo/Run.h"

#include <chrono>
#include <condition_variable>
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

// The paths of --files-from, whole; false (reported) when the list cannot be read.
bool ReadList(const Settings& s, std::vector<std::u16string>& paths) {
  const std::u16string name = *s.filesFrom == u"-" ? u"" : *s.filesFrom;
  platform::InputFile list;
  std::string bytes;
  bool read = list.Open(name, platform::ReadMode::Raw);
  char block[65536];
  for (std::int64_t got = 0; read && (got = list.Read(block, sizeof block)) != 0;) {
    if (got < 0) {
      read = false;
      break;
    }
    bytes.append(block, static_cast<std::size_t>(got));
  }
  if (!read) {
    platform::WriteStandardError(Message(*s.filesFrom, "cannot read the list", errno));
    return false;
  }
  for (const auto& entry : walk::SplitList(bytes, s.nulSeparated)) {
    paths.push_back(platform::FromUtf8(entry));
  }
  return true;
}

std::string NoticeText(const walk::WalkNotice& notice) {
  switch (notice.kind) {
    case walk::WalkNotice::Kind::Special:
      return Message(notice.path, "skipped: not a regular file", 0);
    case walk::WalkNotice::Kind::Loop:
      return Message(notice.path, "skipped: a link loop", 0);
    case walk::WalkNotice::Kind::Failed:
      return Message(notice.path, notice.what, notice.error);
  }
  return "";
}

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

  Totals totals;
  std::vector<std::u16string> listed;
  if (s.filesFrom && !ReadList(s, listed)) ++totals.failed;
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

  const bool progress = ShowProgress(s);
  Console console(progress);
  auto tell = [&](const FileResult& result) {
    totals.Add(result);
    if (s.json) {
      const std::string json =
          JsonFile(result, s.detectOnly ? nullptr : &job.to, job.dryRun && !s.detectOnly);
      if (!platform::WriteStandardOutput(json.data(), json.size())) totals.interrupted = true;
    } else if (s.detectOnly) {
      const std::string detected = DetectLine(result);
      if (!platform::WriteStandardOutput(detected.data(), detected.size()))
        totals.interrupted = true;
    }
    console.Message(FileMessage(result));
    if (job.dryRun && !s.detectOnly && !s.quiet && !s.json &&
        result.status == FileStatus::Converted) {
      console.Message(Message(
          result.path,
          "would be converted from " + std::string(transcode::EncodingName(*result.from)), 0));
    }
    if (!s.json && !s.quiet) console.Message(ReplacementMessages(result));
  };
  for (const auto& notice : walker.Notices()) {
    console.Message(NoticeText(notice));
    if (notice.kind == walk::WalkNotice::Kind::Loop) continue;
    FileResult result;
    result.path = notice.path;
    result.status =
        notice.kind == walk::WalkNotice::Kind::Special ? FileStatus::Special : FileStatus::Failed;
    result.what = notice.what;
    result.error = notice.error;
    totals.Add(result);
    if (s.json) {
      const std::string json = JsonFile(result, nullptr, false);
      (void)platform::WriteStandardOutput(json.data(), json.size());
    }
  }

  for (const auto& result : collisions) tell(result);

  std::uint64_t bytesTotal = 0;
  for (const auto& file : files) bytesTotal += static_cast<std::uint64_t>(file.size);
  std::vector<std::optional<FileResult>> results(files.size());
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next{0};
  std::atomic<std::uint64_t> bytesRead{0};
  const unsigned workers = static_cast<unsigned>(
      std::min<std::size_t>(standard ? 1 : s.jobs, std::max<std::size_t>(files.size(), 1)));
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      Worker worker;
      for (std::size_t i; !platform::Interrupted() && (i = next.fetch_add(1)) < files.size();) {
        FileResult result = worker.Convert(files[i], job, bytesRead);
        std::lock_guard lock(mutex);
        results[i] = std::move(result);
        finished.notify_one();
      }
    });
  }

  std::size_t told = 0;
  auto lastDraw = Clock::now() - std::chrono::seconds(1);
  while (told < files.size() && !platform::Interrupted()) {
    std::unique_lock lock(mutex);
    finished.wait_for(lock, std::chrono::milliseconds(100),
                      [&] { return results[told].has_value() || platform::Interrupted(); });
    std::vector<FileResult> ready;
    while (told < files.size() && results[told]) {
      ready.push_back(std::move(*results[told]));
      results[told].reset();
      ++told;
    }
    lock.unlock();
    for (const auto& result : ready) tell(result);
    if (progress && Clock::now() - lastDraw >= std::chrono::milliseconds(100)) {
      lastDraw = Clock::now();
      console.Progress(
          ProgressLine(told, files.size(), bytesRead.load(), bytesTotal, Since(start)));
    }
  }
  for (auto& thread : threads) thread.join();
  // After an interruption: the files the workers had begun; those never begun are not told of.
  for (; told < files.size(); ++told) {
    if (results[told]) tell(*results[told]);
  }
  if (platform::Interrupted()) totals.interrupted = true;
  console.Clear();
  if (s.json) {
    const std::string total = JsonTotal(totals, Since(start), job.dryRun);
    (void)platform::WriteStandardOutput(total.data(), total.size());
  } else if (!s.quiet) {
    platform::WriteStandardError(
        Summary(totals, Since(start), job.dryRun && !s.detectOnly, s.detectOnly));
  }
  return ExitStatus(totals, s.check);
}

}  // namespace kelvo::app
