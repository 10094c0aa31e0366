// tintwise-palette: every colour of palette files (or standard input) with
// its nearest HSB triple, as CSV, JSON Lines, a GIMP palette, text or a
// template. Quiet on success; each entry it cannot read goes to standard
// error as FILE:LINE: reason, and the rest converts.
//
// It streams: entries go in batches through a fixed ring to one search thread
// a core and come out in input order, so memory does not grow with the input.
// A colour seen again while its slot in a fixed table still holds it is not
// searched again (every repeat, for palettes of up to tens of thousands of
// colours).
//
// When the input pauses (a person typing at a terminal, a pipe whose writer
// waits), the rows of every entry read so far are written before it waits
// for more, so each line typed is answered at once; one end-of-file ends it.
//
// Swatch files (.ase, .aco, .act, JASC-PAL, Paint.NET) count their colours in
// their headers, so they are written whole once their input has ended. With
// --beside, each FILE's output goes next to it instead of standard output.
// Started from Windows Explorer (files dropped on the program, or none), it
// works as --beside and waits for Enter before its console window closes.
#include <cerrno>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "files.h"
#include "palette_output.h"
#ifdef TINTWISE_HAVE_ZLIB
#include "tintwise/palette_zlib.h"
#endif

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tintwise;

namespace {

// sysexits.h values, which scripts test for.
constexpr int kExitOk = 0, kExitWrite = 1, kExitUsage = 64, kExitData = 65, kExitNoInput = 66;

const char kUsage[] =
    "Usage: tintwise-palette [--find] [--vga] [--format=FORMAT] [--beside] [--jobs=N] [FILE...]\n"
    "Converts every colour of palette files to the nearest HSB triple of Tintwise's\n"
    "colour model, exactly as `Tintwise R G B` would. Reads standard input when no\n"
    "FILE is given, or for '-'. The format is told from each file's content:\n"
    "GIMP .gpl, JASC and Windows RIFF .pal, Paint.NET .txt, Adobe .ase, .aco\n"
    "and .act, LibreOffice .soc, Scribus swatches, Krita .kpl, Procreate\n"
    ".swatches, the palette of an Aseprite picture, the colour table of an indexed\n"
    "PNG, GIF, BMP or PCX, or lines of #rrggbb, rrggbb, #rgb, R G B, R,G,B or\n"
    "rgb(R, G, B), each maybe followed by a name; text in UTF-8 or UTF-16.\n"
    "\n"
    "  --find           take every colour written anywhere in a text (#rgb,\n"
    "                   #rrggbb, with alpha too, rgb(), (R=..,G=..,B=..)), named\n"
    "                   by the key before it; binary palettes read as above\n"
    "  --vga            read a 768-byte colour table as a DOS-era VGA palette of\n"
    "                   6-bit values (0..63), not as a Photoshop .act\n"
    "  --format=FORMAT  csv (the default), json (JSON Lines), gpl (a GIMP palette\n"
    "                   of the rendered colours), text, or a template such as\n"
    "                   '{hue} {saturation} {brightness}' with the fields file,\n"
    "                   line, name, hex, red, green, blue, hue, saturation,\n"
    "                   brightness, distance, rendered_hex; or the rendered\n"
    "                   colours as swatches for editors, named 'Orange (7 70 255)':\n"
    "                   ase, aco (Photoshop, Illustrator), act (256 at most),\n"
    "                   jasc (Paint Shop Pro .pal), paintnet (Paint.NET .txt),\n"
    "                   kpl (Krita), swatches (Procreate)\n"
    "  --beside         write each FILE's output next to it, as FILE.tintwise.csv\n"
    "                   (or the format's own extension), not to standard output\n"
    "  --jobs=N         search on N threads (default: one a core; 1: none\n"
    "                   started, the search runs on the reading thread)\n"
    "  --help           this text\n"
    "  --version        the version\n"
    "\n"
    "Entries that cannot be read go to standard error as FILE:LINE: reason (LINE\n"
    "is a block in .ase, an index in a colour table). A row is written as soon as\n"
    "its line is read when the input pauses, as at a terminal.\n"
    "Exit status: 0 all read, 65 some entries not read (or more colours than the\n"
    "swatch file holds), 66 a file not opened, 64 usage error, 1 output not written.\n";

const char kExplorerHelp[] =
    "tintwise-palette converts every colour of palette files to the nearest HSB\n"
    "triple of Tintwise's colour model, exactly as Tintwise.exe does one colour.\n"
    "\n"
    "Drop palette files (.gpl, .pal, .ase, .aco, .act, .soc, .txt and more) on\n"
    "tintwise-palette.exe: beside each, it writes FILE.tintwise.csv.\n"
    "Or run it in a console (cmd, PowerShell) to choose what it writes:\n"
    "  tintwise-palette --help\n";

// --- Output ------------------------------------------------------------------

// Standard output, written only in whole rows: if a write fails part way
// through a regular file, the file is cut back to the last whole row. Or a
// file beside an input, made under a temporary name (BesideFile) once it has
// a row, and renamed over its name once whole, so that a failed write leaves
// no half-written file and loses nothing that was there.
struct Output {
  int fd = 1;            // -1 until the file beside an input is made
  BesideFile beside;     // its path empty for standard output
  bool rows = false;     // a row is among what is pending or written
  std::string pending;   // whole rows not yet written
  long long written = 0; // bytes written since the start
  long long start = -1;  // where writing began in a regular file, else -1
  bool failed = false;
};

void flush(Output& out) {
  if (out.fd < 0 && !out.failed) {
    if (!out.rows) return; // nothing to make the file for yet
    if (!open_beside(out.beside)) {
      std::fprintf(stderr, "tintwise-palette: %s: cannot write: %s\n", out.beside.path.c_str(), std::strerror(errno));
      out.failed = true;
    }
    out.fd = out.beside.fd;
  }
  std::size_t done = 0;
  const int error = out.failed ? 0 : write_all(out.fd, out.pending.data(), out.pending.size(), done);
  if (error != 0) {
    out.failed = true;
    if (out.start >= 0) { // keep the whole rows that were written, and no part of another
      const std::size_t whole = out.pending.rfind('\n', done == 0 ? 0 : done - 1);
      const bool any = done > 0 && whole != std::string::npos;
      raw_truncate(out.fd, out.start + out.written + (any ? static_cast<long long>(whole) + 1 : 0));
    }
    std::fprintf(stderr, "tintwise-palette: %swrite error: %s\n", out.beside.path.empty() ? "" : (out.beside.path + ": ").c_str(), std::strerror(error));
  }
  if (!out.failed) out.written += static_cast<long long>(done);
  out.pending.clear();
}

// --- The pipeline -------------------------------------------------------------

struct Item {
  std::uint32_t file;
  bool repeat; // the same colour as an earlier entry whose answer the writer keeps
  PaletteEntry entry;
  HsbAnswer answer;
  std::string row; // its output, written by the search thread
};

constexpr std::size_t kBatch = 512;

struct Batch {
  enum State { free, ready, searching, done } state = free;
  std::size_t used = 0;
  std::vector<Item> items = std::vector<Item>(kBatch);
};

// The table that remembers the colours seen: the reader's (keys only) decides
// what is a repeat, the writer's (answers) serves it. Both are updated in
// input order by the same rule, so a slot the reader finds holding a colour
// holds that colour's answer when the writer reaches the repeat.
constexpr unsigned kSlotBits = 16;
std::uint32_t slot_of(std::uint32_t rgb) { return (rgb * 2654435761u) >> (32 - kSlotBits); }
constexpr std::uint32_t kNoColour = 0xFFFFFFFF;

struct Remembered {
  std::uint32_t rgb = kNoColour;
  HsbAnswer answer{};
};

struct Pipeline {
  OutputSpec spec;
  PaletteOptions options;
  std::string vga_file; // the first file whose table may be a VGA palette, said once at the end
  std::vector<std::string> files;
  std::vector<Batch> ring;
  std::size_t filled = 0, written = 0; // batches handed to the searches, and written
  unsigned threads = 0;                // search threads to start with the first full batch (0: one a core)
  std::vector<std::thread> searches;
  bool quitting = false;
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::uint32_t> seen = std::vector<std::uint32_t>(std::size_t{1} << kSlotBits, kNoColour);
  std::vector<Remembered> answers = std::vector<Remembered>(std::size_t{1} << kSlotBits);
  Output out;
  std::vector<Swatch> swatches; // of a swatch file, written whole at the end of its output
  std::string problems; // diagnostics of the batch being written
  std::string name;     // of the palette a swatch file holds: its input's, where it has one
  int status = kExitOk;
};

std::uint32_t rgb_of(const PaletteEntry& e) {
  return static_cast<std::uint32_t>(e.red) << 16 | static_cast<std::uint32_t>(e.green) << 8 | e.blue;
}

void search_batch(Pipeline& p, Batch& batch) {
  for (std::size_t i = 0; i < batch.used; ++i) {
    Item& item = batch.items[i];
    item.row.clear();
    if (!item.entry.read || item.repeat) continue;
    find_best_hsb_answer(item.answer, item.entry.red, item.entry.green, item.entry.blue);
    append_row(p.spec, p.files[item.file], item.entry, item.answer, item.row);
  }
}

void search_thread(Pipeline& p) {
  std::unique_lock<std::mutex> guard(p.lock);
  for (;;) {
    Batch* next = nullptr;
    for (std::size_t n = p.written; n < p.filled && !next; ++n) {
      Batch& b = p.ring[n % p.ring.size()];
      if (b.state == Batch::ready) next = &b;
    }
    if (!next) {
      if (p.quitting) return;
      p.changed.wait(guard);
      continue;
    }
    next->state = Batch::searching;
    guard.unlock();
    search_batch(p, *next);
    guard.lock();
    next->state = Batch::done;
    p.changed.notify_all();
  }
}

// Writes the oldest batch once its searches are done, in input order.
void write_oldest(Pipeline& p) {
  Batch* b;
  {
    std::unique_lock<std::mutex> guard(p.lock);
    b = &p.ring[p.written % p.ring.size()];
    p.changed.wait(guard, [b] { return b->state == Batch::done; });
  }
  for (std::size_t i = 0; i < b->used && !p.out.failed; ++i) {
    Item& item = b->items[i];
    const std::string& file = p.files[item.file];
    if (!item.entry.read) {
      append_problem(file, item.entry, p.problems);
      continue;
    }
    Remembered& slot = p.answers[slot_of(rgb_of(item.entry))];
    if (!item.repeat) slot = {rgb_of(item.entry), item.answer};
    if (is_swatch_format(p.spec.format)) p.swatches.push_back(swatch_of(item.entry, slot.answer));
    else if (item.repeat) append_row(p.spec, file, item.entry, slot.answer, p.out.pending);
    else p.out.pending += item.row;
    p.out.rows = true;
    if (p.out.pending.size() >= 65536) flush(p.out);
  }
  if (!p.problems.empty()) { // flushed with the rows: where standard error is a file, the C runtime may hold it back
    std::fputs(p.problems.c_str(), stderr);
    std::fflush(stderr);
    p.problems.clear();
  }
  std::lock_guard<std::mutex> guard(p.lock);
  b->state = Batch::free;
  ++p.written;
}

// Hands the batch being filled to the searches, and makes room for the next.
// The search threads start with the first full batch: a palette that ends
// within one batch is searched here, sooner than threads would start, and so
// is every batch with one job (--jobs=1).
void submit(Pipeline& p, bool last) {
  Batch& b = p.ring[p.filled % p.ring.size()];
  if (p.searches.empty() && (last || p.threads == 1)) {
    search_batch(p, b);
    b.state = Batch::done; // no other thread yet to see it
    ++p.filled;
  } else {
    if (p.searches.empty()) {
      for (unsigned t = 0; t < p.threads; ++t) p.searches.emplace_back(search_thread, std::ref(p));
    }
    {
      std::lock_guard<std::mutex> guard(p.lock);
      b.state = Batch::ready;
      ++p.filled;
    }
    p.changed.notify_all();
  }
  while (p.filled - p.written >= p.ring.size() && !p.out.failed) write_oldest(p);
}

struct Reading {
  Pipeline& pipeline;
  std::uint32_t file;
  bool dark; // every colour read so far has channels of 0..63 alone
};

bool take_entry(void* context, const PaletteEntry& entry) {
  Reading& r = *static_cast<Reading*>(context);
  Pipeline& p = r.pipeline;
  if (p.out.failed) return false;
  Batch& b = p.ring[p.filled % p.ring.size()];
  Item& item = b.items[b.used++];
  item.file = r.file;
  item.entry = entry;
  item.repeat = false;
  r.dark = r.dark && entry.red < 64 && entry.green < 64 && entry.blue < 64;
  if (entry.read) {
    std::uint32_t& seen = p.seen[slot_of(rgb_of(entry))];
    item.repeat = seen == rgb_of(entry);
    seen = rgb_of(entry);
  } else if (p.status == kExitOk) {
    p.status = kExitData;
  }
  if (b.used == kBatch) {
    submit(p, false);
    p.ring[p.filled % p.ring.size()].used = 0;
  }
  return !p.out.failed;
}

// Writes every entry read so far: the batch being filled goes to the
// searches (or is searched here while no thread has started), and all that
// are out are written and flushed.
void drain(Pipeline& p) {
  if (p.out.failed) return;
  if (p.ring[p.filled % p.ring.size()].used > 0) {
    submit(p, true);
    p.ring[p.filled % p.ring.size()].used = 0;
  }
  while (p.written < p.filled && !p.out.failed) write_oldest(p);
  flush(p.out);
}

// An input file, read through its descriptor: a read returns what has come
// (a line at a terminal) instead of waiting to fill the buffer.
struct InputFile {
  Pipeline& pipeline;
  int fd;
  bool regular; // a regular file: more is always ready at once
  bool console; // a Windows console, where a line of Ctrl-Z ends the input
  int error;    // errno of a failed read, else 0
};

// Whether a read would return at once. A regular file always would; a
// terminal or a pipe only when something has come (a closed pipe too: its
// read returns the end at once). Only these are asked, so a file costs
// nothing here.
bool input_ready(void* context) {
  const InputFile& f = *static_cast<InputFile*>(context);
  if (f.regular) return true;
#ifdef _WIN32
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(f.fd));
  DWORD available = 0;
  if (GetFileType(h) != FILE_TYPE_PIPE) return false; // a console: a person types, and no read would return at once
  if (PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr)) return available > 0;
  // A pipe whose writer has closed it ends at once; one that cannot be
  // peeked at (Wine's pipes) is taken to be waiting, so nothing read stays
  // unanswered.
  return GetLastError() == ERROR_BROKEN_PIPE;
#else
  pollfd q{f.fd, POLLIN, 0};
  return ::poll(&q, 1, 0) != 0;
#endif
}

bool read_input_at(void* context, std::uint64_t at, std::size_t n, std::string& out) { return read_at(static_cast<InputFile*>(context)->fd, at, n, out); }

std::size_t read_input(void* context, char* buf, std::size_t size) {
  InputFile& f = *static_cast<InputFile*>(context);
  if (!input_ready(context)) drain(f.pipeline); // answer what has come before waiting for more
  const std::size_t n = read_retrying(f.fd, buf, size, f.error);
  return n > 0 && f.console && buf[0] == '\x1a' ? 0 : n; // Ctrl-Z, then Enter, at the start of a line (a Windows console)
}

// Opens an input ("-" is standard input); -1, said, if it cannot be.
int open_input(Pipeline& p, const std::string& path) {
  const int fd = open_input_said("tintwise-palette", path);
  if (fd < 0) p.status = kExitNoInput;
  return fd;
}

// Reads input `fd` (file `index`, `path`) through the pipeline, and closes it.
void convert_file(Pipeline& p, std::uint32_t index, const std::string& path, int fd) {
#ifdef _WIN32
  struct _stat64 st;
  const bool regular = _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG);
  const bool console = GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) == FILE_TYPE_CHAR;
#else
  struct stat st;
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode), console = false;
#endif
  InputFile file{p, fd, regular, console, 0};
  Reading reading{p, index, true};
  const std::uint64_t size = regular ? regular_size(fd) : 0; // a package in a regular file is read only where its palettes are
  const PaletteFormat format = read_palette({read_input, &file, input_ready, size > 0 ? read_input_at : nullptr, size}, take_entry, &reading, p.options);
  // A Photoshop table of dark colours is a valid one, but a DOS-era game's
  // VGA palette (6-bit values) looks the same and reads far too dark: said
  // once a run, after everything else, without changing the exit status.
  if (format == PaletteFormat::act && reading.dark && p.vga_file.empty()) p.vga_file = path;
  if (file.error != 0) {
    std::fprintf(stderr, "tintwise-palette: %s: read error: %s\n", path.c_str(), std::strerror(file.error));
    p.status = kExitNoInput;
  }
  close_file(fd);
}

// Ends an output: every row still held is written, then a swatch file whole
// (`where` names it in a report of colours it cannot hold). After a failed
// write the rows still held are dropped, and with them what the tables of
// recent colours hold, so that the next output starts clean.
void finish_output(Pipeline& p, const std::string& where) {
  if (!p.out.failed && p.ring[p.filled % p.ring.size()].used > 0) submit(p, true);
  while (p.written < p.filled) write_oldest(p);
  if (is_swatch_format(p.spec.format) && !p.out.failed && (!p.swatches.empty() || p.out.fd >= 0)) {
    p.out.rows = true;
    std::size_t kept;
    p.out.pending += swatch_file(p.spec.format, p.swatches, kept, p.name);
    if (kept < p.swatches.size()) {
      std::fprintf(stderr, "tintwise-palette: %s: an .%s file holds %zu colours; the other %zu are not written\n", where.c_str(),
                   format_extension(p.spec.format), kept, p.swatches.size() - kept);
      if (p.status == kExitOk) p.status = kExitData;
    }
  }
  p.swatches.clear();
  if (!p.out.failed) flush(p.out);
  if (p.out.failed) {
    p.ring[p.filled % p.ring.size()].used = 0;
    p.seen.assign(p.seen.size(), kNoColour);
    p.answers.assign(p.answers.size(), Remembered{});
  }
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "tintwise-palette: %s\nTry 'tintwise-palette --help'.\n", message.c_str());
  return kExitUsage;
}

// --beside: FILE's output, written next to it as FILE and the format's own
// suffix. Never over a file the run reads; a folder that cannot be written
// is said, and the other files go on; a file that gives no row gets none,
// and that is said (on standard output from Explorer, with `say`). Returns
// false if this output was not written.
bool write_beside(Pipeline& p, std::uint32_t index, const std::vector<std::string>& paths, bool say) {
  const std::string& path = paths[index];
  const std::string beside = path + beside_suffix(p.spec.format);
  for (const std::string& input : paths) {
    if (same_file(beside, input)) {
      std::fprintf(stderr, "tintwise-palette: %s: not written: it is a file this run reads\n", beside.c_str());
      return false;
    }
  }
  const int in = open_input(p, path);
  if (in < 0) return true;
  p.out = Output{};
  p.out.fd = -1;
  p.out.beside.path = beside;
  p.name = palette_name(path);
  p.out.pending = output_header(p.spec, p.name);
  convert_file(p, index, path, in);
  finish_output(p, beside);
  const bool made = p.out.fd >= 0;
  if (made && !close_beside(p.out.beside, !p.out.failed) && !p.out.failed) {
    std::fprintf(stderr, "tintwise-palette: %s: cannot write: %s\n", beside.c_str(), std::strerror(errno));
    p.out.failed = true;
  }
  if (!made && !p.out.failed) std::fprintf(say ? stdout : stderr, "%s%s: nothing written: no colour was read from it\n", say ? "" : "tintwise-palette: ", path.c_str());
  else if (say && !p.out.failed) std::printf("Wrote %s\n", beside.c_str());
  std::fflush(stdout);
  return !p.out.failed;
}

// Two inputs whose outputs beside them would be one file (the same file
// named twice, or through a link): said before anything is written.
bool outputs_collide(const std::vector<std::string>& paths, OutputFormat format) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    for (std::size_t k = 0; k < i; ++k) {
      if (paths[i] != paths[k] && !same_file(paths[i], paths[k])) continue;
      usage_error(paths[k] + " and " + paths[i] + " would both be written to " + paths[i] + beside_suffix(format) + ": name each file once");
      return true;
    }
  }
  return false;
}

} // namespace

int main(int argc, char** argv) {
  binary_standard_streams();
  Pipeline p;
  p.spec = {OutputFormat::csv, {}};
#ifdef TINTWISE_HAVE_ZLIB
  p.options.inflate = zlib_inflate;
#endif
  std::vector<std::string> paths;
  bool options = true, beside = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options || arg == "-" || arg.empty() || arg[0] != '-') {
      paths.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return std::fflush(stdout) == 0 ? kExitOk : kExitWrite;
    } else if (arg == "--find") {
      p.options.mode = PaletteMode::find;
    } else if (arg == "--vga") {
      p.options.vga = true;
    } else if (arg == "--beside") {
      beside = true;
    } else if (arg.rfind("--jobs=", 0) == 0) {
      const std::string n = arg.substr(7);
      const int jobs = !n.empty() && n.size() <= 3 && n.find_first_not_of("0123456789") == std::string::npos ? std::stoi(n) : 0;
      if (jobs < 1) return usage_error("--jobs needs a number of threads from 1 to 999");
      p.threads = static_cast<unsigned>(jobs);
    } else if (arg == "--version") {
      std::printf("tintwise-palette %s\n", TINTWISE_VERSION);
      return std::fflush(stdout) == 0 ? kExitOk : kExitWrite;
    } else if (arg.rfind("--format=", 0) == 0 || arg == "--format") {
      if (arg == "--format" && i + 1 == argc) return usage_error("--format needs a value");
      const std::string value = arg == "--format" ? argv[++i] : arg.substr(9);
      std::string error;
      if (!parse_output_format(value, p.spec, error)) return usage_error(error);
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  const bool explorer = started_from_explorer("TINTWISE_PALETTE_EXPLORER");
  if (explorer && paths.empty()) {
    std::fputs(kExplorerHelp, stdout);
    wait_for_enter();
    return kExitOk;
  }
  beside = beside || explorer;
  if (paths.empty() && is_terminal(0)) { // a person, who may not know what the program waits for
#ifdef _WIN32
    std::fputs("tintwise-palette: reading colours as you type them, one a line (#ff8000, 255 128 0, rgb(255, 128, 0));\nCtrl-Z then Enter ends\n", stderr);
#else
    std::fputs("tintwise-palette: reading colours as you type them, one a line (#ff8000, 255 128 0, rgb(255, 128, 0));\nCtrl-D ends\n", stderr);
#endif
  }
  if (paths.empty()) paths.push_back("-");
  for (const std::string& path : paths) {
    if (beside && path == "-") return usage_error("--beside writes next to each FILE, and standard input has no place: name the files");
  }
  if (beside && outputs_collide(paths, p.spec.format)) return kExitUsage;
  if (!beside && output_is_input("tintwise-palette", paths)) return kExitUsage;
  if (!beside && is_binary_format(p.spec.format) && is_terminal(1)) {
    return usage_error(std::string("--format=") + format_extension(p.spec.format) + " writes binary data, which a terminal cannot show: redirect it (> palette." +
                       format_extension(p.spec.format) + ") or use --beside");
  }
  for (const std::string& path : paths) p.files.push_back(path == "-" ? "(standard input)" : path);

  if (p.threads == 0) p.threads = std::thread::hardware_concurrency() ? std::thread::hardware_concurrency() : 1;
  p.ring.resize(4 * static_cast<std::size_t>(p.threads));

  bool written = true;
  if (beside) {
    for (std::uint32_t i = 0; i < paths.size(); ++i) written = write_beside(p, i, paths, explorer) && written;
  } else {
    p.out.start = output_start(1); // -1 where it cannot tell: then nothing is cut back
    if (paths.size() == 1) p.name = palette_name(paths[0]);
    p.out.pending = output_header(p.spec, p.name);
    for (std::uint32_t i = 0; i < paths.size() && !p.out.failed; ++i) {
      const int fd = open_input(p, paths[i]);
      if (fd >= 0) convert_file(p, i, paths[i], fd);
    }
    finish_output(p, "(standard output)");
    written = !p.out.failed;
  }
  {
    std::lock_guard<std::mutex> guard(p.lock);
    p.quitting = true;
  }
  p.changed.notify_all();
  for (std::thread& t : p.searches) t.join();
  if (!p.vga_file.empty()) {
    std::fprintf(stderr, "tintwise-palette: %s: every value of this colour table lies in 0..63, as in a DOS-era game's VGA palette; "
                         "if it is one, read it with --vga\n", p.vga_file.c_str());
  }
  if (explorer) wait_for_enter();
  return written ? p.status : kExitWrite;
}
