// Runs a harness without libFuzzer (the g++ build, CI): seeds, then inputs made by mutating
// them with a fixed pseudo-random sequence, so that a run is the same every time.
//   fuzz_x [runs] [seed]
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

const std::vector<std::string> kSeeds = {
    "",
    "[Setting]\r\nLeft=10\r\nTop=-5\r\nDefaultFolder=\" /srv/ \"\r\nSaveLog=0\r\n",
    "[Source]\r\nCount=2\r\nFile0=/a\r\nFile1=/b c\r\n\r\n[Destination]\r\nCount=1\r\n"
    "Folder0=\\\\SRV\\share\r\n\r\n[Alias]\r\nFolder0=\xE3\x83\x8D\tSRV\tshare\r\n",
    std::string("-lnight.lst\0-g\\log\0-B\0-x\0-o", 28),
    "File0=\x95\x5C\\\x83\x65\r[Alias]\rCount=2147483647\r",
    std::string("\xFF\xFE[\0S\0]\0", 8),
};

std::string Mutate(std::string s, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 8);
  static const char kBytes[] =
      "\r\n\t =[]\"'\\/\0\x80\xC3\xE3\x95\xFF"
      "0123456789";
  for (int i = 0; i < edits; ++i) {
    const std::size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 5) {
      case 0:  // insert a byte that matters to the readers
        s.insert(at, 1, kBytes[rng() % (sizeof kBytes - 1)]);
        break;
      case 1:  // any byte
        s.insert(at, 1, static_cast<char>(rng()));
        break;
      case 2:
        if (!s.empty()) s.erase(at == s.size() ? at - 1 : at, 1 + rng() % 4);
        break;
      case 3:  // repeat a piece
        if (!s.empty()) s.insert(at, s.substr(rng() % s.size(), 1 + rng() % 16));
        break;
      default:
        if (!s.empty()) s[at == s.size() ? at - 1 : at] = static_cast<char>(rng());
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const long runs = argc > 1 ? std::atol(argv[1]) : 2000;
  std::mt19937 rng(argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1u);
  for (const auto& seed : kSeeds) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(seed.data()), seed.size());
  }
  for (long i = 0; i < runs; ++i) {
    const std::string input = Mutate(kSeeds[rng() % kSeeds.size()], rng);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  }
  return 0;
}
