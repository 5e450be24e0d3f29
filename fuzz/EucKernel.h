// The EUC-JP kernel in every line-end mode, with and without the control filter: the fast
// steps, with and without those of AVX2, must give what the byte-by-byte steps give, within
// the output the engine provides.
// What a block that is not the last keeps back is the pump target's part.
#pragma once

#include <cstring>
#include <memory>

#include "FuzzSupport.h"
#include "convert/EucDecoder.h"

namespace kelvo::fuzz {

// Decodes the length bytes at in with the oracle and with the other steps, which must give
// the same bytes and count the same line ends.
inline void CheckAgainstOracle(const EucCodeTable& table, const EucOutputForm& form,
                               LineEndMode mode, Controls controls, EucDecoder& fast,
                               const std::uint8_t* in, std::int64_t length) {
  const std::int64_t capacity = EucDecoder::Capacity(form, length);
  Check(capacity > 0, "no capacity");
  EucDecoder oracle(table, form, mode, controls, EucDecoder::Steps::ByteByByte);
  Exact oracleOut(static_cast<std::size_t>(capacity));
  const std::int64_t oracleBytes = oracle.Decode(in, length, oracleOut.bytes.get());
  Check(oracleBytes <= capacity, "output longer than its capacity");
  EucDecoder baseline(table, form, mode, controls, EucDecoder::Steps::Baseline);
  for (EucDecoder* decoder : {&fast, &baseline}) {
    Exact out(static_cast<std::size_t>(capacity));
    const std::int64_t bytes = decoder->Decode(in, length, out.bytes.get());
    Check(bytes == oracleBytes, "fast and byte-by-byte lengths differ");
    Check(std::memcmp(out.bytes.get(), oracleOut.bytes.get(), static_cast<std::size_t>(bytes)) == 0,
          "fast and byte-by-byte bytes differ");
    Check(decoder->LineEnds() == oracle.LineEnds(), "line-end counts differ");
  }
}

inline int CheckEucKernel(const EucCodeTable& table, const EucOutputForm& form,
                          const std::uint8_t* data, std::size_t size) {
  static constexpr LineEndMode kModes[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
  Input input(data, size);
  const std::uint8_t choice = input.Byte();
  const LineEndMode mode = kModes[choice % 3];
  const Controls controls = choice / 3 % 2 ? Controls::Removed : Controls::Kept;
  const Exact in(input.Rest(), input.RestSize());
  const std::int64_t length = static_cast<std::int64_t>(in.size);

  // The oracle, and the other steps held against it: all of them, made ready for a small
  // input (the AVX2 steps where the processor has them), and those of every processor. The
  // first are made once for each mode, as their table takes longer to make than a small
  // input takes to convert.
  static std::unique_ptr<EucDecoder> prepared[6];
  std::unique_ptr<EucDecoder>& fast = prepared[choice % 3 + 3 * (choice / 3 % 2)];
  if (!fast) {
    fast = std::make_unique<EucDecoder>(table, form, mode, controls, EucDecoder::Steps::Fast);
    Check(fast->PrepareLargeBlockSteps(), "large-block step memory");
  }
  CheckAgainstOracle(table, form, mode, controls, *fast, in.bytes.get(), length);

  // A short input again at offsets of a 64-byte window, after text and pairs and before
  // enough plain text for the 64-byte steps, so that each of its bytes (a stray byte before
  // ASCII above all) meets the steps at every place: eight offsets an input, which the
  // input's length and first byte shift through all 64.
  constexpr std::int64_t kWindow = 64;
  constexpr std::int64_t kTail = 128;
  if (length > 256) return 0;
  Exact framed(static_cast<std::size_t>(kWindow + length + kTail));
  for (std::int64_t offset = (length + choice) % 8; offset < kWindow; offset += 8) {
    std::uint8_t* f = framed.bytes.get();
    for (std::int64_t i = 0; i < offset; ++i) {
      const bool pair = i + 1 < offset && (offset - i) % 2 == 0;
      if (pair) {
        *f++ = 0xA4;
        *f++ = 0xA2;
        ++i;
      } else {
        *f++ = 'a';
      }
    }
    std::memcpy(f, in.bytes.get(), static_cast<std::size_t>(length));
    f += length;
    std::memset(f, 'z', kTail);
    f += kTail;
    CheckAgainstOracle(table, form, mode, controls, *fast, framed.bytes.get(),
                       f - framed.bytes.get());
  }
  return 0;
}

}  // namespace kelvo::fuzz
