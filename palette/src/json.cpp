// Procreate's .swatches: a zip archive whose Swatches.json holds a palette
// object (Procreate 5: name, swatches, colorProfiles), or an array of them
// (earlier versions). Each swatch is null (an empty slot) or an object with
// hue, saturation and brightness from 0 to 1, and a colorSpace (0, sRGB).
//
// The JSON is read as RFC 8259 defines it, and nothing else: strings with
// every escape (and surrogate pairs) and no raw control characters, numbers
// with fractions and exponents but no leading zeros or signs, literals in
// lower case, nothing after the value but white space. Nesting is limited to
// kMaxDepth and the values to kMaxValues, so a hostile file cannot exhaust
// the stack or memory.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

constexpr int kMaxDepth = 64;
constexpr std::size_t kMaxValues = 1 << 19; // 65,535 swatches of 6 values, and room to spare; about 50 MB at most

struct Json {
  enum Type : std::uint8_t { null, boolean, number, string, array, object } type = null;
  double numeric = 0;
  std::string text;              // a string's value, as UTF-8
  std::vector<Json> items;       // an array's values, or an object's
  std::vector<std::string> keys; // an object's keys, one a value
};

struct Parser {
  const std::string& s;
  std::size_t at;
  std::size_t values;
  const char* error;
};

bool fail(Parser& p, const char* why) {
  if (!p.error) p.error = why;
  return false;
}

void skip_space(Parser& p) {
  while (p.at < p.s.size() && (p.s[p.at] == ' ' || p.s[p.at] == '\t' || p.s[p.at] == '\n' || p.s[p.at] == '\r')) ++p.at;
}

bool digits(Parser& p) {
  const std::size_t start = p.at;
  while (p.at < p.s.size() && p.s[p.at] >= '0' && p.s[p.at] <= '9') ++p.at;
  return p.at > start;
}

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, then as the nearest double.
// The text is checked to be exactly that first, so strtod (in the C locale
// the programs run in) reads all of it and no more.
bool number(Parser& p, Json& out) {
  const std::size_t start = p.at;
  if (p.s[p.at] == '-') ++p.at;
  if (p.at < p.s.size() && p.s[p.at] == '0') ++p.at;
  else if (!digits(p)) return fail(p, "a number without digits");
  if (p.at < p.s.size() && p.s[p.at] == '.' && (++p.at, !digits(p))) return fail(p, "a number without digits after its point");
  if (p.at < p.s.size() && (p.s[p.at] == 'e' || p.s[p.at] == 'E')) {
    ++p.at;
    if (p.at < p.s.size() && (p.s[p.at] == '+' || p.s[p.at] == '-')) ++p.at;
    if (!digits(p)) return fail(p, "a number without digits in its exponent");
  }
  out.type = Json::number;
  out.numeric = std::strtod(p.s.substr(start, p.at - start).c_str(), nullptr);
  return true;
}

bool hex4(Parser& p, std::uint32_t& unit) {
  if (p.s.size() - p.at < 4) return fail(p, "a \\u escape cut short");
  unit = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = p.s[p.at++];
    const int v = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
    if (v < 0) return fail(p, "a \\u escape that is not four hexadecimal digits");
    unit = unit << 4 | static_cast<std::uint32_t>(v);
  }
  return true;
}

bool string(Parser& p, std::string& out) {
  ++p.at; // the opening quote
  for (;;) {
    if (p.at >= p.s.size()) return fail(p, "a string without its closing quote");
    const unsigned char c = static_cast<unsigned char>(p.s[p.at++]);
    if (c == '"') return true;
    if (c < 0x20) return fail(p, "a control character inside a string");
    if (c != '\\') {
      out += static_cast<char>(c);
      continue;
    }
    if (p.at >= p.s.size()) return fail(p, "a string without its closing quote");
    const char e = p.s[p.at++];
    const char* const from = "\"\\/bfnrt";
    const char* const to = "\"\\/\b\f\n\r\t";
    std::uint32_t unit;
    if (e == 'u') {
      if (!hex4(p, unit)) return false;
      // A high surrogate followed by an escaped low one is one code point;
      // any other surrogate is none, and stands as U+FFFD.
      std::uint32_t low;
      if (unit >= 0xD800 && unit < 0xDC00 && p.s.compare(p.at, 2, "\\u") == 0) {
        const std::size_t back = p.at;
        p.at += 2;
        if (!hex4(p, low)) return false;
        if (low >= 0xDC00 && low < 0xE000) unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        else p.at = back;
      }
      append_utf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
    } else {
      std::size_t k = 0;
      while (from[k] && from[k] != e) ++k;
      if (!from[k]) return fail(p, "an escape JSON does not have");
      out += to[k];
    }
  }
}

bool value(Parser& p, Json& out, int depth);

// An array's or an object's members, up to its closing bracket.
bool members(Parser& p, Json& out, int depth, bool object) {
  ++p.at;
  skip_space(p);
  const char close = object ? '}' : ']';
  if (p.at < p.s.size() && p.s[p.at] == close) return ++p.at, true;
  for (;;) {
    skip_space(p);
    if (object) {
      if (p.at >= p.s.size() || p.s[p.at] != '"') return fail(p, "an object's member without a quoted key");
      out.keys.emplace_back();
      if (!string(p, out.keys.back())) return false;
      skip_space(p);
      if (p.at >= p.s.size() || p.s[p.at] != ':') return fail(p, "a key without a colon after it");
      ++p.at;
    }
    out.items.emplace_back();
    if (!value(p, out.items.back(), depth + 1)) return false;
    skip_space(p);
    if (p.at < p.s.size() && p.s[p.at] == ',') {
      ++p.at;
      continue;
    }
    if (p.at < p.s.size() && p.s[p.at] == close) return ++p.at, true;
    return fail(p, object ? "an object without a comma or a closing brace" : "an array without a comma or a closing bracket");
  }
}

bool value(Parser& p, Json& out, int depth) {
  if (depth > kMaxDepth) return fail(p, "values nested more than 64 deep");
  if (++p.values > kMaxValues) return fail(p, "more than 524,288 values, far more than a palette's");
  skip_space(p);
  if (p.at >= p.s.size()) return fail(p, "it ends where a value should be");
  const char c = p.s[p.at];
  if (c == '{' || c == '[') {
    out.type = c == '{' ? Json::object : Json::array;
    return members(p, out, depth, c == '{');
  }
  if (c == '"') return out.type = Json::string, string(p, out.text);
  if (c == '-' || (c >= '0' && c <= '9')) return number(p, out);
  for (const char* word : {"null", "true", "false"}) {
    if (p.s.compare(p.at, std::char_traits<char>::length(word), word) == 0) {
      p.at += std::char_traits<char>::length(word);
      out.type = word[0] == 'n' ? Json::null : Json::boolean;
      out.numeric = word[0] == 't';
      return true;
    }
  }
  return fail(p, "a value that is not JSON");
}

// The member `key` of an object, or null; `twice` is set when the key is
// there more than once, which JSON leaves each reader to take its own way.
const Json* member(const Json& object, const char* key, bool& twice) {
  const Json* found = nullptr;
  for (std::size_t i = 0; i < object.keys.size(); ++i) {
    if (object.keys[i] != key) continue;
    twice = twice || found;
    found = &object.items[i];
  }
  return found;
}

// Whether a swatch names one of the palette's colour profiles whose ICC name
// is not sRGB's; `name` is set to it.
bool other_profile(const Json& palette, const Json& swatch, std::string& name) {
  bool twice = false;
  const Json* hash = member(swatch, "colorProfile", twice);
  const Json* profiles = member(palette, "colorProfiles", twice);
  if (!hash || hash->type != Json::string || !profiles || profiles->type != Json::array) return false;
  for (const Json& profile : profiles->items) {
    const Json* h = profile.type == Json::object ? member(profile, "hash", twice) : nullptr;
    const Json* icc = h && h->type == Json::string && h->text == hash->text ? member(profile, "iccName", twice) : nullptr;
    if (icc && icc->type == Json::string && icc->text.find("sRGB") == std::string::npos) return name = clean_utf8(icc->text), true;
  }
  return false;
}

void swatch(Reader& r, std::uint64_t slot, const Json& palette, const Json& s) {
  if (s.type != Json::object) return report(r, slot, "not a swatch: a slot that holds neither a swatch nor null");
  bool twice = false;
  const Json* space = member(s, "colorSpace", twice);
  const Json* hsb[3] = {member(s, "hue", twice), member(s, "saturation", twice), member(s, "brightness", twice)};
  const Json* name = member(s, "name", twice);
  std::string profile;
  if (twice) return report(r, slot, "corrupt: a swatch that gives one of its values twice");
  if (space && !(space->type == Json::number && space->numeric == 0)) {
    char said[32] = "not a number";
    if (space->type == Json::number) std::snprintf(said, sizeof said, "%g", space->numeric);
    return report(r, slot, std::string("not read: a swatch in another colour space than sRGB (colorSpace ") + said +
                               "); turning it into sRGB needs its profile, which is not guessed");
  }
  if (other_profile(palette, s, profile)) return report(r, slot, "not read: a swatch in the colour profile " + profile + ", not sRGB, which is not guessed");
  if (!hsb[0] || !hsb[1] || !hsb[2]) {
    return report(r, slot, member(s, "components", twice) ? "not read: a swatch whose colour is given only as components, not as hue, saturation and brightness"
                                                          : "not a colour: a swatch without hue, saturation and brightness");
  }
  double v[3];
  for (int i = 0; i < 3; ++i) {
    if (hsb[i]->type != Json::number || !(hsb[i]->numeric >= 0 && hsb[i]->numeric <= 1)) {
      return report(r, slot, "not a colour: hue, saturation and brightness run from 0 to 1");
    }
    v[i] = hsb[i]->numeric;
  }
  std::uint8_t rgb[3];
  hsb_rgb(v[0], v[1], v[2], rgb);
  deliver(r, slot, rgb, name && name->type == Json::string ? clean_utf8(name->text) : "");
}

} // namespace

void read_procreate(Reader& r, const std::string& text) {
  r.unit = PaletteUnit::index;
  Json root;
  Parser p{text, text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? std::size_t{3} : 0, 0, nullptr};
  if (value(p, root, 0)) {
    skip_space(p);
    if (p.at != text.size()) fail(p, "data after the value");
  }
  if (!valid_utf8(text)) fail(p, "bytes that are not UTF-8");
  if (p.error) return report_file(r, std::string("corrupt: Swatches.json is not JSON: ") + p.error);
  std::vector<const Json*> palettes;
  if (root.type == Json::object) palettes.push_back(&root);
  if (root.type == Json::array) {
    for (const Json& item : root.items) palettes.push_back(&item);
  }
  std::uint64_t slot = 0; // slots run on through every palette of the file
  for (const Json* palette : palettes) {
    bool twice = false;
    const Json* swatches = palette->type == Json::object ? member(*palette, "swatches", twice) : nullptr;
    if (!swatches || swatches->type != Json::array || twice) {
      return report_file(r, "not a palette: Swatches.json holds no palette object with a list of swatches");
    }
    for (const Json& s : swatches->items) {
      if (r.stopped) return;
      if (s.type != Json::null) swatch(r, slot, *palette, s);
      ++slot;
    }
  }
  if (palettes.empty()) report_file(r, "not a palette: Swatches.json holds no palette object with a list of swatches");
}

} // namespace palette_reader
} // namespace tintwise
