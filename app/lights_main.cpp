// tintwise-lights: the lights of T3D text (what UnrealEd copies to the
// clipboard, or exports as a map), listed a row a light, or the text given
// back with the lights recoloured to the nearest triple of a colour and
// nothing else changed. Quiet on success; what cannot be read with certainty
// goes to standard error as FILE:LINE: reason, and is passed through.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "files.h"
#include "lights_output.h"
#include "tintwise/hsb_search.h"
#include "tintwise/lights.h"
#include "tintwise/palette.h"

using namespace tintwise;

namespace {

// sysexits.h values, which scripts test for.
constexpr int kExitOk = 0, kExitWrite = 1, kExitUsage = 64, kExitData = 65, kExitNoInput = 66;

const char kUsage[] =
    "Usage: tintwise-lights [--recolour=COLOUR|--recolour-triple=H,S,B [--keep-brightness]\n"
    "                       [--ambient] [--only=PATTERN]] [--game=GAME] [--classes=DIR]...\n"
    "                       [--format=FORMAT] [--beside] [FILE...]\n"
    "Lists the lights of T3D text (actors copied from UnrealEd, or a map exported)\n"
    "or of a map package itself (.unr and the like, only read), a row a light and\n"
    "a row a zone's ambient light; or with --recolour gives the text back with the\n"
    "lights recoloured and nothing else changed. Reads standard input when no FILE\n"
    "is given, or for '-'.\n"
    "\n"
    "  --recolour=COLOUR  write into every light the triple `Tintwise R G B` gives\n"
    "                     for COLOUR (#rrggbb, rrggbb, #rgb, R,G,B, 'R G B' or\n"
    "                     'rgb(R, G, B)'): LightHue, LightSaturation, LightBrightness\n"
    "  --recolour-triple=H,S,B  write the triple itself (hue 0..255, saturation\n"
    "                     and brightness 0..255), as tintwise-gamut's chart shows it\n"
    "  --keep-brightness  write hue and saturation only: each light keeps its own\n"
    "  --ambient          recolour the zones' ambient lights (Ambient...) instead\n"
    "  --only=PATTERN     only actors whose Name or Tag matches PATTERN (* ? [..])\n"
    "  --game=GAME        whose stock classes give the values the text leaves out:\n"
    "                     unreal, ut99 (the default), deusex, rune, nerf, undying,\n"
    "                     khg, wot, ut2004 (the later engine generation)\n"
    "  --classes=DIR      a mod's or a map's own classes: the .uc files under DIR,\n"
    "                     looked up before the game's (repeatable)\n"
    "  --format=FORMAT    of the list: csv (the default), json (JSON Lines), a\n"
    "                     template with the fields file, line, actor, class,\n"
    "                     property, hue, saturation, brightness, rendered_hex,\n"
    "                     from_defaults, defaults_of ('{actor} {hue} {saturation}\n"
    "                     {brightness}'),\n"
    "                     or the rendered colours as swatches named 'Light3 (30 100\n"
    "                     200)': gpl, ase, aco, act, jasc, paintnet\n"
    "  --beside           write each FILE's output next to it: FILE.tintwise.t3d\n"
    "                     recoloured, or the list as FILE.tintwise.csv and so on\n"
    "  --help             this text\n"
    "  --version          the version\n"
    "\n"
    "Exit status: 0 all read, 65 something not read with certainty (reported; the\n"
    "output is still whole), 66 a file not opened, 64 usage error, 1 output not\n"
    "written (no file is left half written).\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "tintwise-lights: %s\nTry 'tintwise-lights --help'.\n", message.c_str());
  return kExitUsage;
}

// An output: standard output, cut back to where writing began if a write
// fails (when it is a regular file), or a file beside an input, made under a
// temporary name and renamed once whole (BesideFile), so that a failed write
// leaves no half-written file and loses nothing that was there.
struct Output {
  int fd = 1;
  BesideFile beside; // its path empty for standard output
  long long start = -1;
  std::string pending;
  bool failed = false;
};

bool flush(Output& out) {
  std::size_t done = 0;
  const int error = out.failed ? 0 : write_all(out.fd, out.pending.data(), out.pending.size(), done);
  if (error != 0) {
    out.failed = true;
    std::fprintf(stderr, "tintwise-lights: %s: write error: %s\n", out.beside.path.empty() ? "(standard output)" : out.beside.path.c_str(), std::strerror(error));
  }
  out.pending.clear();
  return !out.failed;
}

// Ends an output: written whole, or removed (a file beside) or cut back
// (standard output as a regular file).
bool finish(Output& out) {
  flush(out);
  if (out.beside.path.empty()) {
    if (out.failed && out.start >= 0) raw_truncate(out.fd, out.start);
    return !out.failed;
  }
  if (!close_beside(out.beside, !out.failed) && !out.failed) {
    std::fprintf(stderr, "tintwise-lights: %s: cannot write: %s\n", out.beside.path.c_str(), std::strerror(errno));
    out.failed = true;
  }
  return !out.failed;
}

struct Run {
  LightsRecolour recolour{false, 0, 0, 0, false, false, {}};
  OutputSpec spec{OutputFormat::csv, {}};
  std::string file;       // the input as rows and reports name it
  Output* out = nullptr;  // where rows go
  std::vector<Swatch> swatches;
  long rows = 0;          // of the input being read
  long unrendered = 0;    // lights of the later generation, which render no colour of this model for a swatch file
  int fd = -1;            // the input being read
  int read_error = 0;     // its read's errno, once one failed
  int status = kExitOk;
};

// The list's formats written whole once the input has ended: the swatch
// files, and here the GIMP palette too (its rows are swatches as well).
bool written_whole(OutputFormat format) { return is_swatch_format(format) || format == OutputFormat::gpl; }

void take_entry(void* context, const LightEntry& e) {
  Run& run = *static_cast<Run*>(context);
  ++run.rows;
  if (written_whole(run.spec.format)) return e.later ? void(++run.unrendered) : run.swatches.push_back(light_swatch(e));
  append_light_row(run.spec, run.file, e, run.out->pending);
  if (run.out->pending.size() >= (1 << 16)) flush(*run.out);
}

bool take_text(void* context, const char* bytes, std::size_t n) {
  Output& out = *static_cast<Run*>(context)->out;
  out.pending.append(bytes, n);
  return out.pending.size() < (1 << 16) || flush(out);
}

// A report, unless the input could not be read or the output written: what
// the reader says after that (a block that never ends, say) is that failure
// over again, and has been said once. `file` names another file than the
// input's.
void take_report(void* context, const LightsReport& report, const std::string& file) {
  Run& run = *static_cast<Run*>(context);
  if (run.read_error != 0 || (run.out && run.out->failed)) return;
  const std::string where = file + (report.line ? ":" + std::to_string(report.line) : "");
  std::fprintf(stderr, "%s: %s\n", where.c_str(), report.reason.c_str());
  if (run.status == kExitOk) run.status = kExitData;
}
void take_report(void* context, const LightsReport& report) { take_report(context, report, static_cast<Run*>(context)->file); }

std::size_t read_input(void* context, char* buf, std::size_t size) {
  Run& run = *static_cast<Run*>(context);
  const std::size_t n = read_retrying(run.fd, buf, size, run.read_error);
  if (run.read_error != 0 && n == 0 && run.status != kExitNoInput) {
    std::fprintf(stderr, "tintwise-lights: %s: read error: %s\n", run.file.c_str(), std::strerror(run.read_error));
    run.status = kExitNoInput;
  }
  return n;
}

bool read_input_at(void* context, std::uint64_t at, std::size_t n, std::string& out) { return read_at(static_cast<Run*>(context)->fd, at, n, out); }

// Opens an input ("-" is standard input); -1, said, if it cannot be.
int open_input(Run& run, const std::string& path) {
  const int fd = open_input_said("tintwise-lights", path);
  if (fd < 0) run.status = kExitNoInput;
  return fd;
}

// One input through the library: its rows (or its text recoloured) to `out`.
// Returns how many rows it gave (or 1 for a text given back), -1 if the
// output could not be written, or -2 for a map package to recolour, which is
// refused (a package is never written; the library says how to do it).
long convert(Run& run, const std::string& path, int fd, Output& out) {
  run.file = path == "-" ? "(standard input)" : path;
  run.out = &out;
  run.fd = fd;
  run.read_error = 0;
  const LightsSink sink{take_entry, take_report, run.recolour.recolour ? take_text : nullptr, &run};
  run.rows = 0;
  const std::uint64_t size = regular_size(fd); // a regular file: a package in it is read only where its lights are
  const LightsResult result = read_lights({read_input, &run, size > 0 ? read_input_at : nullptr, size}, run.recolour, sink);
  close_file(fd);
  // An --only that chose nothing changed nothing; said, as it may be a typing
  // mistake (the status stands: the text given back is whole).
  if (!run.recolour.only.empty() && result.matched == 0 && result.t3d && !out.failed) {
    std::fprintf(stderr, "tintwise-lights: %s: --only=%s matches no actor's Name or Tag; nothing was recoloured\n", run.file.c_str(), run.recolour.only.c_str());
  } else if (!run.recolour.only.empty() && result.changed == 0 && result.t3d && !out.failed) {
    std::fprintf(stderr, "tintwise-lights: %s: --only=%s matches %llu actors, none of them a light%s; nothing was recoloured\n", run.file.c_str(),
                 run.recolour.only.c_str(), static_cast<unsigned long long>(result.matched), run.recolour.ambient ? " with an ambient light" : "");
  }
  if (result.package && run.recolour.recolour) return run.status = kExitUsage, -2;
  return !result.written || out.failed ? -1 : run.recolour.recolour ? 1 : run.rows;
}

// The list's swatch file, once its input has ended, named `name`.
void write_swatches(Run& run, Output& out, const std::string& name) {
  if (!written_whole(run.spec.format)) return;
  std::size_t kept;
  out.pending += swatch_file(run.spec.format, run.swatches, kept, name);
  if (run.unrendered > 0) {
    std::fprintf(stderr, "tintwise-lights: %ld lights of the later engine generation render no colour of this model (their brightness is of another scale), so they are not in the .%s file\n",
                 run.unrendered, format_extension(run.spec.format));
    run.unrendered = 0;
  }
  if (kept < run.swatches.size()) {
    std::fprintf(stderr, "tintwise-lights: an .%s file holds %zu colours; the other %zu are not written\n", format_extension(run.spec.format), kept,
                 run.swatches.size() - kept);
    if (run.status == kExitOk) run.status = kExitData;
  }
  run.swatches.clear();
}

// --recolour's COLOUR, read as a palette line reads one; false if it holds
// not exactly one colour.
bool read_colour(const std::string& text, std::uint8_t rgb[3]) {
  struct Text {
    const std::string& s;
    std::size_t at;
  } source{text, 0};
  struct Found {
    int colours = 0, problems = 0;
    std::uint8_t rgb[3] = {0, 0, 0};
  } found;
  const auto read = [](void* context, char* buf, std::size_t size) {
    Text& t = *static_cast<Text*>(context);
    const std::size_t n = std::min(size, t.s.size() - t.at);
    std::memcpy(buf, t.s.data() + t.at, n);
    t.at += n;
    return n;
  };
  const auto keep = [](void* context, const PaletteEntry& e) {
    Found& f = *static_cast<Found*>(context);
    if (!e.read) return ++f.problems, true;
    f.rgb[0] = e.red, f.rgb[1] = e.green, f.rgb[2] = e.blue;
    return ++f.colours, true;
  };
  read_palette({read, &source, nullptr}, keep, &found);
  std::memcpy(rgb, found.rgb, 3);
  return found.colours == 1 && found.problems == 0 && text.find_first_of("\r\n") == std::string::npos;
}

// The .uc files under `dir` (a folder of a mod's classes, or one file), read
// into `classes`; what cannot be read is said as FILE:LINE: reason. Returns
// false, said, where `dir` cannot be read at all.
bool load_classes(Run& run, const std::string& dir) {
  std::error_code error;
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(dir, error)) {
    for (auto it = std::filesystem::recursive_directory_iterator(dir, error); !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      std::string extension = it->path().extension().string();
      for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (extension == ".uc" && it->is_regular_file(error)) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
  } else if (!error && std::filesystem::is_regular_file(dir, error)) {
    files.push_back(dir);
  }
  if (error || files.empty()) {
    std::fprintf(stderr, "tintwise-lights: --classes=%s: %s\n", dir.c_str(), error ? error.message().c_str() : "no .uc file there");
    return false;
  }
  for (const std::filesystem::path& path : files) {
    const std::string file = path.string();
    const int fd = open_input_said("tintwise-lights", file);
    if (fd < 0) return false;
    std::string bytes;
    char buf[1 << 16];
    int read_error = 0;
    for (std::size_t n; (n = read_retrying(fd, buf, sizeof buf, read_error)) > 0;) bytes.append(buf, n);
    close_file(fd);
    std::vector<LightsReport> reports;
    add_uc_class(bytes, file, run.recolour.classes, reports);
    for (const LightsReport& r : reports) take_report(&run, r, file);
  }
  return true;
}

const char kExplorerHelp[] =
    "tintwise-lights lists the lights of the level editor's T3D text (a map\n"
    "exported from UnrealEd, or actors copied from it) with the colour each one\n"
    "renders, and recolours them to the nearest triple of a colour.\n"
    "\n"
    "Drop .t3d files on tintwise-lights.exe: beside each, it writes the list of its\n"
    "lights as FILE.tintwise.csv. Or run it in a console (cmd, PowerShell) to\n"
    "recolour them:\n"
    "  tintwise-lights --help\n";

} // namespace

int main(int argc, char** argv) {
  binary_standard_streams();
  Run run;
  std::vector<std::string> paths;
  bool options = true, beside = false, formatted = false, kept = false, ambient = false, only = false;
  std::string colour;
  bool triple = false; // the colour is the triple itself
  std::vector<std::string> class_dirs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&arg](const char* option) { return arg.rfind(option, 0) == 0 ? arg.substr(std::strlen(option)) : std::string("\x01"); };
    if (!options || arg == "-" || arg.empty() || arg[0] != '-') {
      paths.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return std::fflush(stdout) == 0 ? kExitOk : kExitWrite;
    } else if (arg == "--version") {
      std::printf("tintwise-lights %s\n", TINTWISE_VERSION);
      return std::fflush(stdout) == 0 ? kExitOk : kExitWrite;
    } else if (value("--recolour=") != "\x01" || value("--recolour-triple=") != "\x01") {
      if (run.recolour.recolour) return usage_error("--recolour and --recolour-triple each give the colour: give one of them, once");
      triple = value("--recolour=") == "\x01";
      colour = triple ? value("--recolour-triple=") : value("--recolour=");
      run.recolour.recolour = true;
    } else if (arg == "--keep-brightness") {
      run.recolour.keep_brightness = kept = true;
    } else if (arg == "--ambient") {
      run.recolour.ambient = ambient = true;
    } else if (value("--only=") != "\x01") {
      run.recolour.only = value("--only=");
      if (run.recolour.only.empty()) return usage_error("--only= names no actor (an empty pattern, as --only=\"$VAR\" gives when VAR is unset): give a pattern, or leave --only out to recolour every light");
      only = true;
    } else if (value("--game=") != "\x01") {
      LightsGame game;
      if (!lights_game_named(value("--game="), game)) {
        std::string games;
        for (int g = 0; g < kLightsGames; ++g) games += std::string(g ? ", " : "") + lights_game_name(static_cast<LightsGame>(g));
        return usage_error("unknown game '" + value("--game=") + "' (games: " + games + ")");
      }
      run.recolour.game = static_cast<int>(game);
    } else if (value("--classes=") != "\x01") {
      class_dirs.push_back(value("--classes="));
    } else if (arg == "--beside") {
      beside = true;
    } else if (value("--format=") != "\x01") {
      std::string error;
      if (!parse_output_format(value("--format="), run.spec, error, kLightFields)) return usage_error(error);
      formatted = true;
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  if (!run.recolour.recolour && (kept || ambient || only)) {
    return usage_error(std::string(kept ? "--keep-brightness" : ambient ? "--ambient" : "--only") + " says how to recolour: give --recolour=COLOUR (or --recolour-triple=H,S,B) too");
  }
  if (run.recolour.recolour && formatted) return usage_error("--format is the list's; --recolour writes the text itself");
  if (run.recolour.recolour && triple) {
    int hsb[3] = {-1, -1, -1}, end = 0;
    const bool read = std::sscanf(colour.c_str(), "%3d%*[ ,]%3d%*[ ,]%3d%n", &hsb[0], &hsb[1], &hsb[2], &end) == 3 && end == static_cast<int>(colour.size()) &&
                      colour.find_first_not_of("0123456789, ") == std::string::npos;
    if (!read || hsb[0] > 255 || hsb[1] > 255 || hsb[2] > 255) {
      return usage_error("--recolour-triple needs a hue, saturation and brightness, each 0..255, as 7,70,255, not '" + colour + "'");
    }
    run.recolour.hue = static_cast<std::uint8_t>(hsb[0]);
    run.recolour.saturation = static_cast<std::uint8_t>(hsb[1]);
    run.recolour.brightness = static_cast<std::uint8_t>(hsb[2]);
  } else if (run.recolour.recolour) {
    std::uint8_t rgb[3];
    if (!read_colour(colour, rgb)) {
      return usage_error("--recolour needs one colour, as #ff8000, ff8000, #f80, 255,128,0, '255 128 0' or 'rgb(255, 128, 0)', not '" + colour + "'");
    }
    HsbMatch match{};
    find_best_hsb(match, rgb[0], rgb[1], rgb[2], false); // exactly what `Tintwise R G B` answers
    run.recolour.hue = static_cast<std::uint8_t>(match.hue);
    run.recolour.saturation = static_cast<std::uint8_t>(match.saturation);
    run.recolour.brightness = static_cast<std::uint8_t>(match.brightness);
  }
  for (const std::string& dir : class_dirs) {
    if (!load_classes(run, dir)) return kExitNoInput;
  }
  // Each class given resolves up to one the game knows, or is said to not.
  const LightsGame game = run.recolour.game >= 0 ? static_cast<LightsGame>(run.recolour.game) : LightsGame::ut99;
  for (const UcClass& c : run.recolour.classes) {
    const std::string why = unresolved_class(c.name, run.recolour.classes, game);
    if (!why.empty()) take_report(&run, {c.line, why}, c.file);
  }
  // Started from Explorer (files dropped on it, or none): each file's list
  // beside it, said on its console, which then waits for Enter.
  const bool explorer = started_from_explorer("TINTWISE_LIGHTS_EXPLORER");
  if (explorer && paths.empty()) {
    std::fputs(kExplorerHelp, stdout);
    wait_for_enter();
    return kExitOk;
  }
  beside = beside || explorer;
  if (paths.empty()) paths.push_back("-");
  for (const std::string& path : paths) {
    if (beside && path == "-") return usage_error("--beside writes next to each FILE, and standard input has no place: name the files");
  }
  if (!beside && run.recolour.recolour && paths.size() > 1) return usage_error("--recolour gives one text back: name one FILE, or use --beside");
  if (!beside && is_binary_format(run.spec.format) && is_terminal(1)) {
    return usage_error(std::string("--format=") + format_extension(run.spec.format) + " writes binary data, which a terminal cannot show: redirect it or use --beside");
  }
  const auto suffix = [&run] { return run.recolour.recolour ? std::string(".tintwise.t3d") : beside_suffix(run.spec.format); };
  for (std::size_t i = 0; i < paths.size() && beside; ++i) {
    for (std::size_t k = 0; k < i; ++k) {
      if (paths[i] == paths[k] || same_file(paths[i], paths[k])) return usage_error(paths[k] + " and " + paths[i] + " would both be written to " + paths[i] + suffix() + ": name each file once");
    }
  }
  if (!beside && output_is_input("tintwise-lights", paths)) return kExitUsage;

  bool written = true;
  if (!beside) {
    Output out;
    out.start = output_start(1);
    if (!run.recolour.recolour && run.spec.format == OutputFormat::csv) out.pending = fields_header(kLightFields);
    for (const std::string& path : paths) {
      const int fd = open_input(run, path);
      if (fd >= 0) written = convert(run, path, fd, out) != -1 && written;
    }
    if (!run.recolour.recolour) write_swatches(run, out, paths.size() == 1 ? palette_name(paths[0]) : "");
    written = finish(out) && written;
    return written ? run.status : kExitWrite;
  }
  for (const std::string& path : paths) {
    Output out;
    out.beside.path = path + suffix();
    bool reads = false;
    for (const std::string& input : paths) reads = reads || same_file(out.beside.path, input);
    if (reads) {
      std::fprintf(stderr, "tintwise-lights: %s: not written: it is a file this run reads\n", out.beside.path.c_str());
      written = false;
      continue;
    }
    const int fd = open_input(run, path);
    if (fd < 0) continue;
    if (!open_beside(out.beside)) {
      std::fprintf(stderr, "tintwise-lights: %s: cannot write: %s\n", out.beside.path.c_str(), std::strerror(errno));
      close_file(fd);
      written = false;
      continue;
    }
    out.fd = out.beside.fd;
    if (!run.recolour.recolour && run.spec.format == OutputFormat::csv) out.pending = fields_header(kLightFields);
    const long rows = convert(run, path, fd, out);
    if (rows == 0 || rows == -2) { // a list of no light, or a package to recolour: no file (the first said here)
      if (rows == 0) std::fprintf(explorer ? stdout : stderr, "%s%s: nothing written: no light was read from it\n", explorer ? "" : "tintwise-lights: ", path.c_str());
      out.failed = true;
      finish(out);
      continue;
    }
    if (!run.recolour.recolour) write_swatches(run, out, palette_name(path));
    const bool done = finish(out);
    if (explorer && done) std::printf("Wrote %s\n", out.beside.path.c_str());
    written = done && written;
  }
  std::fflush(stdout);
  if (explorer) wait_for_enter();
  return written ? run.status : kExitWrite;
}
