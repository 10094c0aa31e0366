// The rows tintwise-lights writes, a light or a zone's ambient light a row,
// shared with the web page and the Python module: CSV, JSON Lines, a
// template, or the colours the triples render as swatch files (a GIMP
// palette among them), named by actor and triple, by the palette's writers.
#ifndef TINTWISE_LIGHTS_OUTPUT_H
#define TINTWISE_LIGHTS_OUTPUT_H

#include <cstdint>
#include <string>

#include "palette_output.h"
#include "tintwise/lights.h"

namespace tintwise {

// file, line, actor, class, property ("light" or "ambient"), hue,
// saturation, brightness, rendered_hex, from_defaults (the fields that came
// from the class's defaults, as "hue saturation brightness") and
// defaults_of (the class each of those came from, in that order). A light of
// the later engine generation has its brightness as written, and no
// rendered_hex.
extern const RowFields kLightFields;

// The colour the entry's triple renders, to the nearest byte, as 0xRRGGBB (a
// hue of 255 renders as hue 0: the wheel has 255 steps).
std::uint32_t light_rgb(const LightEntry& entry);

void append_light_row(const OutputSpec& spec, const std::string& file, const LightEntry& entry, std::string& out);

// The entry as a swatch: its rendered colour, named by actor and triple, as
// "Light3 (30 100 200)" (a light of the later generation renders none, and
// is no swatch).
Swatch light_swatch(const LightEntry& entry);

} // namespace tintwise

#endif
