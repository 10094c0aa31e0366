// libFuzzer target for the command line: each input is an argument vector,
// its bytes split at NUL into the arguments after the program's name. Every
// run must end with one of the tool's own outputs and the matching status.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver.h"

namespace {

const char kUsageTail[] = "|   Function: convert RGB values to Unreal's HSB colourspace\n"
                          "|   Syntax:   Tintwise R G B\n"
                          "|   Note:     R/G/B are all assumed to be 0..255\n";
const char kRangeError[] = "Error: r/g/b must all be in the range 0.225\n";

// Matches `literal` at text[at...], advancing `at`.
bool take(const std::string& text, std::size_t& at, const char* literal) {
  const std::size_t n = std::strlen(literal);
  if (text.compare(at, n, literal) != 0) return false;
  at += n;
  return true;
}

// Matches a fixed-point number with `decimals` digits after the point.
bool take_fixed(const std::string& text, std::size_t& at, int decimals) {
  const std::size_t start = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == start || !take(text, at, ".")) return false;
  for (int i = 0; i < decimals; ++i, ++at) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
  }
  return true;
}

bool take_int(const std::string& text, std::size_t& at, long most) {
  const std::size_t start = at;
  long value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 4) value = value * 10 + (text[at++] - '0');
  return at > start && value <= most;
}

bool is_result(const std::string& out) {
  std::size_t at = 0;
  return take(out, at, "[Distance between RGB and the best matching HSB = ") && take_fixed(out, at, 6) &&
         take(out, at, "]\n[The HSB chosen is actually equivalent to RGB (") && take_fixed(out, at, 1) &&
         take(out, at, ", ") && take_fixed(out, at, 1) && take(out, at, ", ") && take_fixed(out, at, 1) &&
         take(out, at, ")]\n\n  Hue = ") && take_int(out, at, 254) && take(out, at, ", Saturation = ") &&
         take_int(out, at, 255) && take(out, at, ", Brightness = ") && take_int(out, at, 255) &&
         take(out, at, "\n") && at == out.size();
}

std::string captured() {
  std::fflush(stdout);
  std::string out;
  char buf[4096];
  ssize_t n;
  off_t at = 0;
  while ((n = pread(STDOUT_FILENO, buf, sizeof buf, at)) > 0) {
    out.append(buf, static_cast<std::size_t>(n));
    at += n;
  }
  if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) std::abort();
  return out;
}

void fail(const char* what, const std::string& out) {
  std::fprintf(stderr, "%s; output was:\n%s\n", what, out.c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Standard output goes to a temporary file, read back after each run.
  std::FILE* capture = std::tmpfile();
  if (capture == nullptr || dup2(fileno(capture), STDOUT_FILENO) < 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  std::string current;
  for (std::size_t i = 0; i < size && args.size() < 8; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (args.size() < 8 && size > 0) args.push_back(current);

  std::vector<const char*> argv = {"Tintwise"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const int argc = static_cast<int>(argv.size());
  argv.push_back(nullptr);

  const int status = tintwise::run_command_line(argc, argv.data());
  const std::string out = captured();
  if (argc < 4) {
    const std::size_t eol = out.find('\n');
    if (status != 0 || out.rfind("Tintwise v0.1 ", 0) != 0 || eol == std::string::npos ||
        out.substr(eol + 1) != kUsageTail) {
      fail("usage expected", out);
    }
    return 0;
  }
  bool in_range = true;
  for (int i = 1; i <= 3; ++i) {
    const std::int32_t v = tintwise::parse_channel(argv[static_cast<std::size_t>(i)]);
    in_range = in_range && v >= 0 && v <= 255;
  }
  if (!in_range && (status != 10 || out != kRangeError)) fail("range error expected", out);
  if (in_range && (status != 0 || !is_result(out))) fail("a result expected", out);
  return 0;
}
