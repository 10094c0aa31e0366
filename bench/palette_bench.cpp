// tintwise-palette on big palettes, against one thread of the library:
//   tintwise_palette_bench TOOL [COUNT]   COUNT random colours (default
//       1,000,000, fixed seed), from a file and through a fast pipe, and
//       10,000 for the memory comparison;
//   tintwise_palette_bench TOOL all       all 16,777,216 colours as one palette.
// Also --find on one line of 40,000 colours (320 KB), whose keys are found in
// one pass along the line.
// Prints the library's time on one thread for the same colours (not for
// "all": that is the whole-domain benchmark's figure), the tool's wall time,
// their ratio, and the tool's peak memory (the kernel's count, wait4).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "run_tool.h"
#include "tintwise/hsb_search.h"

using namespace tintwise_bench;

namespace {

std::vector<std::uint32_t> colours(long count) {
  std::vector<std::uint32_t> out;
  if (count < 0) {
    for (std::uint32_t rgb = 0; rgb < (1u << 24); ++rgb) out.push_back(rgb);
    return out;
  }
  std::mt19937 rng(20261207);
  for (long i = 0; i < count; ++i) out.push_back(rng() & 0xFFFFFF);
  return out;
}

void write_palette(const std::vector<std::uint32_t>& list, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  for (const std::uint32_t rgb : list) std::fprintf(f, "#%06x\n", rgb);
  std::fclose(f);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tintwise_palette_bench TOOL [COUNT|all]\n");
    return 2;
  }
  const char* tool = argv[1];
  const bool all = argc > 2 && std::strcmp(argv[2], "all") == 0;
  const long count = all ? -1 : argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1000000;
  // The palettes are written by a child process of their own: a child's peak
  // memory counts what it shared with this process before it became the
  // tool, so this process holds no list while the tool runs.
  const std::size_t size = count < 0 ? std::size_t{1} << 24 : static_cast<std::size_t>(count);
  const std::string path = std::string("/tmp/tintwise-bench-") + (all ? "all" : "random") + ".txt";
  const std::string small = "/tmp/tintwise-bench-small.txt";
  const pid_t writer = fork();
  if (writer == 0) {
    write_palette(colours(count), path);
    write_palette(colours(10000), small);
    _exit(0);
  }
  waitpid(writer, nullptr, 0);
  double wall, small_wall;
  long peak, small_peak;
  run_tool({tool, path}, wall, peak);
  std::printf("tintwise-palette, %zu colours: %.2f s, peak memory %.1f MiB\n", size, wall, static_cast<double>(peak) / 1024.0);
  if (!all) {
    double piped_wall;
    long piped_peak;
    run_tool({tool}, piped_wall, piped_peak, path);
    std::printf("tintwise-palette, %zu colours through a pipe: %.2f s, peak memory %.1f MiB\n", size, piped_wall,
                static_cast<double>(piped_peak) / 1024.0);
  }
  run_tool({tool, small}, small_wall, small_peak);
  std::printf("tintwise-palette, 10000 colours: %.2f s, peak memory %.1f MiB\n", small_wall, static_cast<double>(small_peak) / 1024.0);
  std::remove(small.c_str());
  if (!all) {
    const std::string line = "/tmp/tintwise-bench-line.css";
    std::FILE* f = std::fopen(line.c_str(), "wb");
    for (const std::uint32_t rgb : colours(40000)) std::fprintf(f, "#%06x ", rgb);
    std::fclose(f);
    double line_wall;
    long line_peak;
    run_tool({tool, "--find", line}, line_wall, line_peak);
    std::printf("tintwise-palette --find, one line of 40000 colours: %.2f s\n", line_wall);
    std::remove(line.c_str());
  }
  if (!all) {
    const std::vector<std::uint32_t> list = colours(count);
    const auto start = Clock::now();
    tintwise::HsbAnswer answer{};
    unsigned sink = 0;
    for (const std::uint32_t rgb : list) {
      tintwise::find_best_hsb_answer(answer, static_cast<std::int32_t>(rgb >> 16), static_cast<std::int32_t>(rgb >> 8 & 255),
                                     static_cast<std::int32_t>(rgb & 255));
      sink += static_cast<unsigned>(answer.match.hue);
    }
    const double library = seconds_since(start);
    std::printf("the library on one thread, the same colours: %.2f s (checksum %u)\n", library, sink);
    std::printf("ratio tintwise-palette / one thread: %.3f\n", wall / library);
  }
  std::remove(path.c_str());
  return 0;
}
