// One file's conversion: detection, then the conversion through the pump into a replacement
// that is put in place only when it differs from the input and is complete.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/StreamPump.h"
#include "kelvo/Detect.h"
#include "kelvo/Transcode.h"
#include "kelvo/Walk.h"

namespace kelvo::app {

enum class Destination : std::uint8_t {
  StandardOutput,  // a single file
  InPlace,
  OutDir,
};

struct JobSettings {
  std::optional<transcode::Encoding> from;  // none: decided per file
  transcode::Encoding to = transcode::Encoding::Utf8;
  transcode::Eol eol = transcode::Eol::Keep;
  transcode::Bom bom = transcode::Bom::Keep;
  Destination destination = Destination::StandardOutput;
  std::u16string outDir;
  std::optional<std::u16string> backup;  // the suffix
  bool keepTime = false;
  bool dryRun = false;
  bool failOnReplacement = false;
  bool follow = false;
  bool detectOnly = false;
};

enum class FileStatus : std::uint8_t {
  Converted,    // written, or (in a dry run) would be
  Unchanged,    // the output equals the input: nothing written
  Binary,       // NUL bytes in a file that is not UTF-16: nothing written
  Undecided,    // the encoding could not be decided: nothing written
  Special,      // a FIFO, a device or a socket: never opened
  Failed,       // nothing written; the reason in what and error
  Detected,     // --detect: the encoding is known
  Interrupted,  // the run was interrupted: nothing written
};

struct FileResult {
  std::u16string path;
  FileStatus status = FileStatus::Failed;
  std::optional<transcode::Encoding> from;
  std::uint64_t bytesIn = 0;
  std::uint64_t bytesOut = 0;
  transcode::TranscodeCounts counts;
  detect::Detection detection;
  std::string what;  // with Failed: the step that failed
  int error = 0;     // with Failed: the system's error number, 0 when none applies
};

// The buffers of one worker, kept from file to file.
class Worker {
 public:
  // A worker alone may let its pump read and write a file larger than one block on threads
  // of their own beside the conversion; beside other workers, and for a small file, where
  // starting two threads would cost more than it saves, it converts on its own thread alone.
  explicit Worker(bool alone) : alone_(alone) {}

  // The bytes read in a conversion's input block; the memory of a worker is a few times it.
  static constexpr std::int64_t kBlock = std::int64_t{1} << 18;

  // Converts one file; bytesRead grows as the file is read, for the progress line.
  FileResult Convert(const walk::FoundFile& file, const JobSettings& settings,
                     std::atomic<std::uint64_t>& bytesRead);

 private:
  [[nodiscard]] bool Ready();

  bool alone_ = false;
  StreamPump pump_;
  std::vector<std::uint8_t> compare_;
  bool ready_ = false;
};

}  // namespace kelvo::app
