// The dispatcher: tells a palette's format from its content, as file(1) does,
// and hands the input to that format's reader. In this order:
//  1. a strong signature decides alone, once the header it begins is sound:
//     PNG, GIF, RIFF "PAL " (and "WEBP", a picture), "ASEF", Aseprite's
//     0xA5E0, a BMP with a known info header, JPEG, zip, the game's package
//     tag (0x9E2A83C1);
//  2. a weak one only when the rest of its structure fits: an Adobe .aco
//     (version 1 or 2) whose records fit the file, a PCX whose header fields
//     agree with one another;
//  3. text in UTF-16 with its byte order mark;
//  4. what is not text: a Photoshop colour table (.act) when it is 768 or 772
//     bytes, else reported once as a whole;
//  5. text: XML when it begins (after a byte order mark and blanks) with "<",
//     else lines.
// A whole file of 768 or 772 bytes that is not text is a colour table before
// it is a cut .aco, or UTF-16 that is not mostly plain text: a table's first
// colour may be 0xFEFF or 0xFFFE, or 0x0001 or 0x0002 followed by black.
// The format is told from the bytes, never from their timing: the reader
// waits for its whole sniffing window, or the end, unless what has come so
// far is whole lines of plain text, one of which holds a colour or a
// palette's header (a person typing at a terminal, or a script waiting for
// each answer), which no binary format or XML begins with.
#include <cstring>

#include "reader.h"

namespace tintwise {

using namespace palette_reader;

namespace {

constexpr std::size_t kSniff = 4096; // the bytes that tell text from binary data

bool starts(const unsigned char* p, std::size_t n, const char* magic, std::size_t len) {
  return n >= len && std::memcmp(p, magic, len) == 0;
}
std::uint32_t le(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
std::uint32_t be(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

// Magic numbers that text typed by a person never begins with.
bool begins_magic(const unsigned char* p, std::size_t n) {
  const char* const magics[] = {"ASEF", "RIFF", "\x89PNG", "GIF8", "PK\x03\x04", "\xFF\xD8", "BM", "\xC1\x83\x2A\x9E"};
  for (const char* m : magics) {
    const std::size_t len = std::strlen(m);
    if (std::memcmp(p, m, n < len ? n : len) == 0) return true;
  }
  return false;
}

// Whether the bytes so far are whole lines of plain text (after a UTF-8 byte
// order mark), one of which holds a colour or a palette's header: what a
// person types, which may be read at once. A binary file whose first bytes
// happen to end in a line feed is not taken for text by one pause.
bool typed_text(const unsigned char* p, std::size_t n, PaletteMode mode) {
  std::size_t i = starts(p, n, "\xEF\xBB\xBF", 3) ? 3 : 0;
  while (i < n && (p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n')) ++i;
  if (i == n || p[i] == '<' || begins_magic(p, n)) return false;
  bool colour = false;
  for (std::size_t end = i; !colour; i = ++end) {
    while (end < n && p[end] != '\n' && p[end] != '\r') ++end;
    if (end == n || !clean_text(p + i, end - i)) return false;
    colour = palette_line(std::string(reinterpret_cast<const char*>(p + i), end - i), mode);
  }
  return true;
}

// Fills the input's window: all of it, or up to the end, unless a person is
// typing. Returns true when the format is told from typed lines.
bool sniff(Input& in, PaletteMode mode) {
  for (;;) {
    gather(in, kSniff, false);
    const std::size_t n = buffered(in);
    if (n >= kSniff || in.ended) return false;
    if (typed_text(peek(in), n, mode)) return true;
    gather(in, n + 1);
  }
}

// A BMP: "BM", then an info header of a known size whose planes are 1 and
// whose bits a pixel are a depth BMP has.
bool bmp(const unsigned char* p, std::size_t n) {
  if (n < 30 || !starts(p, n, "BM", 2)) return false;
  const std::uint32_t info = le(p + 14, 4);
  bool known = false;
  for (const std::uint32_t size : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) known = known || info == size;
  const unsigned char* planes = p + (info == 12 ? 22 : 26);
  const std::uint32_t bits = le(planes + 2, 2);
  return known && le(planes, 2) == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// A JPEG: its start, then a marker segment whose length leads to the next
// marker (where the bytes so far reach it).
bool jpeg(const unsigned char* p, std::size_t n, bool whole) {
  if (n < 6 || !starts(p, n, "\xFF\xD8\xFF", 3) || p[3] == 0 || p[3] == 0xFF || p[3] == 0xD8) return false;
  const std::size_t next = 4 + std::size_t{be(p + 4, 2)};
  return be(p + 4, 2) >= 2 && (next < n ? p[next] == 0xFF : !whole);
}

// A zip archive: its first entry's signature and a version it needs below
// 256, or (an empty archive) only an end record with its comment.
bool zip(const unsigned char* p, std::size_t n, bool whole) {
  return (n >= 6 && starts(p, n, "PK\x03\x04", 4) && p[5] == 0) || (whole && n >= 22 && starts(p, n, "PK\x05\x06", 4) && le(p + 20, 2) == n - 22);
}

// An Aseprite picture: the magic 0xA5E0 at byte 4, a colour depth of 8, 16
// or 32 bits, and the first frame's magic 0xF1FA where the header ends.
bool aseprite(const unsigned char* p, std::size_t n) {
  const std::uint32_t depth = n >= 144 ? le(p + 12, 2) : 0;
  return (depth == 8 || depth == 16 || depth == 32) && le(p + 4, 2) == 0xA5E0 && le(p + 132, 2) == 0xF1FA;
}

// An .aco section at p[at] (a version, a count, then that many records of
// 10 bytes, each followed in version 2 by a name's length and its UTF-16
// units): whether each record held is of a colour space Photoshop has (0, RGB,
// to 10, HKS) with a name of at most 1,024 units; `end` is set where the
// section ends, which may lie past the bytes held.
bool aco_section(const unsigned char* p, std::size_t n, std::size_t at, std::size_t& end) {
  const bool v2 = p[at + 1] == 2;
  const std::uint32_t count = be(p + at + 2, 2);
  at += 4;
  for (std::uint32_t i = 0; i < count && at < n; ++i) {
    if (n - at >= 2 && be(p + at, 2) > 10) return false;
    at += 10;
    const std::uint32_t units = v2 && n >= 4 && at <= n - 4 ? be(p + at, 4) : 0;
    if (units > 1024) return false;
    at += v2 ? 4 + 2 * std::size_t{units} : 0;
  }
  end = at;
  return true;
}

// An .aco: version 1 or 2 whose records are sound and end where the file
// ends (or run past it: a cut file, which the reader reports as such), or a
// version 1 followed by a version-2 section of the same count that does. Data
// after them is not an .aco: a Photoshop colour table whose first bytes look
// like one stays a table. `whole`: the bytes are the whole file (else what
// lies past them is the reader's to check).
enum class Aco { no, cut, fits };
Aco aco(const unsigned char* p, std::size_t n, bool whole) {
  std::size_t end;
  if (n < 4 || p[0] != 0 || (p[1] != 1 && p[1] != 2) || !aco_section(p, n, 0, end)) return Aco::no;
  if (end >= n) return end > n ? Aco::cut : Aco::fits;
  if (!whole && n - end < 4 && p[1] == 1) return Aco::fits;
  if (p[1] == 2 || n - end < 4 || p[end] != 0 || p[end + 1] != 2 || be(p + end + 2, 2) != be(p + 2, 2)) return Aco::no;
  if (!aco_section(p, n, end, end) || end < n) return Aco::no;
  return end > n ? Aco::cut : Aco::fits;
}

// A PCX: 10, a version (0, 2, 3, 4 or 5), RLE encoding, 1, 2, 4 or 8 bits a
// pixel a plane, a window whose corners are in order, a reserved byte of 0,
// 1 to 4 planes, lines long enough for the window's width, and something
// after the header.
bool pcx(const unsigned char* p, std::size_t n, bool whole) {
  if (n < 128 || p[0] != 10 || p[1] > 5 || p[1] == 1 || p[2] != 1 || (p[3] != 1 && p[3] != 2 && p[3] != 4 && p[3] != 8)) return false;
  const std::uint32_t x0 = le(p + 4, 2), y0 = le(p + 6, 2), x1 = le(p + 8, 2), y1 = le(p + 10, 2), line = le(p + 66, 2);
  return x1 >= x0 && y1 >= y0 && p[64] == 0 && p[65] >= 1 && p[65] <= 4 && line >= ((x1 - x0 + 1) * p[3] + 7) / 8 && (!whole || n > 128);
}

// Whether text in UTF-16 (after its byte order mark) is text, by its first
// units; `plain`: mostly plain text too (at least half of them printable
// ASCII), as a text palette is and a colour table's bytes are not.
bool utf16_text(const unsigned char* p, std::size_t n, bool big_endian, bool plain) {
  std::string utf8;
  std::size_t ascii = 0, units = 0;
  for (std::size_t i = 0; i + 1 < n && i < kSniff; i += 2, ++units) {
    const std::uint32_t unit = big_endian ? be(p + i, 2) : le(p + i, 2);
    ascii += (unit >= 0x20 && unit < 0x7F) || unit == '\t' || unit == '\n' || unit == '\r';
    append_utf8(utf8, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit); // a pair's halves count as one character each
  }
  return !not_text(reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), false) && (!plain || 2 * ascii >= units);
}

// Text: XML (which begins, after a byte order mark and blanks, with "<"), or
// lines. Find mode reads XML as text like any other.
PaletteFormat read_text_or_xml(Reader& r, PaletteMode mode) {
  sniff(r.in, mode);
  const unsigned char* p = peek(r.in);
  const std::size_t n = buffered(r.in), bom = starts(p, n, "\xEF\xBB\xBF", 3) ? 3 : 0;
  std::size_t i = bom;
  while (i < n && (p[i] == ' ' || p[i] == '\t' || p[i] == '\r' || p[i] == '\n')) ++i;
  if (mode == PaletteMode::find || i == n || p[i] != '<') return read_text(r, mode);
  r.in.pos += bom;
  return read_xml(r);
}

} // namespace

PaletteFormat read_palette(const PaletteSource& source, PaletteSink sink, void* sink_context, PaletteMode mode) {
  PaletteOptions options;
  options.mode = mode;
  return read_palette(source, sink, sink_context, options);
}

PaletteFormat read_palette(const PaletteSource& source, PaletteSink sink, void* sink_context, const PaletteOptions& options) {
  const PaletteMode mode = options.mode;
  Input in = make_input(source);
  Reader r{in, sink, sink_context, PaletteUnit::line, false, 0, 0, {}};
  r.options = &options;
  gather(in, 1);
  if (buffered(in) == 0) return report_file(r, "empty: it holds nothing to read"), PaletteFormat::empty;
  if (!sniff(in, mode)) gather(in, sizeof in.buf); // binary formats are told from all the buffer holds
  const unsigned char* p = peek(in);
  const std::size_t n = buffered(in);
  const bool whole = in.ended; // the bytes held are the whole file
  // A whole file the size of a Photoshop colour table that is not text.
  const bool table = whole && (n == 768 || n == 772) && not_text(p, n, true);

  struct Binary {
    bool found;
    PaletteFormat format;
    void (*read)(Reader&);
  };
  const Binary strong[] = {
      {starts(p, n, "\x89PNG\r\n\x1a\n", 8), PaletteFormat::png, read_png},
      {starts(p, n, "GIF87a", 6) || starts(p, n, "GIF89a", 6), PaletteFormat::gif, read_gif},
      {starts(p, n, "RIFF", 4) && n >= 12 && std::memcmp(p + 8, "PAL ", 4) == 0, PaletteFormat::riff, read_riff},
      {starts(p, n, "ASEF", 4), PaletteFormat::ase, read_ase},
      {aseprite(p, n), PaletteFormat::aseprite, read_aseprite},
      {bmp(p, n), PaletteFormat::bmp, read_bmp},
  };
  for (const Binary& b : strong) {
    if (b.found) return b.read(r), r.no_palette ? PaletteFormat::not_palette : b.format;
  }
  const char* picture = jpeg(p, n, whole) ? "a JPEG picture" : starts(p, n, "RIFF", 4) && n >= 12 && std::memcmp(p + 8, "WEBP", 4) == 0 ? "a WebP picture" : nullptr;
  if (picture) {
    report_file(r, std::string("not a palette: ") + picture + " has no colour table; pick or list its colours on the Tintwise page");
    return PaletteFormat::not_palette;
  }
  if (zip(p, n, whole)) return read_zip(r);
  if (starts(p, n, "\xC1\x83\x2A\x9E", 4)) return read_utx(r);
  const Aco aco_found = aco(p, n, whole);
  const Binary weak[] = {{aco_found == Aco::fits || (aco_found == Aco::cut && !table), PaletteFormat::aco, read_aco},
                         {pcx(p, n, whole), PaletteFormat::pcx, read_pcx}};
  for (const Binary& b : weak) {
    if (b.found) return b.read(r), r.no_palette ? PaletteFormat::not_palette : b.format;
  }

  // Text in UTF-16 with its byte order mark reads as the same text in UTF-8.
  const bool utf16 = (starts(p, n, "\xFF\xFE", 2) || starts(p, n, "\xFE\xFF", 2)) && utf16_text(p + 2, n - 2, p[0] == 0xFE, table);
  if (utf16) {
    Utf16 decoder{&in, p[0] == 0xFE, {}, 0};
    in.pos += 2;
    Input text = make_input(utf16_source(decoder));
    Reader tr{text, sink, sink_context, PaletteUnit::line, false, 0, 0, {}};
    tr.options = &options;
    tr.utf16 = p[0] == 0xFE ? 2 : 1;
    return read_text_or_xml(tr, mode);
  }
  if (const char* why = not_text(p, n < kSniff ? n : kSniff, whole && n <= kSniff)) {
    // Photoshop's colour table has no magic: 768 bytes of RGB, or 772 with a
    // count and a transparent index; told by that size and bytes that are not
    // text (a text palette of that size stays text).
    if (table) return read_act(r), options.vga ? PaletteFormat::vga : PaletteFormat::act;
    const char* hint = n >= 4 && p[0] == 0 && (p[1] == 1 || p[1] == 2) ? "; it begins like an Adobe .aco, but its records do not fit its size"
                       : n >= 4 && p[0] == 10 && p[2] == 1                ? "; it begins like a PCX, but its header does not hold together"
                                                                          : "";
    report_file(r, std::string("not a palette: binary data of no known format (") + why + ")" + hint);
    return PaletteFormat::not_palette;
  }
  return read_text_or_xml(r, mode);
}

const char* palette_format_name(PaletteFormat format) {
  const char* const names[] = {"empty", "plain", "gimp", "jasc", "ase", "aco", "act", "riff", "soc", "scribus", "png", "gif",
                               "bmp", "pcx", "kpl", "swatches", "aseprite", "package", "vga", "found", "not a palette"};
  const auto i = static_cast<std::size_t>(format);
  return i < sizeof names / sizeof names[0] ? names[i] : "empty";
}

} // namespace tintwise
