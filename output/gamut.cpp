#include "gamut.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tintwise/hsb_model.h"

namespace tintwise {

namespace {

const char* const kDownNames[] = {"LightSaturation", "LightBrightness"};

// Values from 0 by `step` up to `last`, and `last` itself where the step
// passes it by (when `end` is set).
std::vector<int> axis(int step, int last, bool end) {
  std::vector<int> values;
  for (int v = 0; v <= last; v += step) values.push_back(v);
  if (end && values.back() != last) values.push_back(last);
  return values;
}

// --- Drawing: a 5 × 7 pixel font of the labels' characters ----------------------

struct Glyph {
  char c;
  unsigned char rows[7]; // bit 4 the leftmost pixel
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}},
    {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
};

// The chart's geometry, the same in PNG and SVG: `scale` the font's pixel
// size, labels every `every` cells (a power of two, at least 40 font pixels
// apart, so that three digits never touch).
struct Layout {
  int scale, every, left, top, width, height, title_y, labels_y;
};

Layout layout_of(const Chart& chart, int cell) {
  Layout l{};
  l.scale = cell >= 8 ? 2 : 1;
  const int s = l.scale, margin = 8 * s;
  l.every = 1;
  while (l.every * cell < 40 * s) l.every *= 2;
  l.title_y = margin;
  l.labels_y = l.title_y + 7 * s + 8 * s;
  l.top = l.labels_y + 7 * s + 6 * s;
  l.left = margin + 3 * 6 * s + 6 * s;
  const int title_width = static_cast<int>(chart_title(chart.spec).size()) * 6 * s;
  const int grid_right = l.left + static_cast<int>(chart.hues.size()) * cell + 9 * s; // room for a last label's overhang
  l.width = std::max(grid_right, margin + title_width) + margin;
  l.height = l.top + static_cast<int>(chart.downs.size()) * cell + margin;
  return l;
}

// Whether column (or row) i of n is labelled: every `every`-th, and the last
// where it lies far enough from the one before.
bool labelled(std::size_t i, std::size_t n, int every) {
  if (i % static_cast<std::size_t>(every) == 0) return true;
  return i + 1 == n && i % static_cast<std::size_t>(every) >= static_cast<std::size_t>(every) / 2 + 1;
}

void fill(ChartPicture& p, int x, int y, int w, int h, std::uint32_t rgb) {
  for (int row = y; row < y + h; ++row) {
    for (int col = x; col < x + w; ++col) {
      unsigned char* px = &p.rgb[(static_cast<std::size_t>(row) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(col)) * 3];
      px[0] = static_cast<unsigned char>(rgb >> 16);
      px[1] = static_cast<unsigned char>(rgb >> 8);
      px[2] = static_cast<unsigned char>(rgb);
    }
  }
}

void draw_text(ChartPicture& p, int x, int y, int s, const std::string& text) {
  for (char c : text) {
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    for (const Glyph& g : kGlyphs) {
      if (g.c != upper) continue;
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (g.rows[row] >> (4 - col) & 1) fill(p, x + col * s, y + row * s, s, s, 0x000000);
        }
      }
    }
    x += 6 * s;
  }
}

int text_width(const std::string& text, int s) { return static_cast<int>(text.size()) * 6 * s - s; }

// --- PNG --------------------------------------------------------------------------

std::uint32_t crc32(const unsigned char* p, std::size_t n, std::uint32_t crc = 0) {
  static std::uint32_t table[256];
  if (table[1] == 0) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  }
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 255] ^ (crc >> 8);
  return ~crc;
}

void put32(std::string& out, std::uint32_t v) {
  const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
  out.append(b, 4);
}

void chunk(std::string& out, const char* type, const std::string& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out += type;
  out += data;
  put32(out, crc32(reinterpret_cast<const unsigned char*>(out.data() + start), out.size() - start));
}

// A zlib stream of stored blocks (RFC 1950, RFC 1951 section 3.2.4): no
// compression, for builds without zlib.
std::string stored_stream(const std::string& raw) {
  std::string z = "\x78\x01";
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(raw.size() - at, 65535);
    z += static_cast<char>(at + n == raw.size() ? 1 : 0);
    const char len[4] = {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(~n), static_cast<char>(~n >> 8)};
    z.append(len, 4);
    z.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1, b = 0; // Adler-32
  for (char c : raw) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  put32(z, b << 16 | a);
  return z;
}

// A single in the fewest significant digits that read back as itself:
// std::to_chars's shortest form where the library has it for floats (the
// programs'), else by trying each count of digits (Emscripten's library,
// whose page writes no table).
void append_single(std::string& out, float v) {
  char text[32];
#if defined(__cpp_lib_to_chars)
  out.append(text, static_cast<std::size_t>(std::to_chars(text, text + sizeof text, v).ptr - text));
#else
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
    if (std::strtof(text, nullptr) == v) break;
  }
  out += text;
#endif
}

} // namespace

// --- The chart --------------------------------------------------------------------

bool make_chart(const ChartSpec& spec, Chart& chart) {
  if (spec.hue_step < 1 || spec.hue_step > 255 || spec.step < 1 || spec.step > 255 || spec.fixed < 0 || spec.fixed > 255) return false;
  chart.spec = spec;
  chart.hues = axis(spec.hue_step, kHueSteps - 1, false);
  chart.downs = axis(spec.step, 255, true);
  chart.rgb.clear();
  int t[3];
  for (std::size_t row = 0; row < chart.downs.size(); ++row) {
    for (std::size_t column = 0; column < chart.hues.size(); ++column) {
      cell_triple(chart, column, row, t);
      chart.rgb.push_back(triple_rgb(t[0], t[1], t[2]));
    }
  }
  return true;
}

void cell_triple(const Chart& chart, std::size_t column, std::size_t row, int triple[3]) {
  triple[0] = chart.hues[column];
  triple[1] = chart.spec.brightness_down ? chart.spec.fixed : chart.downs[row];
  triple[2] = chart.spec.brightness_down ? chart.downs[row] : chart.spec.fixed;
}

std::string chart_title(const ChartSpec& spec) {
  return std::string("LightHue across, ") + kDownNames[spec.brightness_down] + " down, " +
         kDownNames[!spec.brightness_down] + " " + std::to_string(spec.fixed);
}

std::string chart_palette_name(const ChartSpec& spec) {
  return std::string("Tintwise lights at ") + kDownNames[!spec.brightness_down] + " " + std::to_string(spec.fixed);
}

ChartPicture draw_chart(const Chart& chart, int cell) {
  const Layout l = layout_of(chart, cell);
  const int s = l.scale;
  ChartPicture p;
  p.width = l.width;
  p.height = l.height;
  p.left = l.left;
  p.top = l.top;
  p.cell = cell;
  p.rgb.assign(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) * 3, 255);
  draw_text(p, 8 * s, l.title_y, s, chart_title(chart.spec));
  const std::size_t columns = chart.hues.size(), rows = chart.downs.size();
  for (std::size_t c = 0; c < columns; ++c) {
    if (!labelled(c, columns, l.every)) continue;
    const std::string label = std::to_string(chart.hues[c]);
    const int centre = l.left + static_cast<int>(c) * cell + cell / 2;
    draw_text(p, centre - text_width(label, s) / 2, l.labels_y, s, label);
    fill(p, centre, l.top - 4 * s, 1, 3 * s, 0x000000);
  }
  for (std::size_t r = 0; r < rows; ++r) {
    if (!labelled(r, rows, l.every)) continue;
    const std::string label = std::to_string(chart.downs[r]);
    const int middle = l.top + static_cast<int>(r) * cell + cell / 2;
    draw_text(p, l.left - 5 * s - text_width(label, s), middle - 7 * s / 2, s, label);
    fill(p, l.left - 4 * s, middle, 3 * s, 1, 0x000000);
  }
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      fill(p, l.left + static_cast<int>(c) * cell, l.top + static_cast<int>(r) * cell, cell, cell, chart.rgb[r * columns + c]);
    }
  }
  return p;
}

std::string chart_svg(const Chart& chart, int cell) {
  const Layout l = layout_of(chart, cell);
  const int s = l.scale;
  char buf[256];
  std::snprintf(buf, sizeof buf,
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n"
                "<rect width=\"%d\" height=\"%d\" fill=\"#ffffff\"/>\n"
                "<g font-family=\"monospace\" font-size=\"%d\" fill=\"#000000\">\n",
                l.width, l.height, l.width, l.height, l.width, l.height, 9 * s);
  std::string out = buf;
  std::snprintf(buf, sizeof buf, "<text x=\"%d\" y=\"%d\">", 8 * s, l.title_y + 7 * s);
  out += buf + chart_title(chart.spec) + "</text>\n";
  const std::size_t columns = chart.hues.size(), rows = chart.downs.size();
  for (std::size_t c = 0; c < columns; ++c) {
    if (!labelled(c, columns, l.every)) continue;
    const int centre = l.left + static_cast<int>(c) * cell + cell / 2;
    std::snprintf(buf, sizeof buf, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">%d</text><rect x=\"%d\" y=\"%d\" width=\"1\" height=\"%d\"/>\n",
                  centre, l.labels_y + 7 * s, chart.hues[c], centre, l.top - 4 * s, 3 * s);
    out += buf;
  }
  for (std::size_t r = 0; r < rows; ++r) {
    if (!labelled(r, rows, l.every)) continue;
    const int middle = l.top + static_cast<int>(r) * cell + cell / 2;
    std::snprintf(buf, sizeof buf, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%d</text><rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\"/>\n",
                  l.left - 5 * s, middle + 7 * s / 2, chart.downs[r], l.left - 4 * s, middle, 3 * s);
    out += buf;
  }
  out += "</g>\n<g shape-rendering=\"crispEdges\">\n";
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns;) {
      const std::uint32_t rgb = chart.rgb[r * columns + c];
      std::size_t end = c + 1;
      while (end < columns && chart.rgb[r * columns + end] == rgb) ++end;
      std::snprintf(buf, sizeof buf, "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"", l.left + static_cast<int>(c) * cell,
                    l.top + static_cast<int>(r) * cell, static_cast<int>(end - c) * cell, cell);
      out += buf;
      append_hex_rgb(rgb, out);
      out += "\"/>\n";
      c = end;
    }
  }
  out += "</g>\n</svg>\n";
  return out;
}

std::vector<Swatch> chart_swatches(const Chart& chart) {
  std::vector<Swatch> swatches;
  int t[3];
  for (std::size_t r = 0; r < chart.downs.size(); ++r) {
    for (std::size_t c = 0; c < chart.hues.size(); ++c) {
      cell_triple(chart, c, r, t);
      swatches.push_back({chart.rgb[r * chart.hues.size() + c], std::to_string(t[0]) + " " + std::to_string(t[1]) + " " + std::to_string(t[2])});
    }
  }
  return swatches;
}

// --- PNG --------------------------------------------------------------------------

std::string png_file(int width, int height, const unsigned char* rgb, Deflate deflate) {
  const std::size_t row = static_cast<std::size_t>(width) * 3;
  std::string raw;
  raw.reserve((row + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw += '\0'; // filter type 0: the row as it is
    raw.append(reinterpret_cast<const char*>(rgb) + static_cast<std::size_t>(y) * row, row);
  }
  std::string stream;
  if (!deflate || !deflate(raw, stream)) stream = stored_stream(raw);
  raw.clear();
  raw.shrink_to_fit();
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string header;
  put32(header, static_cast<std::uint32_t>(width));
  put32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits a channel, RGB, deflate, no filter choice, not interlaced
  chunk(out, "IHDR", header);
  chunk(out, "IDAT", stream);
  chunk(out, "IEND", "");
  return out;
}

// --- Lookup tables ------------------------------------------------------------------

int lattice_byte(int i, int points) { return (i * 510 + (points - 1)) / (2 * (points - 1)); }

int lut_points(LutFormat format, int size) {
  switch (format) {
    case LutFormat::cube: return size >= 2 && size <= 256 ? size : 0;
    case LutFormat::hald: return size >= 2 && size <= 16 ? size * size : 0;
    default: return size >= 2 && size <= 64 ? size : 0;
  }
}

LutPoint lut_point(int points, std::size_t p) {
  const std::size_t n = static_cast<std::size_t>(points);
  return {lattice_byte(static_cast<int>(p % n), points), lattice_byte(static_cast<int>(p / n % n), points), lattice_byte(static_cast<int>(p / n / n), points)};
}

std::string cube_file(int points, const std::vector<float>& colours) {
  std::string out = "# Each colour as the nearest triple of Tintwise's light colour model renders it.\n"
                    "# Lattice point i stands for the byte nearest i * 255 / (N - 1).\n"
                    "TITLE \"Tintwise light colours\"\nLUT_3D_SIZE " + std::to_string(points) + "\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\n";
  for (std::size_t i = 0; i < colours.size(); i += 3) {
    append_single(out, colours[i]);
    out += ' ';
    append_single(out, colours[i + 1]);
    out += ' ';
    append_single(out, colours[i + 2]);
    out += '\n';
  }
  return out;
}

void lut_picture_size(LutFormat format, int points, int& width, int& height) {
  if (format == LutFormat::hald) {
    int level = 1;
    while (level * level < points) ++level;
    width = height = level * level * level;
  } else {
    width = points * points;
    height = points;
  }
}

std::size_t lut_pixel(LutFormat format, int points, std::size_t p) {
  if (format == LutFormat::hald) return p; // red fastest, then green, then blue: the pixels' own order
  const std::size_t n = static_cast<std::size_t>(points);
  const std::size_t red = p % n, green = p / n % n, blue = p / n / n;
  return green * n * n + blue * n + red;
}

} // namespace tintwise
