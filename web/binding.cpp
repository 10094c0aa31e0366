// The page's view of Tintwise: one run of the command line for R, G, B, its
// text byte for byte, and the fields of the match it found.
#include <emscripten/emscripten.h>

#include <cstdio>

#include "driver.h"

namespace {

tintwise::CommandOutput last; // the latest run; the page reads it at once

} // namespace

extern "C" {

// Runs `Tintwise R G B` for these values (any integers: out-of-range ones
// give the tool's range error). Returns the exit status.
EMSCRIPTEN_KEEPALIVE int tintwise_convert(int r, int g, int b) {
  char args[3][16];
  std::snprintf(args[0], sizeof args[0], "%d", r);
  std::snprintf(args[1], sizeof args[1], "%d", g);
  std::snprintf(args[2], sizeof args[2], "%d", b);
  const char* const argv[] = {"Tintwise", args[0], args[1], args[2]};
  tintwise::run_command(4, argv, last);
  return last.status;
}

// What that run printed.
EMSCRIPTEN_KEEPALIVE const char* tintwise_text() { return last.text; }

// Field i of the match: 0..2 hue, saturation, brightness; 3..5 the rendered
// red, green, blue on the byte scale (0..255, not rounded).
EMSCRIPTEN_KEEPALIVE double tintwise_field(int i) {
  const tintwise::HsbMatch& m = last.match;
  switch (i) {
    case 0: return m.hue;
    case 1: return m.saturation;
    case 2: return m.brightness;
    case 3: return static_cast<double>(m.red) * 255.0;
    case 4: return static_cast<double>(m.green) * 255.0;
    default: return static_cast<double>(m.blue) * 255.0;
  }
}

} // extern "C"
