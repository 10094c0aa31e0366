// What every format's reader shares: the input through a fixed buffer, lines
// of text, fields of binary records checked against what is there, UTF-8 and
// UTF-16 text, and the entries handed to the caller. Nothing here grows with
// the input: a reader holds at most a line, a block or a record, each capped.
#ifndef TINTWISE_PALETTE_READER_H
#define TINTWISE_PALETTE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "tintwise/palette.h"

namespace tintwise {
namespace palette_reader {

// --- Input -------------------------------------------------------------------

struct Input {
  PaletteSource source;
  std::size_t pos, len;
  bool ended;
  bool after_cr; // the last line read ended in a carriage return
  char buf[16384];
};

Input make_input(const PaletteSource& source);

// Whether a byte is left, reading more if need be.
bool available(Input& in);

// Makes the next `n` bytes (n <= the buffer) lie together in the buffer, unless
// the input ends first. With `patient` false it also stops, once a byte is
// there, when the source has nothing more ready (a terminal between lines).
void gather(Input& in, std::size_t n, bool patient = true);

std::size_t buffered(const Input& in);
const unsigned char* peek(const Input& in);

// Appends the next `n` bytes to `out` (or skips them when out is null);
// returns how many there were.
std::size_t take(Input& in, std::uint64_t n, std::string* out);

// One line of text without its end (LF, CR LF, or CR alone); Ctrl-Z bytes that
// end the input are dropped. Only its first `max` bytes are kept; the rest is
// read and dropped.
struct Line {
  std::string text;
  bool too_long;
};
bool read_line(Input& in, Line& line, std::size_t max = kPaletteMaxLine);

// --- Entries -----------------------------------------------------------------

struct Reader {
  Input& in;
  PaletteSink sink;
  void* context;
  PaletteUnit unit; // what the format numbers its entries by
  bool stopped;
  std::uint64_t delivered, reported; // entries so far
  PaletteEntry entry;
  bool no_palette = false; // a reader found, reading on, that the file is no palette (and said so once)
  std::uint8_t utf16 = 0;  // the text was decoded from UTF-16: 1 little-endian, 2 big-endian
  const PaletteOptions* options = nullptr;
};

// A reason an entry (at `where`, in the reader's unit) was not read.
void report(Reader& r, std::uint64_t where, std::string reason);
// A reason about the file as a whole.
void report_file(Reader& r, std::string reason);
void deliver(Reader& r, std::uint64_t where, const std::uint8_t rgb[3], std::string name);

// --- Binary fields -----------------------------------------------------------

// Fields of a record held in memory, every read checked first with fits().
struct Cursor {
  const std::string& data;
  std::size_t at;
  bool fits(std::uint64_t n) const { return n <= data.size() - at; }
  std::uint32_t be(std::size_t n); // n bytes, big-endian (n <= 4)
  std::uint32_t le(std::size_t n); // n bytes, little-endian
};

// The next `n` bytes as a record; false (with nothing taken past the end) if
// the input ends first.
bool take_record(Input& in, std::size_t n, std::string& record);

// --- Text --------------------------------------------------------------------

constexpr std::uint32_t kReplacement = 0xFFFD;
void append_utf8(std::string& out, std::uint32_t code);

// `units` UTF-16 code units at the cursor (after fits(2 * units)), up to the
// first NUL; unpaired surrogates become U+FFFD; then cleaned.
std::string utf16_name(Cursor& c, std::uint32_t units, bool big_endian);

// Why the first bytes of an input are not text, or null if they are: a NUL in
// the first line, control characters in more than 1 byte of 20, or bytes that
// are not UTF-8 in more than 1 of 10. `complete`: the bytes are the whole
// input (else a UTF-8 sequence cut at the end is not held against them).
const char* not_text(const unsigned char* bytes, std::size_t n, bool complete);

// Whether text is well-formed UTF-8 throughout.
bool valid_utf8(const std::string& text);

// Whether bytes are text without doubt: well-formed UTF-8 throughout, with no
// control character but the tab.
bool clean_text(const unsigned char* bytes, std::size_t n);

// --- The formats ---------------------------------------------------------------

// Each reads from what the dispatcher has left in the input, and reports its
// own problems; text formats return the format they found.
PaletteFormat read_text(Reader& r, PaletteMode mode);
// Whether a line, as a person would type it, holds a colour (or in find mode
// what may be one) or begins a palette (GIMP's or JASC's header): what lets
// the dispatcher read text at once rather than wait for more.
bool palette_line(const std::string& line, PaletteMode mode);
PaletteFormat read_xml(Reader& r);
void read_ase(Reader& r);
void read_act(Reader& r);
void read_aco(Reader& r);
void read_riff(Reader& r);
void read_png(Reader& r);
void read_gif(Reader& r);
void read_bmp(Reader& r);
void read_pcx(Reader& r);
// A zip archive: a Krita .kpl or a Procreate .swatches, read through the
// XML reader or the JSON one; any other is reported as not a palette.
PaletteFormat read_zip(Reader& r);
// Swatches.json of a Procreate .swatches, held whole.
void read_procreate(Reader& r, const std::string& json);
void read_aseprite(Reader& r);
// The game's package (textures, a map): its Palette objects, held whole.
PaletteFormat read_utx(Reader& r);

// HSB to RGB, the standard way: hue a turn (0..1, 1 the same as 0),
// saturation and brightness 0..1; each channel then round(c x 255).
void hsb_rgb(double hue, double saturation, double brightness, std::uint8_t rgb[3]);

// Bytes held in memory as a source (an archive's entry).
struct Memory {
  const std::string* bytes;
  std::size_t at;
};
PaletteSource memory_source(Memory& memory);

// Text in UTF-16 with its byte order mark: `text` reads from `raw` through it,
// as UTF-8.
struct Utf16 {
  Input* raw;
  bool big_endian;
  char pending[4]; // UTF-8 of a code point that did not fit the last read
  std::size_t pending_len;
};
PaletteSource utf16_source(Utf16& decoder);

} // namespace palette_reader
} // namespace tintwise

#endif
