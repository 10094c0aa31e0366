// Palette files as people have them: GIMP .gpl, JASC .pal, Paint.NET .txt,
// Adobe .ase, and plain lines of hex codes, R G B, R,G,B or CSS rgb(...).
// The format is told from the content, never from a file name. Every file is
// hostile until read: each length is checked against what is there, a line
// or block too long to be a palette's is reported and skipped, and reading
// streams, so memory stays the same however large the input.
// Depends on nothing but the standard library.
#ifndef TINTWISE_PALETTE_H
#define TINTWISE_PALETTE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tintwise {

enum class PaletteFormat { empty, plain, gimp, jasc, ase };

// One entry of a palette: a colour that was read, or a reason it was not.
struct PaletteEntry {
  std::uint64_t line;  // its line, from 1; in an .ase file its block number
  bool read;           // a colour was read; otherwise `reason` says why not
  std::uint8_t red, green, blue;
  std::string name;    // valid UTF-8 without control characters; may be empty
  std::string reason;  // when not read
};

// Fills buf with up to `size` bytes of the input; returns how many, 0 at the
// end (a source reports its own read errors: the reader sees only the end).
using PaletteSource = std::size_t (*)(void* context, char* buf, std::size_t size);

// Takes each entry in order; returning false stops the reading.
using PaletteSink = bool (*)(void* context, const PaletteEntry& entry);

// Reads a whole palette from `source`, handing every entry to `sink`, and
// returns the format it found. Nothing is dropped silently: what cannot be
// read reaches the sink with its line and reason, and reading goes on.
PaletteFormat read_palette(PaletteSource source, void* source_context, PaletteSink sink, void* sink_context);

// The longest line read as text; a longer one is reported and skipped.
constexpr std::size_t kPaletteMaxLine = 4096;

// `text` as valid UTF-8 without control characters: each byte that does not
// begin a well-formed sequence becomes U+FFFD, each control character a blank.
std::string clean_utf8(const std::string& text);

const char* palette_format_name(PaletteFormat format);

} // namespace tintwise

#endif
