// libFuzzer target for the command line: each input is an argument vector,
// its bytes split at NUL into the arguments after the program's name. Every
// run must end with one of the tool's own outputs and the matching status.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"

namespace {

const char kUsageTail[] = "|   Function: convert RGB values to Unreal's HSB colourspace\n"
                          "|   Syntax:   Tintwise R G B\n"
                          "|   Note:     R/G/B are all assumed to be 0..255\n";
const char kRangeError[] = "Error: r/g/b must all be in the range 0.225\n";
const char kResult[] = "[Distance between RGB and the best matching HSB = %lf]\n"
                       "[The HSB chosen is actually equivalent to RGB (%lf, %lf, %lf)]\n\n"
                       "  Hue = %d, Saturation = %d, Brightness = %d\n";

// A result is exactly what its own numbers print as, with the triple in range.
bool is_result(const std::string& out) {
  double d, r, g, b;
  int h, s, v;
  if (std::sscanf(out.c_str(), kResult, &d, &r, &g, &b, &h, &s, &v) != 7) return false;
  char again[512];
  std::snprintf(again, sizeof again,
                "[Distance between RGB and the best matching HSB = %.6f]\n"
                "[The HSB chosen is actually equivalent to RGB (%.1f, %.1f, %.1f)]\n\n"
                "  Hue = %d, Saturation = %d, Brightness = %d\n",
                d, r, g, b, h, s, v);
  return out == again && h >= 0 && h <= 254 && s >= 0 && s <= 255 && v >= 0 && v <= 255;
}

// What the run wrote to standard output (a temporary file), which is then
// emptied for the next run.
std::string take_output() {
  std::fflush(stdout);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = pread(STDOUT_FILENO, buf, sizeof buf, static_cast<off_t>(out.size()))) > 0;) {
    out.append(buf, static_cast<std::size_t>(n));
  }
  if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) std::abort();
  return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::FILE* capture = std::tmpfile();
  if (capture == nullptr || dup2(fileno(capture), STDOUT_FILENO) < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(size > 0 ? 1 : 0);
  for (std::size_t i = 0; i < size && args.size() <= 8; ++i) {
    if (data[i] == 0) args.emplace_back();
    else args.back().push_back(static_cast<char>(data[i]));
  }
  std::vector<const char*> argv = {"Tintwise"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const int argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);

  const int status = tintwise::run_command_line(argc, argv.data());
  const std::string out = take_output();
  bool in_range = true;
  for (int i = 1; i < argc && i <= 3; ++i) {
    const std::int32_t v = tintwise::parse_channel(argv[static_cast<std::size_t>(i)]);
    in_range = in_range && v >= 0 && v <= 255;
  }
  bool expected;
  if (argc < 4) expected = status == 0 && out.rfind("Tintwise v0.1 ", 0) == 0 && out.substr(out.find('\n') + 1) == kUsageTail;
  else if (!in_range) expected = status == 10 && out == kRangeError;
  else expected = status == 0 && is_result(out);
  if (!expected) {
    std::fprintf(stderr, "status %d, output:\n%s\n", status, out.c_str());
    std::abort();
  }
  return 0;
}
