#include "driver.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tintwise {

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool in_byte_range(std::int32_t v) { return v >= 0 && v <= 255; }

const char kUsage[] = "Tintwise v0.1 (c) 2026 the Tintwise developers\n"
                      "|   Function: convert RGB values to Unreal's HSB colourspace\n"
                      "|   Syntax:   Tintwise R G B\n"
                      "|   Note:     R/G/B are all assumed to be 0..255\n";

void append(CommandOutput& out, const char* text) {
  const std::size_t n = std::strlen(text);
  if (out.length + n >= sizeof out.text) return; // cannot happen: the texts are short
  std::memcpy(out.text + out.length, text, n + 1);
  out.length += n;
}

} // namespace

std::int32_t parse_channel(const char* text) {
  const char* p = text;
  while (is_space(*p)) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Accumulate in 64 bits and stop growing once past the 32-bit range: the
  // magnitude then stays far from overflow however many digits follow.
  constexpr std::int64_t kCap = std::int64_t{1} << 32;
  std::int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (magnitude < kCap) magnitude = magnitude * 10 + (*p - '0');
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

void print_usage() { std::fputs(kUsage, stdout); }

void run_command(int argc, const char* const* argv, CommandOutput& out) {
  out = CommandOutput{};
  if (argc < 4) {
    append(out, kUsage);
    out.status = kExitOk;
    return;
  }
  const std::int32_t r = parse_channel(argv[1]);
  const std::int32_t g = parse_channel(argv[2]);
  const std::int32_t b = parse_channel(argv[3]);
  if (!in_byte_range(r) || !in_byte_range(g) || !in_byte_range(b)) {
    append(out, "Error: r/g/b must all be in the range 0.225\n");
    out.status = kExitRange;
    return;
  }
  out.length = find_best_hsb_report(out.match, r, g, b, out.text, sizeof out.text);
  out.searched = true;
  char line[80];
  std::snprintf(line, sizeof line, "  Hue = %d, Saturation = %d, Brightness = %d\n", static_cast<int>(out.match.hue),
                static_cast<int>(out.match.saturation), static_cast<int>(out.match.brightness));
  append(out, line);
  out.status = kExitOk;
}

int run_command_line(int argc, const char* const* argv) {
  CommandOutput out;
  run_command(argc, argv, out);
  std::fwrite(out.text, 1, out.length, stdout);
  return out.status;
}

int finish_output(int status) {
  errno = 0;
  const bool lost = std::fflush(stdout) != 0 || std::ferror(stdout);
  if (!lost) return status;
  const int error = errno;
  if (error != 0) std::fprintf(stderr, "Tintwise: write error: %s\n", std::strerror(error));
  else std::fprintf(stderr, "Tintwise: write error\n");
  return kExitWriteError;
}

} // namespace tintwise
