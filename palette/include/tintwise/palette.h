// Palette files as people have them: text palettes (GIMP .gpl, JASC .pal,
// Paint.NET .txt, lines of hex codes, R G B or CSS rgb(), in UTF-8 or UTF-16),
// Adobe .ase, .aco and .act, Windows RIFF .pal, LibreOffice .soc and Scribus
// swatches, Krita .kpl and Procreate .swatches (zip archives), the palette of
// an Aseprite picture, the colour tables of indexed PNG, GIF, BMP and PCX
// pictures, and the palettes of the game's packages (textures, maps); or
// every colour written anywhere in a text (find mode).
// The format is told from the content, never from a file name. Every file is
// hostile until read: each length and count is checked against what is there,
// a line or record too long to be a palette's is reported and skipped, and
// reading streams, so memory stays the same however large the input.
// Depends on nothing but the standard library: a zip archive's deflated
// entries are inflated by a function the caller gives (PaletteOptions).
#ifndef TINTWISE_PALETTE_H
#define TINTWISE_PALETTE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tintwise {

enum class PaletteFormat {
  empty, plain, gimp, jasc, ase, aco, act, riff, soc, scribus, png, gif, bmp, pcx,
  kpl, swatches, aseprite,
  package,    // the game's package (textures, a map): its Palette objects
  vga,        // a 768-byte table of 6-bit values, read so on request (PaletteOptions::vga)
  found,      // find mode: colours written in a text
  not_palette // reported once as a whole (a photo, an archive, binary data)
};

// What an entry's number counts.
enum class PaletteUnit : std::uint8_t {
  line,  // a line of text, from 1
  block, // a block of an .ase file, from 1
  index, // an index in a colour table (.act, .aco, RIFF, pictures), from 0
  file   // nothing: the reason is about the file as a whole
};

// One entry of a palette: a colour that was read, or a reason it was not.
struct PaletteEntry {
  std::uint64_t line; // where it is, counted in `unit`
  PaletteUnit unit;
  bool read;          // a colour was read; otherwise `reason` says why not
  std::uint8_t red, green, blue;
  std::string name;   // valid UTF-8 without control characters; may be empty
  std::string reason; // when not read
};

// Where the bytes come from. `read` fills buf with up to `size` bytes and
// returns how many, 0 only at the end. `ready`, if given, says whether a read
// would return at once: a terminal waiting for a line, or a pipe whose writer
// has paused, would not, and the reader then tells the format from what has
// come instead of waiting for more.
// A file that can be read anywhere (a regular file) may give `read_at` (the
// `n` bytes at `at` into `out`, false where they cannot be read) and its
// `size`: the game's packages are then read only where their palettes are.
struct PaletteSource {
  std::size_t (*read)(void* context, char* buf, std::size_t size);
  void* context;
  bool (*ready)(void* context);
  bool (*read_at)(void* context, std::uint64_t at, std::size_t n, std::string& out) = nullptr;
  std::uint64_t size = 0;
};

// Takes each entry in order; returning false stops the reading.
using PaletteSink = bool (*)(void* context, const PaletteEntry& entry);

enum class PaletteMode {
  palette, // a palette file of any format above
  find     // every colour written in the text of each line; binary palettes as above
};

// Inflates raw deflate data (a zip entry's, `size` bytes at `data`) into
// `out`, which it fills with at most `limit` bytes.
enum class Inflated {
  done,        // all of it, in `out`
  corrupt,     // not deflate data, or cut short
  too_large,   // it inflates past `limit`
  unavailable  // no inflater here (the page's first pass, before the browser has inflated it)
};
using PaletteInflate = Inflated (*)(void* context, const unsigned char* data, std::size_t size, std::size_t limit,
                                    std::string& out);

struct PaletteOptions {
  PaletteMode mode = PaletteMode::palette;
  // Read a Photoshop colour table of 768 or 772 bytes as a DOS-era VGA
  // palette: 6-bit values 0..63, each scaled to round(v x 255 / 63).
  bool vga = false;
  // What inflates a zip archive's deflated entries; without it, they are
  // reported as not read.
  PaletteInflate inflate = nullptr;
  void* inflate_context = nullptr;
};

// Reads a whole palette from `source`, handing every entry to `sink`, and
// returns the format it found. Nothing is dropped silently: what cannot be
// read reaches the sink with its place and reason, and reading goes on.
PaletteFormat read_palette(const PaletteSource& source, PaletteSink sink, void* sink_context,
                           const PaletteOptions& options);
PaletteFormat read_palette(const PaletteSource& source, PaletteSink sink, void* sink_context,
                           PaletteMode mode = PaletteMode::palette);

// The most a zip archive may hold, and the most one of its entries may
// inflate to (nor past 1,000 times its compressed size): no palette comes near.
constexpr std::size_t kPaletteMaxArchive = std::size_t{64} << 20;

// The CRC-32 of zip archives (and PNG), continuing from `crc` (0 to begin).
std::uint32_t crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

// The longest line read as text (in find mode, kPaletteMaxFindLine); a longer
// one is reported and skipped.
constexpr std::size_t kPaletteMaxLine = 4096;
constexpr std::size_t kPaletteMaxFindLine = 1 << 20;

// `text` as valid UTF-8 without control characters: each byte that does not
// begin a well-formed sequence becomes U+FFFD, each control character a blank.
std::string clean_utf8(const std::string& text);

const char* palette_format_name(PaletteFormat format);

} // namespace tintwise

#endif
