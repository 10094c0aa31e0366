// The colours the lights can make, seen whole and taken elsewhere: a chart
// of the model (hue across; saturation, or brightness, down), each cell the
// exact colour its triple renders, as a picture labelled in the editor's
// units (PNG, SVG); its cells as swatches; and lookup tables that map every
// colour to what its nearest triple renders, for tools that read LUTs
// (.cube, a HALD CLUT picture, a ReShade strip). Shared by tintwise-gamut,
// the page and the Python module, so that all give the same colours.
#ifndef TINTWISE_GAMUT_H
#define TINTWISE_GAMUT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "palette_output.h"
#include "tintwise/hsb_search.h"

namespace tintwise {

// --- The chart -----------------------------------------------------------------

// Hues across, from 0 by hue_step; down, the saturations at brightness
// `fixed` (or the brightnesses at saturation `fixed`), from 0 by `step`,
// and 255 last where the step passes it by. The hue wheel wraps (254 lies
// beside 0), so no hue is added at its end.
struct ChartSpec {
  bool brightness_down = false;
  int fixed = 255;
  int hue_step = 1, step = 1;
};

struct Chart {
  ChartSpec spec;
  std::vector<int> hues, downs;   // each column's hue, each row's saturation (or brightness)
  std::vector<std::uint32_t> rgb; // 0xRRGGBB, row by row: the colour each triple renders, to the nearest byte
};

// Fails (false) only for a spec out of range: steps of 1..255, `fixed` of 0..255.
bool make_chart(const ChartSpec& spec, Chart& chart);
// The triple of a cell, as hue, saturation, brightness.
void cell_triple(const Chart& chart, std::size_t column, std::size_t row, int triple[3]);
// What the chart shows: "LightHue across, LightSaturation down, LightBrightness 255";
// the name of its palette: "Tintwise lights at LightBrightness 255".
std::string chart_title(const ChartSpec& spec);
std::string chart_palette_name(const ChartSpec& spec);

// The chart drawn: cells `cell` pixels square on white, below a title and
// hue labels, right of saturation (or brightness) labels, every few cells.
// Its cell (column, row) begins at pixel (left + column × cell, top + row × cell).
struct ChartPicture {
  int width = 0, height = 0, left = 0, top = 0, cell = 0;
  std::vector<unsigned char> rgb; // width × height pixels, 3 bytes each, row by row
};
ChartPicture draw_chart(const Chart& chart, int cell);
// The same picture as SVG: the same cells, runs of one colour in a row as
// one rectangle, with the labels as text.
std::string chart_svg(const Chart& chart, int cell);

// The chart's cells as swatches, row by row, each named by its triple ("7 70 255").
std::vector<Swatch> chart_swatches(const Chart& chart);

// --- PNG -----------------------------------------------------------------------

// A zlib stream (RFC 1950) of `raw`; false if it could not be made.
using Deflate = bool (*)(const std::string& raw, std::string& stream);
// An 8-bit RGB PNG of `rgb` (width × height × 3 bytes), its rows unfiltered,
// compressed by `deflate`, or stored uncompressed where that is null.
std::string png_file(int width, int height, const unsigned char* rgb, Deflate deflate);

// --- Lookup tables --------------------------------------------------------------

// A table's lattice of N points on each axis holds, at point (i, j, k), what
// the search answers for the colour of bytes (lattice_byte(i), lattice_byte(j),
// lattice_byte(k)): the search takes bytes, so point i stands for the byte
// nearest i × 255 / (N − 1) (halves, only ever 127.5, rounded up).
enum class LutFormat { cube, hald, reshade };
int lattice_byte(int i, int points);
// The lattice points on each axis of a table of `size` (LUT_3D_SIZE of a
// .cube, a HALD CLUT's level, a strip's tile), or 0 where the format has no
// such size: .cube 2..256; HALD 2..16 (level L has L² points, and 16 holds
// every byte); ReShade 2..64.
int lut_points(LutFormat format, int size);
// Points are numbered with red fastest: p = r + g × N + b × N².
struct LutPoint {
  int red, green, blue; // the lattice bytes searched
};
LutPoint lut_point(int points, std::size_t p);

// Every point of a lattice searched, on `jobs` threads (1: on this one),
// each answer handed to `take` with its point's number: from several
// threads at once, each point once.
using LutTake = void (*)(void* context, std::size_t p, const HsbMatch& match);
void search_lut(int points, unsigned jobs, LutTake take, void* context);

// The rendered colours of every point, 3 singles a point, red fastest: the
// colour as the search holds it, which `Tintwise R G B` prints.
std::vector<float> lut_colours(int points, unsigned jobs);
// The .cube file (Adobe's published Cube LUT format, 1.0) of those colours:
// LUT_3D_SIZE N, then a line a point, red fastest, each channel in the
// fewest digits that read back as the same single.
std::string cube_file(int points, const std::vector<float>& colours);

// The picture of a HALD CLUT or a ReShade strip, and where a point lies in
// it: a HALD CLUT of level L is L³ pixels square, point p its p-th pixel row
// by row; a ReShade strip is N tiles of N × N side by side, blue choosing
// the tile, red across it and green down. Each pixel is the point's rendered
// colour to the nearest byte.
void lut_picture_size(LutFormat format, int points, int& width, int& height);
std::size_t lut_pixel(LutFormat format, int points, std::size_t p);
std::vector<unsigned char> lut_picture(LutFormat format, int points, unsigned jobs);

} // namespace tintwise

#endif
