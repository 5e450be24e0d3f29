// The encoding of a file from its bytes alone.
#include "kelvo/Detect.h"

namespace kelvo::detect {

struct Detector::State {};

Detector::Detector() : state_(std::make_unique<State>()) {}
Detector::~Detector() = default;

void Detector::Feed(std::span<const std::uint8_t> block) {
  (void)block;
}

Detection Detector::Finish() {
  return Detection{};
}

Detection Detect(std::span<const std::uint8_t> bytes) {
  Detector detector;
  detector.Feed(bytes);
  return detector.Finish();
}

}  // namespace kelvo::detect
