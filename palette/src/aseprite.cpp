// Aseprite pictures (.aseprite, and .ase, which Adobe's swatches share; told
// apart by content): a 128-byte header (little-endian; the magic 0xA5E0 at
// byte 4, the colour depth at 12, the transparent index of an indexed sprite
// at 28), then frames, each a 16-byte header (its size, the magic 0xF1FA,
// its chunk count) and chunks (a size that counts its own 6-byte header, a
// type, the data). The palette is the first frame's, as Aseprite reads it:
//  - 0x2019, the palette chunk: the palette's size, the first and last index
//    it sets, 8 reserved bytes, then for each index flags (1: named), red,
//    green, blue, alpha, and a name (a 16-bit length and UTF-8);
//  - else the older chunks, 0x0004 (bytes 0..255) and the 6-bit one (0..63,
//    widened as Aseprite widens them, v << 2 | v >> 4): packets of a count
//    of indices to skip (added up over the packets), a count of colours (0
//    for 256), and the colours. The 6-bit chunk is FLI's COLOR_64 chunk,
//    type 11 (0x000B, as Aseprite's FLIC library, flic_details.h, and its
//    decoder number it), which old sprites hold; the format document
//    (docs/ase-file-specs.md) writes 0x0011. Both are read.
// No cel is decoded: every other chunk is skipped unread.
#include <vector>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

constexpr std::uint32_t kNewPalette = 0x2019, kOldPalette = 0x0004, kOldPalette6 = 0x000B, kOldPalette6Document = 0x0011;
constexpr std::uint32_t kMaxColours = 1 << 16;      // the largest palette believed
constexpr std::uint32_t kMaxPaletteChunk = 1 << 24; // 65,536 named colours fit

struct Colour {
  bool set;
  std::uint8_t rgb[3];
  std::string name;
};

// A palette chunk (0x2019) into `palette`; false, reported, if it is corrupt.
bool new_palette(Reader& r, const std::string& chunk, std::vector<Colour>& palette) {
  Cursor c{chunk, 0};
  if (!c.fits(20)) return report_file(r, "corrupt: a palette chunk shorter than its header"), false;
  const std::uint32_t size = c.le(4), first = c.le(4), last = c.le(4);
  c.at += 8;
  if (size > kMaxColours || first > last || last >= size) {
    return report_file(r, "corrupt: a palette chunk of " + std::to_string(size) + " colours that sets colours " + std::to_string(first) +
                              " to " + std::to_string(last)),
           false;
  }
  palette.resize(size);
  for (std::uint32_t i = first; i <= last; ++i) {
    if (!c.fits(6)) return report_file(r, "corrupt: the palette chunk ends inside colour " + std::to_string(i)), false;
    const std::uint32_t flags = c.le(2);
    Colour& e = palette[i];
    for (std::uint8_t& v : e.rgb) v = static_cast<std::uint8_t>(c.le(1));
    c.at += 1; // alpha
    e.set = true;
    e.name.clear();
    if (flags & 1) {
      const std::uint32_t length = c.fits(2) ? c.le(2) : 0x10000;
      if (!c.fits(length)) return report_file(r, "corrupt: the name of colour " + std::to_string(i) + " runs past its chunk"), false;
      e.name = clean_utf8(chunk.substr(c.at, length));
      c.at += length;
    }
  }
  return true;
}

// An old palette chunk (0x0004, or 0x0011 of 6-bit values) into `palette`.
bool old_palette(Reader& r, const std::string& chunk, bool six_bit, std::vector<Colour>& palette) {
  Cursor c{chunk, 0};
  if (!c.fits(2)) return report_file(r, "corrupt: an old palette chunk without its packet count"), false;
  std::uint32_t index = 0;
  for (std::uint32_t packets = c.le(2); packets > 0; --packets) {
    if (!c.fits(2)) return report_file(r, "corrupt: an old palette chunk ends inside a packet"), false;
    index += c.le(1);
    std::uint32_t count = c.le(1);
    count = count == 0 ? 256 : count;
    if (index + count > 256 || !c.fits(3 * std::uint64_t{count})) return report_file(r, "corrupt: an old palette chunk's packet runs past 256 colours or its chunk"), false;
    if (palette.size() < index + count) palette.resize(index + count);
    for (std::uint32_t i = index; i < index + count; ++i) {
      palette[i].set = true;
      for (std::uint8_t& v : palette[i].rgb) {
        v = static_cast<std::uint8_t>(c.le(1));
        if (six_bit && v > 63) return report_file(r, "corrupt: a 6-bit palette chunk with a value above 63"), false;
        if (six_bit) v = static_cast<std::uint8_t>(v << 2 | v >> 4);
      }
    }
  }
  return true;
}

} // namespace

void read_aseprite(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string head, chunk;
  if (!take_record(r.in, 128 + 16, head)) return report_file(r, "truncated: the file ends inside the Aseprite header or its first frame's");
  Cursor h{head, 6};
  const std::uint32_t frames = h.le(2);
  h.at = 12;
  const std::uint32_t depth = h.le(2);
  h.at = 28;
  const std::uint32_t transparent = h.le(1);
  h.at = 128;
  const std::uint32_t bytes = h.le(4), magic = h.le(2), old_count = h.le(2);
  h.at = 140;
  const std::uint32_t new_count = h.le(4), count = new_count != 0 ? new_count : old_count;
  if (frames == 0 || magic != 0xF1FA || bytes < 16) return report_file(r, "corrupt: the Aseprite file's first frame is not a frame");
  std::uint64_t left = bytes - 16; // of the first frame
  std::vector<Colour> palette;
  bool newer = false; // a palette chunk was read: old ones after it are ignored, as Aseprite ignores them
  for (std::uint32_t i = 0; i < count && !r.stopped; ++i) {
    if (left < 6 || !take_record(r.in, 6, chunk)) return report_file(r, "truncated or corrupt: the first frame ends inside its chunk " + std::to_string(i + 1));
    Cursor c{chunk, 0};
    const std::uint32_t size = c.le(4), type = c.le(2);
    if (size < 6 || size > left) return report_file(r, "corrupt: a chunk of the first frame runs past it");
    left -= size;
    const bool six_bit = type == kOldPalette6 || type == kOldPalette6Document;
    const bool wanted = type == kNewPalette || (!newer && (type == kOldPalette || six_bit));
    if (wanted && size - 6 > kMaxPaletteChunk) return report_file(r, "corrupt: a palette chunk of " + std::to_string(size) + " bytes");
    if (!wanted) {
      if (take(r.in, size - 6, nullptr) < size - 6) return report_file(r, "truncated: the file ends inside the first frame");
      continue;
    }
    if (!take_record(r.in, size - 6, chunk)) return report_file(r, "truncated: the file ends inside a palette chunk");
    if (type == kNewPalette && !newer) palette.clear(); // a new palette replaces what old chunks set
    const bool sound = type == kNewPalette ? new_palette(r, chunk, palette) : old_palette(r, chunk, six_bit, palette);
    if (!sound) return;
    newer = newer || type == kNewPalette;
  }
  if (palette.empty()) return report_file(r, "not a palette: an Aseprite file whose first frame has no palette");
  for (std::uint32_t i = 0; i < palette.size() && !r.stopped; ++i) {
    Colour& e = palette[i];
    if (!e.set) {
      report(r, i, "not in the file: the palette chunks set no colour here");
      continue;
    }
    // The transparent index of an indexed sprite, named as in an .act.
    if (depth == 8 && i == transparent) e.name = e.name.empty() ? "transparent" : e.name + " (transparent)";
    deliver(r, i, e.rgb, std::move(e.name));
  }
}

} // namespace palette_reader
} // namespace tintwise
