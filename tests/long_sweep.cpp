// The long sweep: the fast search against the literal pass on 20,480 colours
// spread evenly over all 2^24 inputs. Run as `long_sweep SHARD SHARDS`; prints
// every mismatch with its input and both results in hex.
#include <cstdio>
#include <cstdlib>

#include "search_compare.h"

int main(int argc, char** argv) {
  const long shard = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  const long shards = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1;
  constexpr std::uint32_t kColours = 20480;
  constexpr std::uint32_t kStride = 819; // odd, so the colours are distinct
  long compared = 0, mismatches = 0;
  for (std::uint32_t i = static_cast<std::uint32_t>(shard); i < kColours; i += static_cast<std::uint32_t>(shards)) {
    std::int32_t r, g, b;
    colour_at(i * kStride + 7u, r, g, b);
    const std::string diff = compare_searches(r, g, b);
    ++compared;
    if (!diff.empty()) {
      ++mismatches;
      std::printf("MISMATCH %s\n", diff.c_str());
      std::fflush(stdout);
    }
  }
  std::printf("compared %ld colours, %ld mismatches\n", compared, mismatches);
  return mismatches == 0 ? 0 : 1;
}
