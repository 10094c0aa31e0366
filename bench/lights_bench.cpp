// tintwise-lights recolouring a map export, against sed 's/a/a/' over the
// same file on the same machine, and its peak memory for a map ten times
// smaller:  tintwise_lights_bench TOOL [MEGABYTES]  (default 40)
// The export is written here as UnrealEd writes one: CR LF, a Map, brushes
// with polygons, and a light every tenth actor; each run is the faster of
// three (the machine is shared).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "run_tool.h"

using namespace tintwise_bench;

namespace {

void write_map(const std::string& path, long megabytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fputs("Begin Map\r\n", f);
  for (long n = 1; std::ftell(f) < megabytes * 1000000; ++n) {
    if (n % 10 == 0) {
      std::fprintf(f, "Begin Actor Class=Light Name=Light%ld\r\n    LightHue=%ld\r\n    LightBrightness=128\r\n    Location=(X=%ld.0,Y=0.0,Z=0.0)\r\n"
                   "    Name=Light%ld\r\nEnd Actor\r\n", n, n * 37 % 256, n, n);
      continue;
    }
    std::fprintf(f, "Begin Actor Class=Brush Name=Brush%ld\r\n    CsgOper=CSG_Subtract\r\n    Begin Brush Name=Model%ld\r\n       Begin PolyList\r\n", n, n);
    for (int p = 0; p < 6; ++p) {
      std::fputs("          Begin Polygon Texture=Wall Flags=0\r\n             Origin   -00128.000000,-00128.000000,-00128.000000\r\n"
                 "             Normal   +00000.000000,+00000.000000,-00001.000000\r\n             TextureU +00001.000000,+00000.000000,+00000.000000\r\n"
                 "             TextureV +00000.000000,-00001.000000,+00000.000000\r\n             Vertex   -00128.000000,-00128.000000,-00128.000000\r\n"
                 "             Vertex   -00128.000000,+00128.000000,-00128.000000\r\n          End Polygon\r\n", f);
    }
    std::fprintf(f, "       End PolyList\r\n    End Brush\r\n    Brush=Model'MyLevel.Model%ld'\r\n    Name=Brush%ld\r\nEnd Actor\r\n", n, n);
  }
  std::fputs("End Map\r\n", f);
  std::fclose(f);
}

// The fastest of three runs, and its peak memory.
double fastest(const std::vector<std::string>& args, long& peak) {
  double best = 1e9, wall;
  for (int i = 0; i < 3; ++i) {
    run_tool(args, wall, peak);
    best = wall < best ? wall : best;
  }
  return best;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tintwise_lights_bench TOOL [MEGABYTES]\n");
    return 2;
  }
  const std::string tool = argv[1];
  const long megabytes = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 40;
  const std::string map = "/tmp/tintwise-lights-bench-" + std::to_string(getpid()) + ".t3d", small = map + ".small.t3d";
  write_map(map, megabytes);
  write_map(small, megabytes / 10 > 0 ? megabytes / 10 : 1);
  long peak, sed_peak, small_peak;
  const double lights = fastest({tool, "--recolour=#ff8000", map}, peak), sed = fastest({"sed", "s/a/a/", map}, sed_peak);
  fastest({tool, "--recolour=#ff8000", small}, small_peak);
  std::printf("tintwise-lights --recolour, a map export of %ld MB: %.3f s (%.0f MB/s), peak memory %.1f MiB\n", megabytes, lights,
              static_cast<double>(megabytes) / lights, static_cast<double>(peak) / 1024.0);
  std::printf("sed 's/a/a/' over the same file: %.3f s (%.0f MB/s)\n", sed, static_cast<double>(megabytes) / sed);
  std::printf("ratio tintwise-lights / sed: %.2f\n", lights / sed);
  std::printf("peak memory for a map of %ld MB: %.1f MiB\n", megabytes / 10 > 0 ? megabytes / 10 : 1, static_cast<double>(small_peak) / 1024.0);
  std::remove(map.c_str());
  std::remove(small.c_str());
  return 0;
}
