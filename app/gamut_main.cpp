// tintwise-gamut: the colours the model's lights can make, whole. A chart
// (hue across, saturation or brightness down) as PNG or SVG; its cells as
// swatches for editors; or a lookup table mapping every colour to what its
// nearest triple renders (.cube, HALD CLUT, ReShade strip), each point
// searched exactly as `Tintwise R G B` searches it, on every core.
//
// The output is made whole, then written at once: to standard output (cut
// back to where it began if a write fails) or to --output's file, made under
// a temporary name and renamed once whole.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "files.h"
#include "gamut.h"

#ifdef TINTWISE_HAVE_ZLIB
#include <zlib.h>
#endif

using namespace tintwise;

namespace {

constexpr int kExitOk = 0, kExitWrite = 1, kExitUsage = 64, kExitData = 65;

const char kUsage[] =
    "Usage: tintwise-gamut [--format=FORMAT] [--output=FILE] [OPTION...]\n"
    "Writes the colours Tintwise's colour model renders: a chart of them, its\n"
    "cells as swatches, or a lookup table of each colour's nearest triple.\n"
    "\n"
    "  --format=FORMAT     png or svg: the chart, each cell the exact colour of\n"
    "                      its triple, labelled as the editor shows them;\n"
    "                      gpl, ase, aco, act, jasc, paintnet, kpl, swatches:\n"
    "                      the chart's cells as swatches, named by triple;\n"
    "                      cube, hald, reshade: a lookup table, each colour as\n"
    "                      its nearest triple renders it (.cube text, a HALD\n"
    "                      CLUT picture, a ReShade LUT strip). Told from\n"
    "                      --output's extension where not given\n"
    "  --brightness=B      hue across and saturation down, at brightness B\n"
    "                      (the default, at 255)\n"
    "  --saturation=S      hue across and brightness down, at saturation S\n"
    "  --hue-step=N        every Nth hue (chart: 1; swatches: 16)\n"
    "  --saturation-step=N every Nth saturation down, and 255 (chart: 1;\n"
    "  --brightness-step=N swatches: 32); or brightness, with --saturation\n"
    "  --cell=N            a chart's cells N pixels square (1..32; 4)\n"
    "  --size=N            cube: LUT_3D_SIZE, 2..256 (33); hald: the level,\n"
    "                      2..16 (8; 16 holds every 8-bit colour); reshade:\n"
    "                      the tile, 2..64 (32)\n"
    "  --jobs=N            search a table on N threads (default: one a core)\n"
    "  --output=FILE       write FILE, whole or not at all, not standard output\n"
    "  --help              this text\n"
    "  --version           the version\n"
    "\n"
    "A table's lattice point i of N stands for the byte nearest i * 255 / (N - 1).\n"
    "Exit status: 0 written, 64 usage error, 65 more swatches than the format\n"
    "holds (the rest not written), 1 output not written.\n";

const char kExplorerHelp[] =
    "tintwise-gamut writes the colours Tintwise's model renders: a chart, a\n"
    "palette of them, or a lookup table. Run it in a console (cmd, PowerShell):\n"
    "  tintwise-gamut --output=chart.png\n"
    "  tintwise-gamut --help\n";

enum class Kind { chart, swatches, table };

struct FormatName {
  const char* name;
  const char* extension; // by which --output tells it; null where another format shares it
  Kind kind;
  OutputFormat swatch;
  LutFormat table;
};

constexpr FormatName kFormats[] = {
    {"png", ".png", Kind::chart, OutputFormat::csv, LutFormat::cube},
    {"svg", ".svg", Kind::chart, OutputFormat::csv, LutFormat::cube},
    {"gpl", ".gpl", Kind::swatches, OutputFormat::gpl, LutFormat::cube},
    {"ase", ".ase", Kind::swatches, OutputFormat::ase, LutFormat::cube},
    {"aco", ".aco", Kind::swatches, OutputFormat::aco, LutFormat::cube},
    {"act", ".act", Kind::swatches, OutputFormat::act, LutFormat::cube},
    {"jasc", ".pal", Kind::swatches, OutputFormat::jasc, LutFormat::cube},
    {"paintnet", nullptr, Kind::swatches, OutputFormat::paintnet, LutFormat::cube},
    {"kpl", ".kpl", Kind::swatches, OutputFormat::kpl, LutFormat::cube},
    {"swatches", ".swatches", Kind::swatches, OutputFormat::swatches, LutFormat::cube},
    {"cube", ".cube", Kind::table, OutputFormat::csv, LutFormat::cube},
    {"hald", nullptr, Kind::table, OutputFormat::csv, LutFormat::hald},
    {"reshade", nullptr, Kind::table, OutputFormat::csv, LutFormat::reshade},
};

int usage_error(const std::string& message) {
  std::fprintf(stderr, "tintwise-gamut: %s\nTry 'tintwise-gamut --help'.\n", message.c_str());
  return kExitUsage;
}

// A number option's value, from `low` to `high`; -1 where it is none.
int number_of(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
  const int v = std::stoi(text);
  return v >= low && v <= high ? v : -1;
}

#ifdef TINTWISE_HAVE_ZLIB
bool zlib_deflate(const std::string& raw, std::string& stream) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  stream.resize(size);
  if (compress2(reinterpret_cast<Bytef*>(&stream[0]), &size, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 6) != Z_OK) return false;
  stream.resize(size);
  return true;
}
#else
constexpr Deflate zlib_deflate = nullptr;
#endif

bool ends_with(const std::string& s, const char* end) {
  const std::size_t n = std::strlen(end);
  return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

// Writes `bytes` to standard output, or to `path` whole or not at all.
bool write_output(const std::string& path, const std::string& bytes) {
  std::size_t done = 0;
  if (path.empty()) {
    const long long start = output_start(1);
    const int error = write_all(1, bytes.data(), bytes.size(), done);
    if (error == 0) return true;
    if (start >= 0) raw_truncate(1, start); // no part of a picture or table is of use
    std::fprintf(stderr, "tintwise-gamut: write error: %s\n", std::strerror(error));
    return false;
  }
  BesideFile file;
  file.path = path;
  int error = open_beside(file) ? write_all(file.fd, bytes.data(), bytes.size(), done) : errno;
  if (!close_beside(file, error == 0 && file.fd >= 0) && error == 0) error = errno;
  if (error == 0) return true;
  std::fprintf(stderr, "tintwise-gamut: %s: cannot write: %s\n", path.c_str(), std::strerror(error));
  return false;
}

} // namespace

int main(int argc, char** argv) {
  binary_standard_streams();
  if (started_from_explorer("TINTWISE_GAMUT_EXPLORER")) {
    std::fputs(kExplorerHelp, stdout);
    wait_for_enter();
    return kExitOk;
  }
  const FormatName* format = nullptr;
  std::string output;
  ChartSpec spec;
  int brightness = -1, saturation = -1, hue_step = 0, saturation_step = 0, brightness_step = 0, cell = 0, size = 0;
  unsigned jobs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    const bool valued = eq != std::string::npos;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return std::fflush(stdout) == 0 ? kExitOk : kExitWrite;
    } else if (arg == "--version") {
      std::printf("tintwise-gamut %s\n", TINTWISE_VERSION);
      return std::fflush(stdout) == 0 ? kExitOk : kExitWrite;
    } else if (name == "--format" && valued) {
      format = nullptr;
      for (const FormatName& f : kFormats) {
        if (value == f.name) format = &f;
      }
      if (!format) return usage_error("unknown format '" + value + "': png, svg, gpl, ase, aco, act, jasc, paintnet, kpl, swatches, cube, hald or reshade");
    } else if (name == "--output" && valued) {
      if (value.empty()) return usage_error("--output needs a file name");
      output = value;
    } else if (name == "--brightness" && valued) {
      if ((brightness = number_of(value, 0, 255)) < 0) return usage_error("--brightness needs a brightness byte, 0..255");
    } else if (name == "--saturation" && valued) {
      if ((saturation = number_of(value, 0, 255)) < 0) return usage_error("--saturation needs a saturation byte, 0..255");
    } else if (name == "--hue-step" && valued) {
      if ((hue_step = number_of(value, 1, 255)) < 0) return usage_error("--hue-step needs a step of 1..255");
    } else if (name == "--saturation-step" && valued) {
      if ((saturation_step = number_of(value, 1, 255)) < 0) return usage_error("--saturation-step needs a step of 1..255");
    } else if (name == "--brightness-step" && valued) {
      if ((brightness_step = number_of(value, 1, 255)) < 0) return usage_error("--brightness-step needs a step of 1..255");
    } else if (name == "--cell" && valued) {
      if ((cell = number_of(value, 1, 32)) < 0) return usage_error("--cell needs a size of 1..32 pixels");
    } else if (name == "--size" && valued) {
      if ((size = number_of(value, 2, 256)) < 0) return usage_error("--size needs a size of 2..256");
    } else if (name == "--jobs" && valued) {
      const int n = number_of(value, 1, 999);
      if (n < 0) return usage_error("--jobs needs a number of threads from 1 to 999");
      jobs = static_cast<unsigned>(n);
    } else {
      return usage_error("unknown argument '" + arg + "'");
    }
  }
  if (!format) {
    for (const FormatName& f : kFormats) {
      if (f.extension && ends_with(output, f.extension)) format = &f;
    }
    if (!format) return usage_error(output.empty() ? "say what to write: --format=FORMAT, or --output=FILE with its extension (chart.png)"
                                                   : "--format=FORMAT is needed: " + output + "'s extension does not tell one");
  }
  // What the options mean for this format, checked before any work.
  if (format->kind == Kind::table) {
    if (brightness >= 0 || saturation >= 0 || hue_step || saturation_step || brightness_step || cell) {
      return usage_error("a lookup table holds every colour: it takes no brightness, saturation, steps or cells");
    }
    const LutFormat table = format->table;
    if (size == 0) size = table == LutFormat::cube ? 33 : table == LutFormat::hald ? 8 : 32;
    if (lut_points(table, size) == 0) {
      return usage_error(table == LutFormat::cube ? "--size of a .cube is 2..256" : table == LutFormat::hald ? "--size of a HALD CLUT is its level, 2..16" : "--size of a ReShade strip is 2..64");
    }
  } else {
    if (size) return usage_error("--size is a lookup table's: a chart's cells are sized by --cell");
    if (brightness >= 0 && saturation >= 0) return usage_error("--brightness and --saturation each fix one: give one of them");
    spec.brightness_down = saturation >= 0;
    spec.fixed = spec.brightness_down ? saturation : brightness >= 0 ? brightness : 255;
    if (spec.brightness_down ? saturation_step : brightness_step) {
      return usage_error(spec.brightness_down ? "--saturation-step steps down a chart at a brightness: with --saturation, brightness runs down (--brightness-step)"
                                              : "--brightness-step steps down a chart at a saturation (--saturation=S)");
    }
    const bool swatches = format->kind == Kind::swatches;
    spec.hue_step = hue_step ? hue_step : swatches ? 16 : 1;
    spec.step = saturation_step ? saturation_step : brightness_step ? brightness_step : swatches ? 32 : 1;
    if (swatches && cell) return usage_error("--cell sizes a chart's picture, not swatches");
    if (!cell) cell = 4;
  }
  const bool binary = format->kind == Kind::table ? format->table != LutFormat::cube
                                                  : format->kind == Kind::chart ? std::strcmp(format->name, "png") == 0 : is_binary_format(format->swatch);
  if (output.empty() && binary && is_terminal(1)) {
    return usage_error(std::string("--format=") + format->name + " writes binary data, which a terminal cannot show: use --output=FILE or redirect it");
  }

  std::string bytes;
  int status = kExitOk;
  if (format->kind == Kind::table) {
    if (jobs == 0) jobs = std::thread::hardware_concurrency() ? std::thread::hardware_concurrency() : 1;
    const int points = lut_points(format->table, size);
    if (format->table == LutFormat::cube) {
      bytes = cube_file(points, lut_colours(points, jobs));
    } else {
      int width, height;
      lut_picture_size(format->table, points, width, height);
      bytes = png_file(width, height, lut_picture(format->table, points, jobs).data(), zlib_deflate);
    }
  } else {
    Chart chart;
    make_chart(spec, chart);
    if (format->kind == Kind::swatches) {
      const std::vector<Swatch> swatches = chart_swatches(chart);
      std::size_t kept;
      bytes = swatch_file(format->swatch, swatches, kept, chart_palette_name(spec));
      if (kept < swatches.size()) {
        std::fprintf(stderr, "tintwise-gamut: an .%s file holds %zu colours; the other %zu are not written: take larger steps\n",
                     format_extension(format->swatch), kept, swatches.size() - kept);
        status = kExitData;
      }
    } else if (std::strcmp(format->name, "svg") == 0) {
      bytes = chart_svg(chart, cell);
    } else {
      const ChartPicture picture = draw_chart(chart, cell);
      bytes = png_file(picture.width, picture.height, picture.rgb.data(), zlib_deflate);
    }
  }
  return write_output(output, bytes) ? status : kExitWrite;
}
