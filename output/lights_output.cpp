#include "lights_output.h"

#include "tintwise/hsb_model.h"

namespace tintwise {

namespace {

const char* const kNames[] = {"file", "line", "actor", "class", "property", "hue", "saturation", "brightness", "rendered_hex", "from_defaults"};

struct LightRow {
  const std::string& file;
  const LightEntry& e;
};

void light_field(const void* row, int i, std::string& out) {
  const LightRow& r = *static_cast<const LightRow*>(row);
  const LightEntry& e = r.e;
  switch (i) {
    case 0: out += r.file; break;
    case 1: append_number(out, static_cast<long long>(e.line)); break;
    case 2: out += e.actor; break;
    case 3: out += e.class_name; break;
    case 4: out += e.ambient ? "ambient" : "light"; break;
    case 5: append_number(out, e.hue); break;
    case 6: append_number(out, e.saturation); break;
    case 7: append_number(out, e.brightness); break;
    case 8: append_hex_rgb(light_rgb(e), out); break;
    default: {
      const char* const names[] = {"hue", "saturation", "brightness"};
      const std::size_t start = out.size();
      for (int k = 0; k < 3; ++k) {
        if (e.from_defaults >> k & 1) out += std::string(out.size() > start ? " " : "") + names[k];
      }
    }
  }
}

} // namespace

const RowFields kLightFields = {kNames, 10, 10, 1u << 0 | 1u << 2 | 1u << 3 | 1u << 4 | 1u << 8 | 1u << 9, "csv, json, gpl, ase, aco, act, jasc, paintnet"};

std::uint32_t light_rgb(const LightEntry& e) {
  const RenderedColour c = render_hsb(e.hue % kHueSteps, e.saturation, e.brightness);
  return rendered_rgb({e.hue % kHueSteps, e.saturation, e.brightness, c.red, c.green, c.blue});
}

void append_light_row(const OutputSpec& spec, const std::string& file, const LightEntry& entry, std::string& out) {
  const LightRow row{file, entry};
  append_record(spec, kLightFields, light_field, &row, out);
}

Swatch light_swatch(const LightEntry& e) {
  return {light_rgb(e), e.actor + " (" + std::to_string(e.hue) + " " + std::to_string(e.saturation) + " " + std::to_string(e.brightness) + ")"};
}

} // namespace tintwise
