// The dispatcher: tells a palette's format from its first bytes, as file(1)
// does, and hands the input to that format's reader. A file of no known
// format that is not text is reported once, as a whole.
#include <cstring>

#include "reader.h"

namespace tintwise {

using namespace palette_reader;

namespace {

bool starts(const unsigned char* p, std::size_t n, const char* magic, std::size_t len) {
  return n >= len && std::memcmp(p, magic, len) == 0;
}

// Whether the bytes so far could still be the start of a magic number that
// needs more of them to be told.
bool could_be_magic(const unsigned char* p, std::size_t n) {
  const char* const magics[] = {"ASEF", "RIFF", "\x89PNG\r\n\x1a\n", "GIF8", "BM", "PK\x03\x04", "\xFF\xD8\xFF"};
  for (const char* m : magics) {
    const std::size_t len = std::strlen(m);
    if (n < len && std::memcmp(p, m, n) == 0) return true;
  }
  return n < 18 && starts(p, n, "BM", 2); // a BMP is told by its info header's size, at 14
}

bool bmp_info(const unsigned char* p) {
  std::uint32_t size = 0;
  for (int i = 17; i >= 14; --i) size = size << 8 | p[i];
  for (const std::uint32_t known : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    if (size == known) return true;
  }
  return false;
}

// A PCX header: 10, a version (0, 2, 3, 4 or 5), RLE encoding, and 1, 2, 4 or 8
// bits a pixel a plane.
bool pcx(const unsigned char* p, std::size_t n) {
  return n >= 4 && p[0] == 10 && p[1] <= 5 && p[1] != 1 && p[2] == 1 && (p[3] == 1 || p[3] == 2 || p[3] == 4 || p[3] == 8);
}

constexpr std::size_t kSniff = 4096; // the bytes that tell text from binary data

// Text: XML (which begins, after a byte order mark and blanks, with "<"), or
// lines. Find mode reads XML as text like any other.
PaletteFormat read_text_or_xml(Reader& r, PaletteMode mode) {
  gather(r.in, kSniff, false);
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
  Input in = make_input(source);
  Reader r{in, sink, sink_context, PaletteUnit::line, false, 0, 0, {}};
  // Enough bytes to tell the format, without waiting for more where the
  // source has none ready (a person typing colours at a terminal).
  gather(in, 1);
  while (could_be_magic(peek(in), buffered(in)) && !in.ended) gather(in, buffered(in) + 1);
  gather(in, kSniff, false);
  const unsigned char* p = peek(in);
  const std::size_t n = buffered(in);
  if (n == 0) return PaletteFormat::empty;

  struct Binary {
    const char* magic;
    std::size_t len;
    PaletteFormat format;
    void (*read)(Reader&);
  };
  const Binary binaries[] = {
      {"ASEF", 4, PaletteFormat::ase, read_ase},
      {"\x89PNG\r\n\x1a\n", 8, PaletteFormat::png, read_png},
      {"GIF87a", 6, PaletteFormat::gif, read_gif},
      {"GIF89a", 6, PaletteFormat::gif, read_gif},
  };
  for (const Binary& b : binaries) {
    if (starts(p, n, b.magic, b.len)) return b.read(r), b.format;
  }
  if (starts(p, n, "RIFF", 4) && n >= 12 && std::memcmp(p + 8, "PAL ", 4) == 0) return read_riff(r), PaletteFormat::riff;
  if (n >= 18 && starts(p, n, "BM", 2) && bmp_info(p)) return read_bmp(r), PaletteFormat::bmp;
  if (pcx(p, n)) return read_pcx(r), PaletteFormat::pcx;
  if (n >= 4 && p[0] == 0 && (p[1] == 1 || p[1] == 2)) return read_aco(r), PaletteFormat::aco;

  const char* other = starts(p, n, "\xFF\xD8\xFF", 3)                                          ? "a JPEG picture"
                      : starts(p, n, "RIFF", 4) && n >= 12 && std::memcmp(p + 8, "WEBP", 4) == 0 ? "a WebP picture"
                      : starts(p, n, "PK\x03\x04", 4) ? nullptr
                                                      : "";
  if (!other) {
    report_file(r, "not a palette: a zip archive, such as a Krita .kpl or SwatchBooker .sbz palette; export the palette as "
                   "GIMP .gpl or Adobe .ase, and convert that");
    return PaletteFormat::not_palette;
  }
  if (*other) {
    report_file(r, std::string("not a palette: ") + other + " has no colour table; pick or list its colours on the Tintwise page");
    return PaletteFormat::not_palette;
  }

  // Text in UTF-16 with its byte order mark reads as the same text in UTF-8.
  if (starts(p, n, "\xFF\xFE", 2) || starts(p, n, "\xFE\xFF", 2)) {
    Utf16 decoder{&in, p[0] == 0xFE, {}, 0};
    in.pos += 2;
    Input text = make_input(utf16_source(decoder));
    Reader tr{text, sink, sink_context, PaletteUnit::line, false, 0, 0, {}};
    return read_text_or_xml(tr, mode);
  }
  if (const char* why = not_text(p, n, in.ended)) {
    // Photoshop's colour table has no magic: 768 bytes of RGB, or 772 with a
    // count and a transparent index; told by that size and bytes that are not
    // text (a text palette of that size stays text).
    gather(in, 773);
    if (in.ended && (buffered(in) == 768 || buffered(in) == 772)) return read_act(r), PaletteFormat::act;
    report_file(r, std::string("not a palette: binary data of no known format (") + why + ")");
    return PaletteFormat::not_palette;
  }
  return read_text_or_xml(r, mode);
}

const char* palette_format_name(PaletteFormat format) {
  const char* const names[] = {"empty", "plain", "gimp", "jasc", "ase", "aco", "act", "riff", "soc",
                               "scribus", "png", "gif", "bmp", "pcx", "found", "not a palette"};
  const auto i = static_cast<std::size_t>(format);
  return i < sizeof names / sizeof names[0] ? names[i] : "empty";
}

} // namespace tintwise
