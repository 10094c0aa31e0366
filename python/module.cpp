// The library's view from Python, under the package `tintwise`, which checks
// every argument first (python/tintwise/__init__.py) and hands this module
// only values in range. No logic of its own: the search, the tool's text,
// the rendered colour and the palette reader are the library's.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "gamut.h"
#include "lights_output.h"
#include "palette_output.h"
#include "tintwise/hsb_model.h"
#include "tintwise/lights.h"
#include "tintwise/palette.h"
#ifdef TINTWISE_HAVE_ZLIB
#include "tintwise/palette_zlib.h"
#endif

namespace py = pybind11;

namespace {

// The colour a match renders to the nearest byte, "#rrggbb", as tintwise-palette writes it.
std::string rendered_hex(const tintwise::HsbMatch& match) {
  std::string hex;
  tintwise::append_rendered_hex(match, hex);
  return hex;
}

// One colour: the match, the distance the search found, the rendered colour
// (as single-precision channels on the unit scale, and to the nearest byte),
// and the bytes `Tintwise R G B` writes.
py::tuple nearest(int r, int g, int b) {
  tintwise::HsbAnswer answer;
  tintwise::CommandOutput out;
  {
    py::gil_scoped_release free;
    tintwise::find_best_hsb_answer(answer, r, g, b);
    const std::string args[] = {std::to_string(r), std::to_string(g), std::to_string(b)};
    const char* const argv[] = {"Tintwise", args[0].c_str(), args[1].c_str(), args[2].c_str()};
    tintwise::run_command(4, argv, out);
  }
  const tintwise::HsbMatch& m = answer.match;
  return py::make_tuple(m.hue, m.saturation, m.brightness, answer.rgb_distance, py::make_tuple(m.red, m.green, m.blue),
                        rendered_hex(m), std::string(out.text, out.length));
}

// Many colours (an N x 3 array of bytes): each distinct colour is searched
// once, in batches spread over `jobs` threads with the GIL released; between
// batches Python may raise (Ctrl-C). Returns hue, saturation, brightness,
// distance and rendered, each an array in the colours' order.
py::tuple nearest_many(py::array_t<std::uint8_t, py::array::c_style> colours, unsigned jobs) {
  const py::ssize_t count = colours.shape(0);
  const auto n = static_cast<std::size_t>(count);
  py::array_t<std::int32_t> hue(count), saturation(count), brightness(count);
  py::array_t<double> distance(count);
  py::array_t<float> rendered({n, std::size_t{3}});
  std::vector<std::uint32_t> keys(n), distinct;
  std::vector<std::size_t> slot(n); // each colour's place in `distinct`
  {
    py::gil_scoped_release free;
    const std::uint8_t* c = colours.data();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) {
      keys[i] = static_cast<std::uint32_t>(c[3 * i] << 16 | c[3 * i + 1] << 8 | c[3 * i + 2]);
      order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    for (const std::size_t i : order) {
      if (distinct.empty() || distinct.back() != keys[i]) distinct.push_back(keys[i]);
      slot[i] = distinct.size() - 1;
    }
  }
  std::vector<tintwise::HsbAnswer> answers(distinct.size());
  constexpr std::size_t kBatch = 1 << 14, kChunk = 64;
  for (std::size_t start = 0; start < distinct.size(); start += kBatch) {
    const std::size_t end = std::min(distinct.size(), start + kBatch);
    {
      py::gil_scoped_release free;
      std::atomic<std::size_t> next{start};
      const auto work = [&] {
        for (std::size_t from; (from = next.fetch_add(kChunk)) < end;) {
          for (std::size_t i = from; i < std::min(end, from + kChunk); ++i) {
            const std::uint32_t k = distinct[i];
            tintwise::find_best_hsb_answer(answers[i], static_cast<std::int32_t>(k >> 16), static_cast<std::int32_t>(k >> 8 & 255),
                                           static_cast<std::int32_t>(k & 255));
          }
        }
      };
      std::vector<std::thread> threads;
      for (unsigned t = 1; t < jobs; ++t) threads.emplace_back(work);
      work();
      for (std::thread& t : threads) t.join();
    }
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  }
  auto h = hue.mutable_unchecked<1>(), s = saturation.mutable_unchecked<1>(), v = brightness.mutable_unchecked<1>();
  auto d = distance.mutable_unchecked<1>();
  auto out = rendered.mutable_unchecked<2>();
  for (std::size_t i = 0; i < n; ++i) {
    const tintwise::HsbAnswer& a = answers[slot[i]];
    const auto k = static_cast<py::ssize_t>(i);
    h(k) = a.match.hue, s(k) = a.match.saturation, v(k) = a.match.brightness, d(k) = a.rgb_distance;
    out(k, 0) = a.match.red, out(k, 1) = a.match.green, out(k, 2) = a.match.blue;
  }
  return py::make_tuple(hue, saturation, brightness, distance, rendered);
}

// The colour a triple renders: its channels on the unit scale, and to the
// nearest byte as hex.
py::tuple render(int hue, int saturation, int brightness) {
  const tintwise::RenderedColour c = tintwise::render_hsb(hue, saturation, brightness);
  return py::make_tuple(c.red, c.green, c.blue, rendered_hex({hue, saturation, brightness, c.red, c.green, c.blue}));
}

struct Bytes {
  const char* data;
  std::size_t left;
};

// The readers' source over Bytes: what is left of them, in pieces of any size.
std::size_t read_bytes(void* context, char* buf, std::size_t size) {
  Bytes& b = *static_cast<Bytes*>(context);
  const std::size_t n = std::min(size, b.left);
  std::memcpy(buf, b.data, n);
  b.data += n, b.left -= n;
  return n;
}

// A palette's bytes through the reader: each entry as (line, unit, name, rgb
// or None, reason or None), and the format found.
py::tuple read_palette(const py::bytes& data, bool find, bool vga) {
  const std::string bytes = data;
  Bytes source{bytes.data(), bytes.size()};
  std::vector<tintwise::PaletteEntry> entries;
  const auto keep = [](void* context, const tintwise::PaletteEntry& e) {
    static_cast<std::vector<tintwise::PaletteEntry>*>(context)->push_back(e);
    return true;
  };
  tintwise::PaletteFormat format;
  {
    py::gil_scoped_release free;
    tintwise::PaletteOptions options;
#ifdef TINTWISE_HAVE_ZLIB
    options.inflate = tintwise::zlib_inflate;
#endif
    options.mode = find ? tintwise::PaletteMode::find : tintwise::PaletteMode::palette;
    options.vga = vga;
    format = tintwise::read_palette({read_bytes, &source, nullptr}, keep, &entries, options);
  }
  const char* const units[] = {"line", "block", "index", "file"};
  py::list out;
  for (const tintwise::PaletteEntry& e : entries) {
    out.append(py::make_tuple(e.line, units[static_cast<int>(e.unit)], e.name,
                              e.read ? py::object(py::make_tuple(e.red, e.green, e.blue)) : py::object(py::none()),
                              e.read ? py::object(py::none()) : py::object(py::str(e.reason))));
  }
  return py::make_tuple(out, tintwise::palette_format_name(format));
}

// T3D text through the lights' reader: listed, its entries as (line, actor,
// class, property, hue, saturation, brightness, rendered_hex, from_defaults)
// and its reports as (line, reason); or recoloured to a triple, the text's
// bytes back and its reports; then how many lights were recoloured, how
// many actors `only` chose, what the classes given (each a file's name and
// its .uc bytes) could not be read as, "FILE:LINE: reason", and whether the
// bytes were a map package (which is never recoloured).
py::tuple lights(const py::bytes& data, bool recolour, int hue, int saturation, int brightness, bool keep, bool ambient, const std::string& only, int game,
                 const std::vector<std::pair<std::string, py::bytes>>& classes) {
  struct Found {
    Bytes source;
    std::string text;
    std::vector<tintwise::LightEntry> found;
    std::vector<tintwise::LightsReport> said;
  };
  const std::string bytes = data;
  Found f{{bytes.data(), bytes.size()}, {}, {}, {}};
  py::list entries, reports;
  const tintwise::LightsSink sink{[](void* c, const tintwise::LightEntry& e) { static_cast<Found*>(c)->found.push_back(e); },
                                  [](void* c, const tintwise::LightsReport& r) { static_cast<Found*>(c)->said.push_back(r); },
                                  recolour ? +[](void* c, const char* b, std::size_t n) { return static_cast<Found*>(c)->text.append(b, n), true; } : nullptr, &f};
  tintwise::LightsRecolour how{recolour, static_cast<std::uint8_t>(hue), static_cast<std::uint8_t>(saturation), static_cast<std::uint8_t>(brightness), keep, ambient, only, game};
  py::list class_reports;
  const auto said = [&class_reports](const std::string& file, const tintwise::LightsReport& r) {
    class_reports.append(file + (r.line ? ":" + std::to_string(r.line) : "") + ": " + r.reason);
  };
  for (const auto& [file, uc] : classes) {
    std::vector<tintwise::LightsReport> problems;
    tintwise::add_uc_class(uc, file, how.classes, problems);
    for (const tintwise::LightsReport& r : problems) said(file, r);
  }
  for (const tintwise::UcClass& c : how.classes) { // each resolves up to a class the game knows, or is said to not
    const std::string why = tintwise::unresolved_class(c.name, how.classes, static_cast<tintwise::LightsGame>(game >= 0 ? game : 1));
    if (!why.empty()) said(c.file, {c.line, why});
  }
  tintwise::LightsResult result;
  {
    py::gil_scoped_release free;
    result = tintwise::read_lights({read_bytes, &f.source}, how, sink);
  }
  for (const tintwise::LightEntry& e : f.found) {
    std::string hex, defaults;
    tintwise::append_hex_rgb(tintwise::light_rgb(e), hex);
    const tintwise::OutputSpec only_defaults{tintwise::OutputFormat::custom, "{from_defaults}"};
    tintwise::append_light_row(only_defaults, "", e, defaults);
    defaults.pop_back(); // the template's line end
    // The later generation's brightness as written, and no colour rendered from it.
    const py::object bright = e.later ? py::object(py::str(e.brightness_text)) : py::object(py::int_(e.brightness));
    const py::object rendered = e.later ? py::object(py::none()) : py::object(py::str(hex));
    entries.append(py::make_tuple(e.line, e.actor, e.class_name, e.ambient ? "ambient" : "light", e.hue, e.saturation, bright, rendered, defaults, e.defaults_of));
  }
  for (const tintwise::LightsReport& r : f.said) reports.append(py::make_tuple(r.line, r.reason));
  return py::make_tuple(entries, reports, py::bytes(f.text), result.changed, result.matched, class_reports, result.package);
}

// The chart's cells: a (rows, columns, 3) array of bytes, the colours the
// pictures of tintwise-gamut show (with each column's hue and each row's
// saturation or brightness, which the tests read).
py::tuple chart(bool brightness_down, int fixed, int hue_step, int step) {
  tintwise::Chart c;
  tintwise::make_chart({brightness_down, fixed, hue_step, step}, c);
  py::array_t<std::uint8_t> colours({c.downs.size(), c.hues.size(), std::size_t{3}});
  std::uint8_t* out = colours.mutable_data();
  for (const std::uint32_t rgb : c.rgb) {
    *out++ = static_cast<std::uint8_t>(rgb >> 16), *out++ = static_cast<std::uint8_t>(rgb >> 8), *out++ = static_cast<std::uint8_t>(rgb);
  }
  return py::make_tuple(colours, c.hues, c.downs);
}

// A lookup table of `size` points an axis, indexed [r, g, b]: what the
// search holds as each point's rendered colour, the numbers of the .cube.
py::array_t<float> lut(int size, unsigned jobs) {
  const auto n = static_cast<std::size_t>(size);
  py::array_t<float> table({n, n, n, std::size_t{3}});
  struct Into {
    float* data;
    std::size_t n;
  } into{table.mutable_data(), n};
  {
    py::gil_scoped_release free;
    tintwise::search_lut(size, jobs, [](void* context, std::size_t p, const tintwise::HsbMatch& m) {
      const Into& t = *static_cast<Into*>(context);
      const std::size_t r = p % t.n, g = p / t.n % t.n, b = p / t.n / t.n; // points count red fastest; the array is [r, g, b]
      float* c = t.data + ((r * t.n + g) * t.n + b) * 3;
      c[0] = m.red, c[1] = m.green, c[2] = m.blue;
    }, &into);
  }
  return table;
}

} // namespace

PYBIND11_MODULE(_tintwise, m) {
  m.doc() = "The Tintwise library itself; use the package tintwise, which checks its arguments.";
  m.attr("__version__") = TINTWISE_VERSION;
  m.def("nearest", &nearest);
  m.def("nearest_many", &nearest_many);
  m.def("render", &render);
  m.def("read_palette", &read_palette);
  m.def("lights", &lights);
  m.def("chart", &chart);
  m.def("lut", &lut);
}
