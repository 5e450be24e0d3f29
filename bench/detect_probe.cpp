// Prints the detector's verdict on each file named on the command line, one line each:
// the encoding ("ascii", "utf-8", "utf-16le", "utf-16be", "euc-jp", "shift_jis"), "binary" or
// "undecided", a tab, the file name, a tab and the verdict in words. The files are fed to the
// detector in blocks of 64 KiB, or of the size given by --block=N.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "kelvo/Detect.h"

int main(int argc, char** argv) {
  using namespace kelvo;
  std::size_t blockSize = 65536;
  int status = 0;
  std::vector<std::uint8_t> block;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--block=", 0) == 0) {
      blockSize = std::max<std::size_t>(1, std::strtoul(arg.c_str() + 8, nullptr, 10));
      continue;
    }
    std::ifstream in(arg, std::ios::binary);
    if (!in) {
      std::cerr << "kelvo_detect_probe: " << arg << ": cannot open\n";
      status = 1;
      continue;
    }
    detect::Detector detector;
    block.resize(blockSize);
    while (
        in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(blockSize)) ||
        in.gcount() > 0) {
      detector.Feed({block.data(), static_cast<std::size_t>(in.gcount())});
    }
    const detect::Detection d = detector.Finish();
    std::string word;
    switch (d.verdict) {
      case detect::Verdict::Binary:
        word = "binary";
        break;
      case detect::Verdict::Undecided:
        word = "undecided";
        break;
      case detect::Verdict::Known:
        word = d.ascii ? "ascii" : std::string(transcode::EncodingName(d.encoding));
        break;
    }
    std::cout << word << '\t' << arg << '\t' << detect::Describe(d) << '\n';
  }
  return status;
}
