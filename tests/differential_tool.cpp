// The differential checks that run outside the default suite:
//   sweep SHARD SHARDS  the long sweep: 20,480 colours spread evenly over all
//                       2^24 inputs, fast search against the literal pass
//   record FILE         writes the literal pass's results on the default
//                       differential set
//   check FILE EVERY    the fast search against a recorded file on every
//                       colour, and this build's own literal pass on every
//                       EVERY-th: for targets where the literal pass runs
//                       too slowly (under emulation) to take all 500
// Every mismatch is printed with its input and both results in hex; the exit
// status is 1 if there was any.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "search_compare.h"

namespace {

int report(long compared, long mismatches) {
  std::printf("compared %ld colours, %ld mismatches\n", compared, mismatches);
  return mismatches == 0 ? 0 : 1;
}

int sweep(long shard, long shards) {
  constexpr std::uint32_t kColours = 20480;
  constexpr std::uint32_t kStride = 819; // odd, so the colours are distinct
  long compared = 0, mismatches = 0;
  for (auto i = static_cast<std::uint32_t>(shard); i < kColours; i += static_cast<std::uint32_t>(shards)) {
    const std::string diff = compare_searches(colour_at(i * kStride + 7u));
    ++compared;
    if (!diff.empty()) {
      ++mismatches;
      std::printf("MISMATCH %s\n", diff.c_str());
      std::fflush(stdout);
    }
  }
  return report(compared, mismatches);
}

int record(const char* path) {
  std::ofstream out(path);
  for (const Colour& c : differential_colours()) out << reference_line(c) << '\n';
  out.close();
  return out ? 0 : 1;
}

int check(const char* path, long every) {
  std::ifstream in(path);
  long compared = 0, mismatches = 0, index = 0;
  for (const Colour& c : differential_colours()) {
    std::string recorded;
    if (!std::getline(in, recorded)) {
      std::printf("%s: fewer lines than colours\n", path);
      return 1;
    }
    std::string got = fast_line(c);
    if (every > 0 && index % every == 0 && got == recorded) got = reference_line(c);
    ++index;
    ++compared;
    if (got != recorded) {
      ++mismatches;
      std::printf("MISMATCH recorded %s\n              here %s\n", recorded.c_str(), got.c_str());
    }
  }
  return report(compared, mismatches);
}

} // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "sweep" && argc == 4) return sweep(std::strtol(argv[2], nullptr, 10), std::strtol(argv[3], nullptr, 10));
  if (mode == "record" && argc == 3) return record(argv[2]);
  if (mode == "check" && argc == 4) return check(argv[2], std::strtol(argv[3], nullptr, 10));
  std::fprintf(stderr, "usage: %s sweep SHARD SHARDS | record FILE | check FILE EVERY\n", argv[0]);
  return 2;
}
