// tintwise-gamut's lookup tables, each size timed as a whole process (every
// point a search, on every core), against the batch search's own figure:
// tintwise-palette over all 16,777,216 colours as one palette, the same
// searches the level-16 HALD CLUT makes.
//   tintwise_gamut_bench GAMUT PALETTE
#include <unistd.h>

#include <cstdio>
#include <string>

#include "run_tool.h"

using namespace tintwise_bench;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tintwise_gamut_bench GAMUT PALETTE\n");
    return 2;
  }
  const std::string gamut = argv[1], palette = argv[2];
  const struct {
    const char* format;
    int size, points;
  } tables[] = {{"cube", 17, 17}, {"cube", 33, 33}, {"cube", 65, 65}, {"reshade", 32, 32}, {"reshade", 64, 64}, {"hald", 8, 64}, {"hald", 16, 256}};
  double hald16 = 0;
  for (const auto& t : tables) {
    double wall;
    long peak;
    run_tool({gamut, std::string("--format=") + t.format, "--size=" + std::to_string(t.size)}, wall, peak);
    const double searches = static_cast<double>(t.points) * t.points * t.points;
    std::printf("%-7s %3d: %9.0f searches in %6.2f s (%.2f us a search, all cores), peak memory %.1f MiB\n", t.format, t.size, searches, wall,
                wall / searches * 1e6, static_cast<double>(peak) / 1024.0);
    hald16 = wall;
  }
  const std::string all = "/tmp/tintwise-gamut-bench-" + std::to_string(getpid()) + ".txt";
  if (std::FILE* f = std::fopen(all.c_str(), "wb")) {
    for (unsigned rgb = 0; rgb < (1u << 24); ++rgb) std::fprintf(f, "#%06x\n", rgb);
    std::fclose(f);
  }
  double wall;
  long peak;
  run_tool({palette, all}, wall, peak);
  std::remove(all.c_str());
  std::printf("tintwise-palette, all 16777216 colours as one palette: %.2f s\n", wall);
  std::printf("ratio HALD level 16 / tintwise-palette: %.3f\n", hald16 / wall);
}
