// tintwise-lights recolouring a map export, against sed 's/a/a/' over the
// same file on the same machine, and its peak memory for a map ten times
// smaller; then listing the lights of a map package of 20 MB, against cat
// over it: tintwise_lights_bench TOOL [MEGABYTES]  (default 40)
// The export is written here as UnrealEd writes one: CR LF, a Map, brushes
// with polygons, and a light every tenth actor; the package as the engine
// saves one (UT's version 69): its tables, a light every tenth actor of
// 20,000, and the rest models' data, as a map's BSP fills most of one. Each
// run is the fastest of three (the machine is shared).
#include <unistd.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

std::string le(std::uint64_t v, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * i) & 255);
  return out;
}

std::string compact(std::uint32_t v) { // a compact index of a value >= 0
  std::string out(1, static_cast<char>((v & 0x3F) | (v > 0x3F ? 0x40 : 0)));
  for (v >>= 6; v > 0; v >>= 7) out += static_cast<char>((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
  return out;
}

void write_package(const std::string& path, long megabytes) {
  const char* const names[] = {"None", "Engine", "Class", "Light", "Brush", "Model", "LightHue", "LightBrightness", "Location", "Vector", "Actor"};
  std::string body, table;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  const std::size_t head = 36 + 16 + 4 + 8;
  std::size_t written = head; // the body goes to the file as it grows, so that this process stays small beside the one measured
  for (const char* n : names) body += compact(static_cast<std::uint32_t>(std::strlen(n) + 1)) + n + std::string(1, '\0') + le(0, 4);
  const std::size_t imports_at = head + body.size();
  for (const int c : {3, 4, 5}) body += compact(1) + compact(2) + le(0, 4) + compact(static_cast<std::uint32_t>(c));
  const std::string model(1 << 16, 'm');
  std::uint32_t exports = 0;
  for (long n = 1; written + body.size() < static_cast<std::size_t>(megabytes) * 1000000; ++n, ++exports) {
    const bool light = n % 10 == 0, actor = n <= 20000;
    const std::string data = !actor ? model
                             : light ? compact(6) + '\x01' + static_cast<char>(n * 37 % 256) + compact(7) + '\x01' + '\x80' + compact(8) + '\x3a' + compact(9) + std::string(12, 'v') + compact(0)
                                     : compact(8) + '\x3a' + compact(9) + std::string(12, 'v') + compact(0);
    table += std::string(1, static_cast<char>(!actor ? 0x83 : light ? 0x81 : 0x82)) + compact(0) + le(0, 4) + compact(10) + le(0, 4) + compact(static_cast<std::uint32_t>(data.size())) +
             compact(static_cast<std::uint32_t>(written + body.size()));
    body += data;
    if (body.size() > (1 << 20)) {
      std::fseek(f, static_cast<long>(written), SEEK_SET);
      std::fwrite(body.data(), 1, body.size(), f);
      written += body.size();
      body.clear();
    }
  }
  const std::string summary = le(0x9E2A83C1, 4) + le(69, 4) + le(0, 4) + le(sizeof names / sizeof names[0], 4) + le(head, 4) + le(exports, 4) +
                              le(written + body.size(), 4) + le(3, 4) + le(imports_at, 4) + std::string(16, 'g') + le(1, 4) + le(exports, 4) + le(11, 4);
  std::fseek(f, static_cast<long>(written), SEEK_SET);
  std::fwrite((body + table).data(), 1, body.size() + table.size(), f);
  std::fseek(f, 0, SEEK_SET);
  if (std::fwrite(summary.data(), 1, summary.size(), f) != summary.size() || std::fclose(f) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
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
  const std::string unr = "/tmp/tintwise-lights-bench-" + std::to_string(getpid()) + ".unr";
  write_package(unr, 20);
  long package_peak, cat_peak;
  const double listed = fastest({tool, unr}, package_peak), cat = fastest({"cat", unr}, cat_peak);
  std::printf("tintwise-lights, the 2,000 lights of a map package of 20 MB: %.3f s, peak memory %.1f MiB\n", listed, static_cast<double>(package_peak) / 1024.0);
  std::printf("cat over the same file: %.3f s; tintwise-lights took %.0f ms more (the goal: 50 ms at most)\n", cat, (listed - cat) * 1000.0);
  if (!std::getenv("TINTWISE_BENCH_KEEP")) std::remove(unr.c_str());
  return 0;
}
