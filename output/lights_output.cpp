#include "lights_output.h"

#include "tintwise/hsb_model.h"

namespace tintwise {

namespace {

const char* const kNames[] = {"file", "line", "actor", "class", "property", "hue", "saturation", "brightness", "rendered_hex", "from_defaults", "defaults_of"};

// A number as JSON writes one: an optional minus, digits without a leading
// zero, a fraction, an exponent (RFC 8259's grammar).
bool json_number(const std::string& v) {
  std::size_t i = v.size() > 0 && v[0] == '-' ? 1 : 0;
  const auto digits = [&v, &i] { const std::size_t from = i; while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i; return i - from; };
  const std::size_t whole = i;
  if (digits() == 0 || (v[whole] == '0' && i - whole > 1)) return false;
  if (i < v.size() && v[i] == '.' && (++i, digits() == 0)) return false;
  if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
    i += i + 1 < v.size() && (v[i + 1] == '+' || v[i + 1] == '-') ? 2 : 1;
    if (digits() == 0) return false;
  }
  return i == v.size();
}

struct LightRow {
  const std::string& file;
  const LightEntry& e;
  bool json;
};

void light_field(const void* row, int i, std::string& out) {
  const LightRow& r = *static_cast<const LightRow*>(row);
  const LightEntry& e = r.e;
  if (r.json && i == 7 && e.later && !json_number(e.brightness_text)) return append_json(out, e.brightness_text); // as written, a string where it is no JSON number
  switch (i) {
    case 0: out += r.file; break;
    case 1: append_number(out, static_cast<long long>(e.line)); break;
    case 2: out += e.actor; break;
    case 3: out += e.class_name; break;
    case 4: out += e.ambient ? "ambient" : "light"; break;
    case 5: append_number(out, e.hue); break;
    case 6: append_number(out, e.saturation); break;
    case 7: e.later ? void(out += e.brightness_text) : append_number(out, e.brightness); break;
    case 8: if (!e.later) append_hex_rgb(light_rgb(e), out); break; // the later generation's brightness renders no colour of this model
    case 10: out += e.defaults_of; break;
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

const RowFields kLightFields = {kNames, 11, 11, 1u << 0 | 1u << 2 | 1u << 3 | 1u << 4 | 1u << 8 | 1u << 9 | 1u << 10, "csv, json, gpl, ase, aco, act, jasc, paintnet"};

std::uint32_t light_rgb(const LightEntry& e) {
  return triple_rgb(e.hue % kHueSteps, e.saturation, e.brightness);
}

void append_light_row(const OutputSpec& spec, const std::string& file, const LightEntry& entry, std::string& out) {
  const LightRow row{file, entry, spec.format == OutputFormat::json};
  append_record(spec, kLightFields, light_field, &row, out);
}

Swatch light_swatch(const LightEntry& e) {
  return {light_rgb(e), e.actor + " (" + std::to_string(e.hue) + " " + std::to_string(e.saturation) + " " + std::to_string(e.brightness) + ")"};
}

} // namespace tintwise
