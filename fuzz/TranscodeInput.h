// What the targets of kelvo's conversions read first: the pair of encodings (input plus six
// times output) and the options (line end plus three times byte-order mark), a byte each.
#pragma once

#include "FuzzSupport.h"
#include "kelvo/Transcode.h"

namespace kelvo::fuzz {

inline transcode::TranscodeOptions TranscodeOptionsFrom(Input& input) {
  const std::uint8_t pair = input.Byte();
  const std::uint8_t rules = input.Byte();
  return {.from = static_cast<transcode::Encoding>(pair % 6),
          .to = static_cast<transcode::Encoding>(pair / 6 % 6),
          .eol = static_cast<transcode::Eol>(rules % 3),
          .bom = static_cast<transcode::Bom>(rules / 3 % 3)};
}

}  // namespace kelvo::fuzz
