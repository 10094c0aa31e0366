// libFuzzer target for the command line: each input is an argument vector,
// its bytes split at NUL into the arguments after the program's name. Every
// run must end with one of the tool's own outputs and the matching status.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(size > 0 ? 1 : 0);
  for (std::size_t i = 0; i < size && args.size() <= 8; ++i) {
    if (data[i] == 0) args.emplace_back();
    else args.back().push_back(static_cast<char>(data[i]));
  }
  std::vector<const char*> argv = {"Tintwise"};
  bool in_range = true;
  for (const std::string& a : args) {
    argv.push_back(a.c_str());
    const std::int32_t v = tintwise::parse_channel(a.c_str());
    in_range = in_range && (argv.size() > 4 || (v >= 0 && v <= 255));
  }
  tintwise::CommandOutput run;
  tintwise::run_command(static_cast<int>(argv.size()), argv.data(), run);
  const std::string out(run.text, run.length);
  // A result is the report and the result line, its triple in range.
  double d, r, g, b;
  int h = -1, s = -1, v = -1, end = 0;
  std::sscanf(out.c_str(), "[Distance between RGB and the best matching HSB = %lf]\n[The HSB chosen is actually equivalent to RGB (%lf, %lf, %lf)]\n\n  Hue = %d, Saturation = %d, Brightness = %d\n%n", &d, &r, &g, &b, &h, &s, &v, &end);
  const bool expected =
      argv.size() < 4 ? run.status == 0 && out.rfind("Tintwise v0.1 ", 0) == 0 && out.find("|   Note:     R/G/B are all assumed to be 0..255\n") != std::string::npos
      : !in_range     ? run.status == 10 && out == "Error: r/g/b must all be in the range 0.225\n"
                      : run.status == 0 && end == static_cast<int>(out.size()) && h >= 0 && h <= 254 && s >= 0 && s <= 255 && v >= 0 && v <= 255;
  if (!expected) {
    std::fprintf(stderr, "status %d, output:\n%s\n", run.status, out.c_str());
    std::abort();
  }
  return 0;
}
