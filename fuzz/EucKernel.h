// The EUC-JP kernel in every line-end mode, with and without the control filter: the fast
// steps must give what the byte-by-byte steps give, within the output the engine provides.
// What a block that is not the last keeps back is the pump target's part.
#pragma once

#include <cstring>

#include "FuzzSupport.h"
#include "convert/EucDecoder.h"

namespace kelvo::fuzz {

inline int CheckEucKernel(const EucCodeTable& table, const EucOutputForm& form,
                          const std::uint8_t* data, std::size_t size) {
  static constexpr LineEndMode kModes[] = {LineEndMode::CrLf, LineEndMode::Lf, LineEndMode::AsRead};
  Input input(data, size);
  const std::uint8_t choice = input.Byte();
  const LineEndMode mode = kModes[choice % 3];
  const Controls controls = choice / 3 % 2 ? Controls::Removed : Controls::Kept;
  const Exact in(input.Rest(), input.RestSize());
  const std::int64_t length = static_cast<std::int64_t>(in.size);
  const std::int64_t capacity = EucDecoder::Capacity(form, length);
  Check(capacity > 0, "no capacity");

  EucDecoder fast(table, form, mode, controls, EucDecoder::Steps::Fast);
  EucDecoder oracle(table, form, mode, controls, EucDecoder::Steps::ByteByByte);
  Exact fastOut(static_cast<std::size_t>(capacity));
  Exact oracleOut(static_cast<std::size_t>(capacity));
  const std::int64_t fastBytes = fast.Decode(in.bytes.get(), length, fastOut.bytes.get());
  const std::int64_t oracleBytes = oracle.Decode(in.bytes.get(), length, oracleOut.bytes.get());
  Check(fastBytes == oracleBytes, "fast and byte-by-byte lengths differ");
  Check(fastBytes <= capacity, "output longer than its capacity");
  Check(std::memcmp(fastOut.bytes.get(), oracleOut.bytes.get(),
                    static_cast<std::size_t>(fastBytes)) == 0,
        "fast and byte-by-byte bytes differ");
  Check(fast.LineEnds() == oracle.LineEnds(), "line-end counts differ");

  return 0;
}

}  // namespace kelvo::fuzz
