// The page's view of Tintwise: one run of the command line on the texts of R,
// G and B, byte for byte, with the fields of the match it found; and the
// colour a triple renders.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "driver.h"
#include "gamut.h"
#include "lights_output.h"
#include "palette_output.h"
#include "tintwise/hsb_model.h"
#include "tintwise/lights.h"

namespace {

tintwise::CommandOutput last;     // the latest run; the page reads it at once
tintwise::RenderedColour colour;  // the latest triple's colour
char rendered[48];                // and that colour as the report prints it

// The palette last read, entry by entry, and what the page asked of one.
struct Palette {
  std::string file, name; // its file, as rows name it, and its name as a palette written from it
  const char* data;
  std::size_t left;
  std::vector<tintwise::PaletteEntry> entries;
  std::unordered_map<std::uint32_t, tintwise::HsbAnswer> answers; // a colour that repeats is searched once
  tintwise::HsbAnswer answer;
  tintwise::PaletteFormat format;
  std::string text;
} palette;

// The T3D text last read: its lights, its reports, and the text given back.
struct Lights {
  std::string file, text, out;
  std::vector<tintwise::LightEntry> entries;
  std::vector<std::string> reports;
  tintwise::LightsResult result;
  std::vector<tintwise::UcClass> classes; // a mod's or a map's own, given as .uc files
  std::vector<std::string> class_reports; // what of those files could not be read
} lights;

std::string said(const std::string& file, const tintwise::LightsReport& rep) { return file + (rep.line ? ":" + std::to_string(rep.line) : "") + ": " + rep.reason; }

std::size_t read_bytes(void*, char* buf, std::size_t size) {
  const std::size_t n = size < palette.left ? size : palette.left;
  std::memcpy(buf, palette.data, n);
  palette.data += n;
  palette.left -= n;
  return n;
}

// Entry i, or an empty one for an index out of range.
const tintwise::PaletteEntry& entry_at(int i) {
  static const tintwise::PaletteEntry none{};
  return i >= 0 && static_cast<std::size_t>(i) < palette.entries.size() ? palette.entries[static_cast<std::size_t>(i)] : none;
}

// The page's inflater. The browser inflates (DecompressionStream), which is
// asynchronous, so a palette with deflated zip entries is read twice: the
// first reading asks (each entry's deflated bytes kept, in the order the
// reader asks for them), the page inflates them all, and the second reading
// is given them in that order. The reader asks the same in both, so each
// answer meets its question.
struct Inflating {
  std::vector<std::string> asked; // deflated bytes
  std::vector<std::size_t> limits;
  std::vector<std::string> given; // inflated bytes, by question
  std::vector<tintwise::Inflated> outcomes;
  std::size_t next = 0;
} inflating;

tintwise::Inflated page_inflate(void*, const unsigned char* data, std::size_t size, std::size_t limit, std::string& out) {
  const std::size_t i = inflating.next++;
  if (i < inflating.outcomes.size()) return out = inflating.given[i], inflating.outcomes[i];
  inflating.asked.emplace_back(reinterpret_cast<const char*>(data), size);
  inflating.limits.push_back(limit);
  return tintwise::Inflated::unavailable;
}

bool keep_entry(void*, const tintwise::PaletteEntry& entry) {
  palette.entries.push_back(entry);
  return true;
}

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
// rendered colour ("(187.2, 86.3, 64.1)"), or null for a triple out of range;
// a hue of 255, which the editor writes, renders as hue 0.
// Channel i (0..2) of it on the byte scale through tintwise_rendered_channel.
EMSCRIPTEN_KEEPALIVE const char* tintwise_render(int hue, int saturation, int brightness) {
  if (hue < 0 || hue > tintwise::kHueSteps || saturation < 0 || saturation >= tintwise::kSaturationSteps ||
      brightness < 0 || brightness >= tintwise::kBrightnessSteps) {
    return nullptr;
  }
  colour = tintwise::render_hsb(hue % tintwise::kHueSteps, saturation, brightness);
  tintwise::format_rendered(colour.red, colour.green, colour.blue, rendered, sizeof rendered);
  return rendered;
}

// The chart tintwise-gamut draws (hue across; saturation down at brightness
// `fixed`, or brightness down at saturation `fixed`), in cells `cell` pixels
// square: its pixels, 3 bytes each; the picture's size and where its cells
// begin through tintwise_chart_layout (0 width, 1 height, 2 left, 3 top).
tintwise::ChartPicture chart;
EMSCRIPTEN_KEEPALIVE const unsigned char* tintwise_chart(int brightness_down, int fixed, int cell) {
  tintwise::Chart c;
  if (!tintwise::make_chart({brightness_down != 0, fixed, 1, 1}, c) || cell < 1 || cell > 32) return nullptr;
  chart = tintwise::draw_chart(c, cell);
  return chart.rgb.data();
}

EMSCRIPTEN_KEEPALIVE int tintwise_chart_layout(int what) {
  const int values[] = {chart.width, chart.height, chart.left, chart.top};
  return what >= 0 && what < 4 ? values[what] : 0;
}

EMSCRIPTEN_KEEPALIVE double tintwise_rendered_channel(int i) {
  return static_cast<double>(i == 0 ? colour.red : i == 1 ? colour.green : colour.blue) * 255.0;
}

// Reads a palette file (its bytes, `length` of them) through the same reader
// as tintwise-palette, in find mode if `find` is set, a colour table as a VGA
// palette if `vga` is; `file` names it in the rows, and, with `named`, the
// palettes written from it (as tintwise-palette names them). Returns the number of
// entries; tintwise_palette_format() then names the format, and
// tintwise_inflate_asked() says how many deflated entries the reader asked
// to have inflated (to be given before the same file is read again).
EMSCRIPTEN_KEEPALIVE int tintwise_palette_read(const char* data, int length, const char* file, int find, int vga, int named) {
  palette.file = file;
  palette.name = named ? tintwise::palette_name(file) : "";
  palette.data = data;
  palette.left = length > 0 ? static_cast<std::size_t>(length) : 0;
  palette.entries.clear();
  palette.answers.clear();
  inflating.asked.clear();
  inflating.limits.clear();
  inflating.next = 0;
  tintwise::PaletteOptions options;
  options.mode = find ? tintwise::PaletteMode::find : tintwise::PaletteMode::palette;
  options.vga = vga != 0;
  options.inflate = page_inflate;
  palette.format = tintwise::read_palette({read_bytes, nullptr, nullptr}, keep_entry, nullptr, options);
  return static_cast<int>(palette.entries.size());
}

// The deflated entries the last reading asked for: how many, and of each its
// bytes, their size and the most it may inflate to.
EMSCRIPTEN_KEEPALIVE int tintwise_inflate_asked() { return static_cast<int>(inflating.asked.size()); }
EMSCRIPTEN_KEEPALIVE const char* tintwise_inflate_data(int i) { return inflating.asked[static_cast<std::size_t>(i)].data(); }
EMSCRIPTEN_KEEPALIVE double tintwise_inflate_size(int i) { return static_cast<double>(inflating.asked[static_cast<std::size_t>(i)].size()); }
EMSCRIPTEN_KEEPALIVE double tintwise_inflate_limit(int i) { return static_cast<double>(inflating.limits[static_cast<std::size_t>(i)]); }

// The answer to question i: `outcome` an Inflated (0 done, 1 corrupt, 2 too
// large, 3 unavailable), with the inflated bytes when done. Answers are kept
// for the next reading; forgotten with tintwise_inflate_forget().
EMSCRIPTEN_KEEPALIVE void tintwise_inflate_give(int i, int outcome, const char* data, int length) {
  const auto at = static_cast<std::size_t>(i);
  if (inflating.outcomes.size() <= at) {
    inflating.outcomes.resize(at + 1, tintwise::Inflated::unavailable);
    inflating.given.resize(at + 1);
  }
  inflating.outcomes[at] = static_cast<tintwise::Inflated>(outcome);
  inflating.given[at].assign(data, length > 0 ? static_cast<std::size_t>(length) : 0);
}

EMSCRIPTEN_KEEPALIVE void tintwise_inflate_forget() {
  inflating.given.clear();
  inflating.outcomes.clear();
}

// The format of the palette last read, by name ("gif", "not a palette").
EMSCRIPTEN_KEEPALIVE const char* tintwise_palette_format() { return tintwise::palette_format_name(palette.format); }

// Converts entry i; returns 1 if it is a colour, 0 if it could not be read.
EMSCRIPTEN_KEEPALIVE int tintwise_palette_entry(int i) {
  const tintwise::PaletteEntry& e = entry_at(i);
  if (!e.read) return 0;
  const std::uint32_t rgb = static_cast<std::uint32_t>(e.red << 16 | e.green << 8 | e.blue);
  const auto known = palette.answers.find(rgb);
  if (known != palette.answers.end()) {
    palette.answer = known->second;
  } else {
    tintwise::find_best_hsb_answer(palette.answer, e.red, e.green, e.blue);
    palette.answers.emplace(rgb, palette.answer);
  }
  return 1;
}

// Of entry i, converted: `what` 0..3 its CSV, JSON Lines and GIMP palette
// rows and its aligned text row, exactly as tintwise-palette writes them;
// 4 the colour its match renders, "#rrggbb"; 5 its name; 6 its reason.
EMSCRIPTEN_KEEPALIVE const char* tintwise_palette_text(int i, int what) {
  const tintwise::PaletteEntry& e = entry_at(i);
  palette.text.clear();
  if (what <= 3) {
    const tintwise::OutputSpec spec{static_cast<tintwise::OutputFormat>(what), {}};
    tintwise::append_row(spec, palette.file, e, palette.answer, palette.text);
  } else if (what == 4) {
    tintwise::append_rendered_hex(palette.answer.match, palette.text);
  } else {
    palette.text = what == 5 ? e.name : e.reason;
  }
  return palette.text.c_str();
}

// What comes before the rows of format `what` (as above).
EMSCRIPTEN_KEEPALIVE const char* tintwise_palette_header(int what) {
  palette.text = tintwise::output_header({static_cast<tintwise::OutputFormat>(what), {}}, palette.name);
  return palette.text.c_str();
}

// Entry i's place and, converted, its input colour and match: `what` 0 its
// line, block or index, 1..3 red, green, blue, 4..6 hue, saturation,
// brightness, 7 what its place counts (a PaletteUnit: 0 line, 1 block,
// 2 index, 3 the whole file).
EMSCRIPTEN_KEEPALIVE double tintwise_palette_number(int i, int what) {
  const tintwise::PaletteEntry& e = entry_at(i);
  const tintwise::HsbMatch& m = palette.answer.match;
  switch (what) {
    case 0: return static_cast<double>(e.line);
    case 1: return e.red;
    case 2: return e.green;
    case 3: return e.blue;
    case 4: return m.hue;
    case 5: return m.saturation;
    case 6: return m.brightness;
    default: return static_cast<double>(e.unit);
  }
}

// The palette last read as a swatch file of format `what` (an OutputFormat,
// 5 ase to 11 swatches), byte for byte what tintwise-palette writes for it:
// the colours its entries' triples render (every entry the page converted).
// Its length through tintwise_palette_text_size().
EMSCRIPTEN_KEEPALIVE const char* tintwise_palette_swatches(int what) {
  std::vector<tintwise::Swatch> swatches;
  for (const tintwise::PaletteEntry& e : palette.entries) {
    const auto known = palette.answers.find(static_cast<std::uint32_t>(e.red << 16 | e.green << 8 | e.blue));
    if (e.read && known != palette.answers.end()) swatches.push_back(tintwise::swatch_of(e, known->second));
  }
  std::size_t kept;
  palette.text = tintwise::swatch_file(static_cast<tintwise::OutputFormat>(what), swatches, kept, palette.name);
  return palette.text.data();
}

EMSCRIPTEN_KEEPALIVE int tintwise_palette_text_size() { return static_cast<int>(palette.text.size()); }

// The nearest triples of `n` colours (0xRRGGBB each), as tintwise-palette
// answers them: for each, the colour its triple renders (its rendered_hex, as
// 0xRRGGBB) and its distance (the figure the tool prints, as a number). The
// page's workers answer a picture's distinct colours this way, in batches.
EMSCRIPTEN_KEEPALIVE void tintwise_nearest_batch(const std::uint32_t* colours, int n, std::uint32_t* renders, double* distance) {
  tintwise::HsbAnswer answer;
  for (int i = 0; i < n; ++i) {
    const std::uint32_t c = colours[i];
    tintwise::find_best_hsb_answer(answer, static_cast<std::int32_t>(c >> 16 & 255), static_cast<std::int32_t>(c >> 8 & 255), static_cast<std::int32_t>(c & 255));
    renders[i] = tintwise::rendered_rgb(answer.match);
    distance[i] = std::strtod(answer.distance, nullptr);
  }
}

// The distance of entry i's match, as the tool prints it.
EMSCRIPTEN_KEEPALIVE const char* tintwise_palette_distance() { return palette.answer.distance; }

// A class of a mod or a map, a .uc file's bytes (`file` names it in the
// reports), taken as tintwise-lights --classes takes one; returns 1 where it
// declares a class. Forgotten with tintwise_lights_classes_clear().
EMSCRIPTEN_KEEPALIVE int tintwise_lights_class(const char* data, int length, const char* file) {
  std::vector<tintwise::LightsReport> reports;
  const bool added = tintwise::add_uc_class(std::string(data, length > 0 ? static_cast<std::size_t>(length) : 0), file, lights.classes, reports);
  for (const tintwise::LightsReport& r : reports) lights.class_reports.push_back(said(file, r));
  return added ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void tintwise_lights_classes_clear() {
  lights.classes.clear();
  lights.class_reports.clear();
}

// T3D text (its bytes, `length` of them; `file` names it in the reports)
// through the same reader as tintwise-lights: listed, or with `recolour`
// given back with its lights (or, with `ambient`, its zones' ambient lights)
// recoloured to the triple `Tintwise R G B` gives (with `recolour` 2, to the
// triple R G B itself), all of it or with `keep`
// its hue and saturation, in the actors whose Name or Tag matches `only`.
// `game` is a LightsGame, or -1 for none given; the classes given come first.
// Returns how many lights it lists; the reports, as tintwise-lights writes
// them (the classes' first), through tintwise_lights_report(i), the text
// through tintwise_lights_bytes() and tintwise_palette_text_size().
EMSCRIPTEN_KEEPALIVE int tintwise_lights(const char* data, int length, const char* file, int recolour, int r, int g, int b, int keep, int ambient, const char* only,
                                         int game) {
  lights.file = file;
  lights.entries.clear();
  lights.reports = lights.class_reports;
  for (const tintwise::UcClass& c : lights.classes) {
    const std::string why = tintwise::unresolved_class(c.name, lights.classes, static_cast<tintwise::LightsGame>(game >= 0 ? game : 1));
    if (!why.empty()) lights.reports.push_back(said(c.file, {c.line, why}));
  }
  lights.out.clear();
  palette.data = data;
  palette.left = length > 0 ? static_cast<std::size_t>(length) : 0;
  tintwise::HsbMatch match{r, g, b, 0, 0, 0}; // recolour 2: r, g and b are the triple itself (chosen on the chart)
  if (recolour == 1) tintwise::find_best_hsb(match, r, g, b, false);
  const tintwise::LightsRecolour how{recolour != 0, static_cast<std::uint8_t>(match.hue), static_cast<std::uint8_t>(match.saturation),
                                     static_cast<std::uint8_t>(match.brightness), keep != 0, ambient != 0, only, game, lights.classes};
  const tintwise::LightsSink sink{[](void*, const tintwise::LightEntry& e) { lights.entries.push_back(e); },
                                  [](void*, const tintwise::LightsReport& rep) { lights.reports.push_back(said(lights.file, rep)); },
                                  [](void*, const char* bytes, std::size_t n) { return lights.out.append(bytes, n), true; }, nullptr};
  lights.result = tintwise::read_lights({read_bytes, nullptr}, how, sink);
  return static_cast<int>(lights.entries.size());
}

// Of the last reading: 0 the lights (or zones) recoloured, 1 the actors
// `only` chose, lights or not, 2 whether it was a map package (1), which is
// never recoloured.
EMSCRIPTEN_KEEPALIVE double tintwise_lights_counted(int what) {
  return static_cast<double>(what == 0 ? lights.result.changed : what == 1 ? lights.result.matched : lights.result.package);
}

EMSCRIPTEN_KEEPALIVE int tintwise_lights_reports() { return static_cast<int>(lights.reports.size()); }
EMSCRIPTEN_KEEPALIVE const char* tintwise_lights_report(int i) { return lights.reports[static_cast<std::size_t>(i)].c_str(); }
EMSCRIPTEN_KEEPALIVE const char* tintwise_lights_bytes() { return lights.out.data(); }
EMSCRIPTEN_KEEPALIVE int tintwise_lights_size() { return static_cast<int>(lights.out.size()); }

// Of light i: `what` 0 its actor, 1 its class, 2 its property ("light" or
// "ambient"), 3 the colour its triple renders, "#rrggbb" (none for a light of
// the later generation), 4 its brightness as listed (that generation's as
// written); its numbers through tintwise_lights_number (0 line, 1 hue,
// 2 saturation, 3 brightness).
EMSCRIPTEN_KEEPALIVE const char* tintwise_lights_text(int i, int what) {
  const tintwise::LightEntry& e = lights.entries[static_cast<std::size_t>(i)];
  lights.text.clear();
  if (what == 3 && !e.later) tintwise::append_hex_rgb(tintwise::light_rgb(e), lights.text);
  else if (what == 4) lights.text = e.later ? e.brightness_text : std::to_string(e.brightness);
  else if (what < 3) lights.text = what == 0 ? e.actor : what == 1 ? e.class_name : e.ambient ? "ambient" : "light";
  return lights.text.c_str();
}

EMSCRIPTEN_KEEPALIVE double tintwise_lights_number(int i, int what) {
  const tintwise::LightEntry& e = lights.entries[static_cast<std::size_t>(i)];
  return what == 0 ? static_cast<double>(e.line) : what == 1 ? e.hue : what == 2 ? e.saturation : e.brightness;
}

} // extern "C"
