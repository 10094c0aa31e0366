// An actor's colours from what it holds and its class's defaults, with the
// engine generation told as the reading goes; names as characters.
#include "actors.h"

#include <vector>

namespace tintwise {
namespace lights_actors {

const char* const kNames[kProperties] = {"LightHue", "LightSaturation", "LightBrightness", "AmbientHue", "AmbientSaturation", "AmbientBrightness",
                                         "LightType", "Tag", "LightRadius"};

const char* const kCauseSaid[kCauses] = {
    "lines whose End closes no block that is open", "lines whose End closes a block before the blocks inside it end",
    "blocks nested more than 1024 deep", "lines of more than 1048576 bytes", "actors of more than 16777216 bytes", "actors that never end",
    "blocks that never end", "values that are not a whole number from 0 to 255", "properties given more than once",
    "brightnesses of another engine generation", "actors whose class's defaults cannot be had", "actors of classes not known", ""};

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

std::string lowered(std::string s) {
  for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

// A byte as the importer reads one: a sign, then digits (leading zeros
// too), spelling 0..255; "-0" is 0.
bool byte_value(const std::string& v, std::uint8_t& out) {
  const std::size_t sign = !v.empty() && (v[0] == '+' || v[0] == '-') ? 1 : 0;
  if (v.size() == sign || v.size() - sign > 64) return false;
  unsigned n = 0;
  for (std::size_t i = sign; i < v.size(); ++i) {
    if (!digit(v[i])) return false;
    n = n * 10 + static_cast<unsigned>(v[i] - '0');
    if (n > 255) return false;
  }
  if (v[0] == '-' && n != 0) return false;
  out = static_cast<std::uint8_t>(n);
  return true;
}

// A float as T3D and the importer spell one: a sign, digits, a point and
// digits, an exponent; `fraction` set where it has a point or an exponent,
// which only the later generation's brightness has.
bool number_value(const std::string& v, bool& fraction) {
  std::size_t i = !v.empty() && (v[0] == '+' || v[0] == '-') ? 1 : 0, digits = 0;
  fraction = false;
  for (; i < v.size() && digit(v[i]); ++i) ++digits;
  if (i < v.size() && v[i] == '.') {
    fraction = true;
    for (++i; i < v.size() && digit(v[i]); ++i) ++digits;
  }
  if (digits > 0 && i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
    fraction = true;
    i += i + 1 < v.size() && (v[i + 1] == '+' || v[i + 1] == '-') ? 2 : 1;
    std::size_t exponent = 0;
    for (; i < v.size() && digit(v[i]); ++i) ++exponent;
    if (exponent == 0) return false;
  }
  return digits > 0 && i == v.size();
}

bool is_none(const std::string& type) { return lowered(type) == "lt_none" || type == "0"; }

// Whether a class's name says it gives light, where no classes know it.
bool named_light(const std::string& name) {
  const std::string n = lowered(name);
  for (const char* w : {"light", "lamp", "torch", "lantern", "candle"}) {
    if (n.find(w) != std::string::npos) return true;
  }
  return false;
}

// Windows-1252's characters of bytes 0x80..0x9F (0: none).
const std::uint16_t kCp1252[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                   0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

void append_utf8(std::string& out, std::uint32_t c) {
  const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  out += static_cast<char>(n == 1 ? c : (0xF00u >> n & 0xF0) | c >> (6 * (n - 1)));
  for (int k = n - 2; k >= 0; --k) out += static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
}

// A text's characters: its bytes as UTF-8 where they are, else as Windows-1252.
std::vector<std::uint32_t> characters(const std::string& s) {
  std::vector<std::uint32_t> out;
  bool utf8 = true;
  for (std::size_t i = 0; i < s.size() && utf8;) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    std::uint32_t c = n == 1 ? b : b & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const unsigned char t = i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0;
      const unsigned char lo = k > 1 ? 0x80 : b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80, hi = k > 1 ? 0xBF : b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
      if (t < lo || t > hi) n = 0;
      c = c << 6 | (t & 0x3F);
    }
    if (n == 0) utf8 = false;
    else out.push_back(c), i += n;
  }
  if (utf8) return out;
  out.clear();
  for (const char ch : s) {
    const unsigned char b = static_cast<unsigned char>(ch);
    out.push_back(b >= 0x80 && b < 0xA0 ? (kCp1252[b - 0x80] ? kCp1252[b - 0x80] : 0xFFFD) : b);
  }
  return out;
}

std::uint32_t folded(std::uint32_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// Whether `name` matches `pattern`, character by character: * any run, ? one
// character, [set] (a-z ranges, ! to negate) one of a set; ASCII letters of
// any case alike, every other character exact, as the engine's own names
// compare (appToUpper in its Core/Inc/UnFile.h changes A to Z alone).
bool glob(const std::vector<std::uint32_t>& pattern, const std::vector<std::uint32_t>& name) {
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    bool step = false;
    std::size_t close = std::string::npos;
    if (p < pattern.size() && pattern[p] == '[') {
      for (std::size_t i = p + 2; i < pattern.size() && close == std::string::npos; ++i) close = pattern[i] == ']' ? i : close;
    }
    if (close != std::string::npos) {
      const bool negated = pattern[p + 1] == '!';
      bool in = false;
      for (std::size_t i = p + 1 + negated; i < close; ++i) {
        const bool range = i + 2 < close && pattern[i + 1] == '-';
        const std::uint32_t lo = folded(pattern[i]), hi = folded(range ? pattern[i + 2] : pattern[i]), c = folded(name[n]);
        in = in || (c >= lo && c <= hi);
        if (range) i += 2;
      }
      if (in != negated) p = close + 1, ++n, step = true;
    } else if (p < pattern.size() && (pattern[p] == '?' || folded(pattern[p]) == folded(name[n]))) {
      ++p, ++n, step = true;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++, resume = n, step = true;
    }
    if (step) continue;
    if (star == std::string::npos) return false;
    p = star + 1;
    n = ++resume;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The generation as this actor tells it (its LightBrightness or LightRadius),
// where the reading had not been told it.
void tell(Reading& r, const Actor& a, const Reporter& said) {
  if (r.given || r.generation == 2) return;
  for (const Property k : {kBrightness, kRadius}) {
    const Held& h = a.held[k];
    bool fraction;
    if (h.seen != 1 || !number_value(h.value, fraction)) continue;
    if (!fraction) {
      if (r.generation == 0) r.generation = 1;
      continue;
    }
    if (r.generation == 1) return; // told the first already: this actor's float is said as its own
    r.generation = 2;
    r.game = LightsGame::ut2004;
    if (r.guessed == 0) return; // no light was read as the other generation's: nothing to say
    const std::string then = r.guessed == 1 ? "the light before it whose brightness is its class's default (" + r.guessed_names + ") was read as the first generation's, "
                                              "given a byte: give --game=ut2004 to read it so"
                                            : "the " + std::to_string(r.guessed) + " lights before it whose brightness is their class's default (" + r.guessed_names +
                                                  ") were read as the first generation's, given a byte: give --game=ut2004 to read them so";
    said.report(said.context, kOnce, h.line,
                std::string(kNames[k]) + "=" + h.value.substr(0, 32) + " is a float: the text is of the later engine generation (UT2003/2004), read so from here on, with UT2004's classes; " + then);
    return;
  }
}

} // namespace

const lights_classes::Defaults& defaults_of(Reading& r, const std::string& class_name) {
  if (r.classes_of != r.game) r.classes.clear(), r.classes_of = r.game; // the game changes where the text tells its generation
  const auto found = r.classes.find(class_name);
  if (found != r.classes.end()) return found->second;
  return r.classes.emplace(class_name, lights_classes::class_defaults(class_name, r.options->classes, r.game)).first->second;
}

void start_reading(Reading& r, const LightsRecolour& options) {
  r = Reading{};
  r.options = &options;
  r.classes_of = r.game;
  r.given = options.game >= 0 && options.game < kLightsGames;
  r.game = r.given ? static_cast<LightsGame>(options.game) : LightsGame::ut99;
  r.generation = r.given ? (later_generation(r.game) ? 2 : 1) : 0;
}

std::string text_name(const std::string& bytes) {
  std::string out;
  for (const std::uint32_t c : characters(bytes)) append_utf8(out, c < 0x20 || c == 0x7F ? ' ' : c);
  return out;
}

bool chosen(const LightsRecolour& options, const Actor& a) {
  if (options.only.empty()) return true;
  const std::vector<std::uint32_t> pattern = characters(options.only);
  return glob(pattern, characters(a.name)) || (a.held[kTag].seen == 1 && glob(pattern, characters(a.held[kTag].value)));
}

void colours_of(Reading& r, const Actor& a, const Reporter& said, bool listing, Colour out[2]) {
  tell(r, a, said);
  const lights_classes::Defaults& d = defaults_of(r, a.class_name);
  const Held& type = a.held[kType];
  const std::string name = text_name(a.name);
  bool lines[2] = {false, false};
  for (int k = 0; k < 6; ++k) lines[k / 3] = lines[k / 3] || a.held[k].seen > 0;
  out[0] = Colour{};
  out[1] = Colour{};
  // A class no classes know is a light by its lines, its LightType, or else, as
  // far as a report goes, by its name.
  const bool by_name = !d.known && !lines[0] && type.seen == 0 && named_light(a.class_name);
  out[0].is = lines[0] || (type.seen > 0 && !is_none(type.value)) || (d.known && (d.light_class || (type.seen == 0 && d.light))) || by_name;
  out[1].is = lines[1] || (d.known && d.zone);
  bool unknown = false;
  for (int g = 0; g < 2; ++g) {
    Colour& c = out[g];
    if (!c.is) continue;
    c.later = g == 0 && r.generation == 2;
    std::vector<std::string> missing, from;
    for (int k = 0; k < 3; ++k) {
      const Held& h = a.held[3 * g + k];
      const std::string what = name + ": " + kNames[3 * g + k];
      const bool brightness = g == 0 && k == 2;
      bool fraction = false;
      if (h.seen > 1) {
        said.report(said.context, kTwice, h.line, what + " is given " + std::to_string(h.seen) + " times, so which holds is not certain; not read");
        c.certain = false;
      } else if (h.seen == 1 && brightness && c.later) {
        if (number_value(h.value, fraction)) c.brightness_text = h.value;
        else said.report(said.context, kValue, h.line, what + "=" + text_name(h.value) + " is not a number; not read"), c.certain = false;
      } else if (h.seen == 1 && brightness && number_value(h.value, fraction) && fraction) {
        said.report(said.context, kGeneration, h.line, what + "=" + text_name(h.value) + " is a brightness of the later engine generation, not this model's byte, "
                    "and the text is read as " + lights_game_name(r.game) + "'s (give --game=ut2004 if it is that generation's); the light is neither listed nor recoloured");
        c.certain = false;
      } else if (h.seen == 1 && !byte_value(h.value, c.value[k])) {
        said.report(said.context, kValue, h.line, what + "=" + text_name(h.value) + " is not a whole number from 0 to 255; not read");
        c.certain = false;
      } else if (h.seen == 0 && !d.known) {
        missing.push_back(kNames[3 * g + k]);
      } else if (h.seen == 0) {
        const std::string& value = d.value[1 + 3 * g + k];
        c.from_defaults = static_cast<std::uint8_t>(c.from_defaults | 1 << k);
        from.push_back(d.origin[1 + 3 * g + k].empty() ? "Object" : d.origin[1 + 3 * g + k]);
        if (brightness && c.later) c.brightness_text = value;
        else if (!byte_value(value, c.value[k])) {
          said.report(said.context, kDefaults, a.line, name + ": the default " + kNames[3 * g + k] + "=" + value + " of its class " + from.back() + " is not a byte; not read");
          c.certain = false;
        } else if (brightness && r.generation == 0) {
          r.guessed_names += r.guessed < 3 ? (r.guessed ? ", " : "") + name : r.guessed == 3 ? ", ..." : "";
          ++r.guessed;
        }
      }
      c.present[k] = h.seen > 0;
    }
    for (const std::string& f : from) c.defaults_of += (c.defaults_of.empty() ? "" : " ") + f;
    c.complete = c.certain && missing.empty();
    if (!missing.empty()) unknown = true;
    if (g == 0 && by_name) c.certain = false; // a light by its class's name alone: nothing to recolour with certainty
  }
  if (unknown && (listing || !out[r.options->ambient ? 1 : 0].certain)) {
    said.report(said.context, kUnknown, a.line, name + ": class " + text_name(a.class_name) + " is not known to " + lights_game_name(r.game) + "'s classes" +
                (d.why.find("it is not known") == 0 ? "" : " (" + d.why + ")") + "; give its .uc file as one of the mod's classes (--classes)");
  }
}

LightEntry entry_of(const Actor& a, const Colour& c, bool ambient) {
  LightEntry e{a.line, text_name(a.name), text_name(a.class_name.substr(a.class_name.rfind('.') + 1)), ambient, c.value[0], c.value[1], c.value[2], c.from_defaults, c.defaults_of, c.later, c.brightness_text};
  return e;
}

} // namespace lights_actors

bool glob_matches(const std::string& pattern, const std::string& name) {
  return lights_actors::glob(lights_actors::characters(pattern), lights_actors::characters(name));
}

} // namespace tintwise
