// The page's view of Tintwise: one run of the command line on the texts of R,
// G and B, byte for byte, with the fields of the match it found; and the
// colour a triple renders.
#include <emscripten/emscripten.h>

#include "driver.h"
#include "tintwise/hsb_model.h"

namespace {

tintwise::CommandOutput last;     // the latest run; the page reads it at once
tintwise::RenderedColour colour;  // the latest triple's colour
char rendered[48];                // and that colour as the report prints it

} // namespace

extern "C" {

// Runs `Tintwise R G B` with these three arguments, exactly as a shell hands
// them to the tool (UTF-8 texts, NUL-terminated): the tool's own reading
// decides what they mean, so no number is converted, or wrapped, on the way.
// Returns the exit status.
EMSCRIPTEN_KEEPALIVE int tintwise_convert(const char* r, const char* g, const char* b) {
  const char* const argv[] = {"Tintwise", r, g, b};
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

// The colour the triple renders, as the report's second line prints a
// rendered colour ("(187.2, 86.3, 64.1)"), or null for a triple out of range.
// Channel i (0..2) of it on the byte scale through tintwise_rendered_channel.
EMSCRIPTEN_KEEPALIVE const char* tintwise_render(int hue, int saturation, int brightness) {
  if (hue < 0 || hue >= tintwise::kHueSteps || saturation < 0 || saturation >= tintwise::kSaturationSteps ||
      brightness < 0 || brightness >= tintwise::kBrightnessSteps) {
    return nullptr;
  }
  colour = tintwise::render_hsb(hue, saturation, brightness);
  tintwise::format_rendered(colour.red, colour.green, colour.blue, rendered, sizeof rendered);
  return rendered;
}

EMSCRIPTEN_KEEPALIVE double tintwise_rendered_channel(int i) {
  return static_cast<double>(i == 0 ? colour.red : i == 1 ? colour.green : colour.blue) * 255.0;
}

} // extern "C"
