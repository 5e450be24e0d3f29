// kelvo's texts.
#include "kelvo/Report.h"

#include <cinttypes>
#include <cstdio>

#include "platform/Platform.h"
#include "platform/Tree.h"

namespace kelvo::app {
namespace {

std::string Format(const char* format, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string Bytes(std::uint64_t bytes) {
  if (bytes < 1000) return Format("%" PRIu64 " B", bytes);
  if (bytes < 1000 * 1000) return Format("%.1f kB", bytes / 1e3);
  if (bytes < std::uint64_t{1000} * 1000 * 1000) return Format("%.1f MB", bytes / 1e6);
  return Format("%.2f GB", bytes / 1e9);
}

std::string Duration(double seconds) {
  if (seconds < 60) return Format("%.1f s", seconds);
  const auto whole = static_cast<std::uint64_t>(seconds + 0.5);
  if (whole < 3600) return Format("%" PRIu64 ":%02" PRIu64, whole / 60, whole % 60);
  return Format("%" PRIu64 ":%02" PRIu64 ":%02" PRIu64, whole / 3600, whole / 60 % 60, whole % 60);
}

std::string Path(const std::u16string& path) {
  return platform::ToAnsi(path);
}

const char* StatusName(FileStatus status) {
  switch (status) {
    case FileStatus::Converted:
      return "converted";
    case FileStatus::Unchanged:
      return "unchanged";
    case FileStatus::Binary:
      return "binary";
    case FileStatus::Undecided:
      return "undecided";
    case FileStatus::Special:
      return "special";
    case FileStatus::Failed:
      return "failed";
    case FileStatus::Detected:
      return "detected";
    case FileStatus::Interrupted:
      return "interrupted";
  }
  return "";
}

std::string Candidates(const detect::Detection& detection) {
  std::string text;
  for (const auto candidate : detection.candidates) {
    text += (text.empty() ? "" : ", ") + std::string(transcode::EncodingName(candidate));
  }
  return text.empty() ? "valid in no candidate encoding" : text;
}

std::string CharacterName(char32_t c) {
  return Format("U+%04X", static_cast<unsigned>(c));
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string JsonText(std::string_view ascii) {
  return JsonString(std::u16string(ascii.begin(), ascii.end()));
}

}  // namespace

void Totals::Add(const FileResult& result) {
  switch (result.status) {
    case FileStatus::Converted:
      ++converted;
      break;
    case FileStatus::Unchanged:
      ++unchanged;
      break;
    case FileStatus::Binary:
      ++binary;
      break;
    case FileStatus::Undecided:
      ++undecided;
      break;
    case FileStatus::Special:
      ++special;
      break;
    case FileStatus::Failed:
      ++failed;
      break;
    case FileStatus::Detected:
      ++detected;
      break;
    case FileStatus::Interrupted:
      interrupted = true;
      break;
  }
  replaced += result.counts.replacements;
  if (result.counts.replacements > 0) ++withReplaced;
  bytesIn += result.bytesIn;
  bytesOut += result.bytesOut;
}

std::string Message(const std::u16string& path, const std::string& what, int error) {
  std::string text = "kelvo: " + Path(path) + ": " + what;
  if (error != 0) text += ": " + platform::SystemReason(error);
  return text + "\n";
}

std::string FileMessage(const FileResult& result) {
  switch (result.status) {
    case FileStatus::Failed:
      return Message(result.path, result.what, result.error);
    case FileStatus::Undecided:
      return Message(
          result.path,
          "encoding undecided (" + Candidates(result.detection) + "): " + result.detection.reason,
          0);
    case FileStatus::Special:
      return Message(result.path, "skipped: not a regular file", 0);
    default:
      return "";
  }
}

std::string ReplacementMessages(const FileResult& result) {
  std::string text;
  for (const auto& place : result.counts.first) {
    std::string character;
    if (place.character >= 0x20 && place.character != 0x7F && place.character < 0xD800) {
      character = " (";
      AppendUtf8(character, place.character);
      character += ")";
    }
    text += "kelvo: " + Path(result.path) +
            Format(":%" PRIu64 ":%" PRIu64 ": ", place.line, place.column) + "replaced " +
            CharacterName(place.character) + character + "\n";
  }
  if (result.counts.replacements > result.counts.first.size()) {
    text +=
        Message(result.path,
                Format("%" PRIu64 " characters replaced in all", result.counts.replacements), 0);
  }
  return text;
}

std::string DetectLine(const FileResult& result) {
  if (result.status != FileStatus::Detected && result.status != FileStatus::Binary &&
      result.status != FileStatus::Undecided) {
    return "";
  }
  return Path(result.path) + ": " + detect::Describe(result.detection) + "\n";
}

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += Format("\\u%04x", static_cast<unsigned>(c));
      continue;
    }
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      out += Format("\\u%04x", static_cast<unsigned>(c));
    } else {
      AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

std::string JsonFile(const FileResult& result, const transcode::Encoding* to, bool dryRun) {
  std::string json = "{\"path\":" + JsonString(result.path);
  json += ",\"status\":" + JsonText(StatusName(result.status));
  const auto& d = result.detection;
  if (result.from) json += ",\"from\":" + JsonText(transcode::EncodingName(*result.from));
  if (to != nullptr) json += ",\"to\":" + JsonText(transcode::EncodingName(*to));
  if (result.status == FileStatus::Detected) {
    json += std::string(",\"ascii\":") + (d.ascii ? "true" : "false");
    json += std::string(",\"bom\":") + (d.bom ? "true" : "false");
    json += ",\"line_ends\":" + JsonText(detect::LineEndsName(d.lineEnds));
  }
  if (result.status == FileStatus::Undecided) {
    json += ",\"candidates\":[";
    for (std::size_t i = 0; i < d.candidates.size(); ++i) {
      json += (i ? "," : "") + JsonText(transcode::EncodingName(d.candidates[i]));
    }
    json += "],\"reason\":" + JsonString(platform::FromUtf8(d.reason));
  }
  if (result.status == FileStatus::Failed) {
    std::string error = result.what;
    if (result.error != 0) error += ": " + platform::SystemReason(result.error);
    json += ",\"error\":" + JsonString(platform::FromAnsi(error));
  }
  json +=
      Format(",\"bytes_in\":%" PRIu64 ",\"bytes_out\":%" PRIu64, result.bytesIn, result.bytesOut);
  if (dryRun) json += ",\"dry_run\":true";
  json +=
      Format(",\"replacements\":%" PRIu64 ",\"first_replacements\":[", result.counts.replacements);
  for (std::size_t i = 0; i < result.counts.first.size(); ++i) {
    const auto& place = result.counts.first[i];
    json += Format("%s{\"line\":%" PRIu64 ",\"column\":%" PRIu64 ",\"character\":\"%s\"}",
                   i ? "," : "", place.line, place.column, CharacterName(place.character).c_str());
  }
  return json + "]}\n";
}

std::string JsonTotal(const Totals& t, double seconds, bool dryRun) {
  return Format("{\"total\":true,\"converted\":%" PRIu64 ",\"unchanged\":%" PRIu64
                ",\"binary\":%" PRIu64 ",\"undecided\":%" PRIu64 ",\"special\":%" PRIu64,
                t.converted, t.unchanged, t.binary, t.undecided, t.special) +
         Format(",\"failed\":%" PRIu64 ",\"detected\":%" PRIu64 ",\"replacements\":%" PRIu64
                ",\"bytes_in\":%" PRIu64 ",\"bytes_out\":%" PRIu64,
                t.failed, t.detected, t.replaced, t.bytesIn, t.bytesOut) +
         Format(",\"seconds\":%.3f,\"dry_run\":%s,\"interrupted\":%s}\n", seconds,
                dryRun ? "true" : "false", t.interrupted ? "true" : "false");
}

std::string Summary(const Totals& t, double seconds, bool dryRun, bool detectOnly) {
  std::string text = "kelvo: ";
  if (detectOnly) {
    text += Format("%" PRIu64 " detected, ", t.detected);
  } else {
    text += Format("%" PRIu64 " %s, %" PRIu64 " unchanged, ", t.converted,
                   dryRun ? "to convert" : "converted", t.unchanged);
  }
  text += Format("%" PRIu64 " skipped (%" PRIu64 " binary, %" PRIu64 " undecided",
                 t.binary + t.undecided + t.special, t.binary, t.undecided);
  if (t.special > 0) text += Format(", %" PRIu64 " not regular", t.special);
  text += Format("), %" PRIu64 " failed", t.failed);
  if (!detectOnly) {
    text += Format("; %" PRIu64 " characters replaced; ", t.replaced);
    text += Bytes(t.bytesIn) + " in, " + Bytes(t.bytesOut) + " out";
  }
  text += "; " + Duration(seconds);
  if (dryRun) text += "; nothing written (dry run)";
  if (t.interrupted) text += "; interrupted";
  return text + "\n";
}

std::string ProgressLine(std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                         std::uint64_t bytesTotal, double seconds) {
  const double rate = seconds > 0 ? bytesDone / seconds : 0;
  std::string line = Format("%" PRIu64 "/%" PRIu64 " files, ", filesDone, filesTotal) +
                     Bytes(bytesDone) + " of " + Bytes(bytesTotal) +
                     Format(", %.1f MB/s", rate / 1e6);
  if (rate > 0 && bytesTotal >= bytesDone && seconds >= 1) {
    line += ", " + Duration((bytesTotal - bytesDone) / rate) + " left";
  }
  return line;
}

int ExitStatus(const Totals& t, bool check) {
  if (t.failed > 0 || t.undecided > 0 || t.interrupted) return 1;
  if (check && t.replaced > 0) return 1;
  return 0;
}

}  // namespace kelvo::app
