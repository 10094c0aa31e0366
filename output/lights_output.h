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
// saturation, brightness, rendered_hex and from_defaults (the fields that
// came from the stock defaults, as "hue saturation brightness").
extern const RowFields kLightFields;

// The colour the entry's triple renders, to the nearest byte, as 0xRRGGBB (a
// hue of 255 renders as hue 0: the wheel has 255 steps).
std::uint32_t light_rgb(const LightEntry& entry);

void append_light_row(const OutputSpec& spec, const std::string& file, const LightEntry& entry, std::string& out);

// The entry as a swatch: its rendered colour, named by actor and triple, as
// "Light3 (30 100 200)".
Swatch light_swatch(const LightEntry& entry);

} // namespace tintwise

#endif
