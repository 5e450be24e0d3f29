// What kelvo tells: messages, the line of --detect, the JSON objects, the progress line and
// the summary. Pure text; the run writes it.
#pragma once

#include <cstdint>
#include <string>

#include "kelvo/Job.h"

namespace kelvo::app {

struct Totals {
  std::uint64_t converted = 0;
  std::uint64_t unchanged = 0;
  std::uint64_t binary = 0;
  std::uint64_t undecided = 0;
  std::uint64_t special = 0;
  std::uint64_t failed = 0;
  std::uint64_t detected = 0;
  std::uint64_t replaced = 0;      // characters, in every file
  std::uint64_t withReplaced = 0;  // files with a replaced character
  std::uint64_t bytesIn = 0;
  std::uint64_t bytesOut = 0;
  bool interrupted = false;

  void Add(const FileResult& result);
};

// "kelvo: PATH: what failed: the system's reason" (the reason left out when there is none).
std::string Message(const std::u16string& path, const std::string& what, int error);
// The message of a file that is not simply converted or unchanged; empty when there is none.
std::string FileMessage(const FileResult& result);
// The first replacements of a file, one message each.
std::string ReplacementMessages(const FileResult& result);
// --detect: "PATH: ENCODING, LINE ENDS[, BOM]", or what else the file is.
std::string DetectLine(const FileResult& result);

// JSON Lines: one object per file, and the total.
std::string JsonFile(const FileResult& result, const transcode::Encoding* to, bool dryRun);
std::string JsonTotal(const Totals& totals, double seconds, bool dryRun);
// A JSON string of a path or a text: UTF-8, with lone surrogates and control characters
// escaped.
std::string JsonString(std::u16string_view text);

std::string Summary(const Totals& totals, double seconds, bool dryRun, bool detectOnly);

// The progress line, without its carriage return: files done of total, bytes, MB/s, time left.
std::string ProgressLine(std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                         std::uint64_t bytesTotal, double seconds);

// The exit status of a finished run.
int ExitStatus(const Totals& totals, bool check);

}  // namespace kelvo::app
