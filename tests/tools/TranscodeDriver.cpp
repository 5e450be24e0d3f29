// A small driver of kelvo's conversions for the end-to-end tests and the benchmark: standard
// input to standard output through the streaming pump, the counts on standard error.
//   kelvo_transcode FROM TO [EOL [BOM]]     EOL: keep, lf, crlf; BOM: keep, add, remove
#include <cstdio>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <limits>
#include <string_view>

#include "convert/StreamPump.h"
#include "kelvo/Transcode.h"

using namespace kelvo;
using namespace kelvo::transcode;

int main(int argc, char** argv) {
  if (argc < 3 || !ParseEncoding(argv[1]) || !ParseEncoding(argv[2])) {
    std::fprintf(stderr, "usage: kelvo_transcode FROM TO [keep|lf|crlf [keep|add|remove]]\n");
    return 2;
  }
  const std::string_view eol = argc > 3 ? argv[3] : "keep";
  const std::string_view bom = argc > 4 ? argv[4] : "keep";
  const TranscodeOptions options{
      .from = *ParseEncoding(argv[1]),
      .to = *ParseEncoding(argv[2]),
      .eol = eol == "lf"     ? Eol::Lf
             : eol == "crlf" ? Eol::CrLf
                             : Eol::Keep,
      .bom = bom == "add"      ? Bom::Add
             : bom == "remove" ? Bom::Remove
                               : Bom::Keep,
  };
#ifdef _WIN32
  // Bytes as they are, without the text mode's line-end translation.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  constexpr std::int64_t kBlock = 1 << 17;
  StreamPump pump;
  if (!pump.AllocateInput(kBlock, Transcoder::kCarriedBytes) ||
      !pump.AllocateOutput(Transcoder::OutputRoom(kBlock + Transcoder::kCarriedBytes))) {
    return 1;
  }
  Transcoder transcoder(options);
  const PumpEnds ends{
      .read = [](std::uint8_t* buffer, std::int64_t count) -> std::optional<std::int64_t> {
        std::int64_t got = 0;
        while (got < count) {
          const std::size_t n =
              std::fread(buffer + got, 1, static_cast<std::size_t>(count - got), stdin);
          if (n == 0) break;
          got += static_cast<std::int64_t>(n);
        }
        if (std::ferror(stdin)) return std::nullopt;
        return got;
      },
      .write =
          [](const std::uint8_t* bytes, std::int64_t count) {
            return std::fwrite(bytes, 1, static_cast<std::size_t>(count), stdout) ==
                           static_cast<std::size_t>(count)
                       ? BlockWrite::Done
                       : BlockWrite::Failed;
          },
  };
  const PumpOutcome outcome =
      pump.Pump(ends, transcoder, 1, std::numeric_limits<std::int64_t>::max(), 0, {});
  if (outcome != PumpOutcome::Written || std::fflush(stdout) != 0) return 1;
  const TranscodeCounts& counts = transcoder.Counts();
  std::fprintf(stderr, "replacements %llu\n", static_cast<unsigned long long>(counts.replacements));
  for (const ReplacementPlace& place : counts.first) {
    std::fprintf(stderr, "%llu:%llu U+%04X\n", static_cast<unsigned long long>(place.line),
                 static_cast<unsigned long long>(place.column),
                 static_cast<unsigned>(place.character));
  }
  return 0;
}
