// The colour tables of indexed pictures: PNG (PLTE of colour type 3), GIF
// (the table its first picture shows), BMP (8 bits a pixel or fewer, Windows
// and OS/2 headers) and PCX (the header palette of a picture of up to 16
// colours, or the 256-colour table after the pixels of an 8-bit one). Every entry in stored order,
// numbered from 0 as its palette index; no pixel is decoded, and what lies
// between the header and the table is skipped without being held.
#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

constexpr const char kTrueColour[] = " has no colour table; pick or list its colours on the Tintwise page, or save it as an indexed (8-bit) picture";

// The entries of a table held in `bytes`, each `size` bytes: red, green,
// blue first, or blue, green, red with `bgr`.
void deliver_table(Reader& r, const std::string& bytes, std::size_t size, bool bgr) {
  for (std::size_t i = 0; i + size <= bytes.size() && !r.stopped; i += size) {
    const auto byte = [&bytes, i](std::size_t k) { return static_cast<std::uint8_t>(bytes[i + k]); };
    const std::uint8_t rgb[3] = {byte(bgr ? 2 : 0), byte(1), byte(bgr ? 0 : 2)};
    deliver(r, i / size, rgb, "");
  }
}

// The next `count` entries (at most 256 of at most 4 bytes) from the input;
// a table cut short is reported where it ends.
void table(Reader& r, std::uint32_t count, std::size_t size, bool bgr) {
  std::string bytes;
  const bool whole = take_record(r.in, count * size, bytes);
  deliver_table(r, bytes, size, bgr);
  if (!whole) report(r, bytes.size() / size, "truncated: the file ends inside colour " + std::to_string(bytes.size() / size));
}

} // namespace

// Reads a chunk's data and CRC (`length` + 4 bytes) into `data`, checked
// against the CRC; false, with the reason reported, if it is cut short or
// does not match.
bool checked_chunk(Reader& r, const std::string& type, std::uint32_t length, std::string& data) {
  std::string crc;
  if (!take_record(r.in, length, data) || !take_record(r.in, 4, crc)) {
    return report_file(r, "truncated: the file ends inside the " + type + " chunk"), false;
  }
  Cursor c{crc, 0};
  if (crc32(data.data(), data.size(), crc32(type.data(), type.size())) != c.be(4)) return report_file(r, "corrupt: the " + type + " chunk's checksum (CRC) does not match, so none of it is read"), false;
  return true;
}

// PNG: the signature, then chunks of a length, a type, the data and a CRC.
// IHDR comes first; an indexed picture (colour type 3) has its PLTE before
// its first IDAT. Both are read only if their CRC matches. Reading stops at
// PLTE: nothing after it is needed.
void read_png(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string chunk;
  take_record(r.in, 8, chunk); // the signature, which the dispatcher saw
  for (bool first = true;; first = false) {
    if (!take_record(r.in, 8, chunk)) return report_file(r, "truncated: the PNG ends before its colour table");
    Cursor c{chunk, 0};
    const std::uint32_t length = c.be(4);
    const std::string type = chunk.substr(4, 4);
    if (length > 0x7FFFFFFF) return report_file(r, "corrupt: a PNG chunk of " + std::to_string(length) + " bytes");
    if (first != (type == "IHDR")) return report_file(r, "corrupt: a PNG that does not begin with its IHDR chunk");
    if (type == "IHDR") {
      if (length != 13) return report_file(r, "corrupt: a PNG header (IHDR) of the wrong size");
      if (!checked_chunk(r, type, length, chunk)) return;
      const int colour_type = static_cast<unsigned char>(chunk[9]);
      const char* kind = colour_type == 0 || colour_type == 4 ? "greyscale" : "true-colour";
      if (colour_type != 3) return report_file(r, std::string("not a palette: a ") + kind + " PNG (colour type " + std::to_string(colour_type) + ")" + kTrueColour);
    } else if (type == "PLTE") {
      if (length == 0 || length % 3 != 0 || length > 768) return report_file(r, "corrupt: a PLTE chunk of " + std::to_string(length) + " bytes");
      if (checked_chunk(r, type, length, chunk)) deliver_table(r, chunk, 3, false);
      return;
    } else if (type == "IDAT" || type == "IEND") {
      return report_file(r, "corrupt: an indexed PNG without its PLTE chunk before the picture");
    } else if (take(r.in, std::uint64_t{length} + 4, nullptr) < std::uint64_t{length} + 4) {
      return report_file(r, "truncated: the file ends inside a PNG chunk");
    }
  }
}

// GIF: "GIF87a" or "GIF89a", the logical screen descriptor, the global colour
// table if its flag is set (2^(n+1) RGB triples), then blocks up to the first
// picture: extensions (a label, then sub-blocks up to an empty one), skipped.
// The colours are those the first picture shows: its own (local) table when
// its descriptor has one, else the global table.
void read_gif(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string head, global, block;
  if (!take_record(r.in, 13, head)) return report_file(r, "truncated: the GIF ends inside its header");
  const unsigned flags = static_cast<unsigned char>(head[10]);
  const auto size = [](unsigned f) { return (std::size_t{2} << (f & 7)) * 3; };
  if ((flags & 0x80) && !take_record(r.in, size(flags), global)) return report_file(r, "truncated: the file ends inside the global colour table");
  for (;;) {
    if (!take_record(r.in, 1, block)) return report_file(r, "truncated: the GIF ends before its first picture, so which colours it shows is not known");
    const unsigned char kind = static_cast<unsigned char>(block[0]);
    if (kind == 0x21) { // an extension: its label, then its sub-blocks
      if (!take_record(r.in, 1, block)) continue;
      while (take_record(r.in, 1, block) && block[0] != 0 && take(r.in, static_cast<unsigned char>(block[0]), nullptr) == static_cast<unsigned char>(block[0])) {}
      continue;
    }
    if (kind == 0x00) continue; // a stray zero between blocks, which browsers and other readers skip too
    if (kind == 0x3B && !global.empty()) return deliver_table(r, global, 3, false); // no picture: the global table is the palette
    if (kind != 0x2C) return report_file(r, "corrupt: a GIF block that is neither an extension nor a picture");
    if (!take_record(r.in, 9, block)) return report_file(r, "truncated: the GIF ends inside a picture's descriptor");
    const unsigned local = static_cast<unsigned char>(block[8]);
    if (local & 0x80) return table(r, static_cast<std::uint32_t>(size(local) / 3), 3, false);
    if (global.empty()) return report_file(r, "corrupt: a GIF whose first picture has no colour table, and no global one");
    return deliver_table(r, global, 3, false);
  }
}

// BMP: the file header ("BM", size, reserved, the pixels' offset), then an
// info header whose size names its form: 12 bytes (OS/2 1.x, 3-byte BGR
// entries), 16 or 64 (OS/2 2.x), 40, 52, 56, 108 or 124 (Windows), with 4-byte
// BGR0 entries. The table follows the info header: as many entries as its
// used-colours count says (where the form has one, and it is not 0), else
// 2^bits; but never more than fit before the pixels, where the table ends.
void read_bmp(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string head;
  if (!take_record(r.in, 18, head)) return report_file(r, "truncated: the BMP ends inside its header");
  Cursor h{head, 10};
  const std::uint32_t pixels = h.le(4), info = h.le(4);
  std::string rest;
  if (!take_record(r.in, info - 4, rest)) return report_file(r, "truncated: the BMP ends inside its header");
  Cursor c{rest, info == 12 ? 6u : 10u};
  const std::uint32_t bits = c.le(2);
  std::uint32_t used = 0;
  if (info >= 40) {
    c.at = 28;
    used = c.le(4);
  }
  if (bits > 8) return report_file(r, "not a palette: a true-colour BMP (" + std::to_string(bits) + " bits a pixel)" + kTrueColour);
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return report_file(r, "corrupt: a BMP of " + std::to_string(bits) + " bits a pixel");
  const std::uint64_t start = 14 + std::uint64_t{info}, size = info == 12 ? 3 : 4;
  if (pixels < start) {
    return report_file(r, "corrupt: the BMP says its pixels begin at byte " + std::to_string(pixels) + ", inside its header, so where its colour table ends is not known");
  }
  const std::uint32_t most = 1u << bits, room = static_cast<std::uint32_t>(std::min<std::uint64_t>((pixels - start) / size, most));
  if (used > most) {
    report_file(r, "corrupt: the BMP says it uses " + std::to_string(used) + " colours, more than " + std::to_string(bits) +
                       " bits can tell apart; the first " + std::to_string(most) + " are read");
  }
  std::uint32_t count = used == 0 || used > most ? most : used;
  if (count > room) {
    report_file(r, "corrupt: the BMP's header asks for " + std::to_string(count) + " colours, but only " + std::to_string(room) +
                       " fit before its pixels (at byte " + std::to_string(pixels) + "); those are read");
    count = room;
  }
  table(r, count, static_cast<std::size_t>(size), true);
}

// PCX: a 128-byte header (bits a pixel a plane at 3, the 16-colour palette at
// 16, planes at 65). Pictures of 2, 3 or 4 planes of 1 bit (4, 8 or 16
// colours, as netpbm writes few colours) and of 1 plane of 4 bits take the
// first 2^(bits x planes) colours of the header palette; an 8-bit one (1
// plane of 8 bits) ends with the byte 12 and a 256-colour table, found by
// streaming to the end while only the last 769 bytes are held. The layouts
// readers disagree on are reported: a 1-bit picture is black and white to
// some and its header's first two colours to others (read when those are
// black and white), and 1 plane of 2 bits is CGA's, whose colours its header
// only names.
void read_pcx(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string head;
  if (!take_record(r.in, 128, head)) return report_file(r, "truncated: the PCX ends inside its header");
  const unsigned version = static_cast<unsigned char>(head[1]), bits = static_cast<unsigned char>(head[3]),
                 planes = static_cast<unsigned char>(head[65]);
  const std::string header_palette = head.substr(16, 48);
  const bool planar = bits == 1 && planes >= 2, black_white = header_palette.compare(0, 6, std::string(3, '\0') + std::string(3, '\xff')) == 0;
  if (planar || (bits == 4 && planes == 1) || (bits == 1 && planes == 1 && black_white)) {
    if (version == 3) return report_file(r, "not a palette: a PCX of version 3 carries no palette (its viewer's default one is not guessed)");
    return deliver_table(r, header_palette.substr(0, 3u << (bits * planes)), 3, false);
  }
  if (bits == 1 && planes == 1) {
    return report_file(r, "not read: a 1-bit PCX whose header's first two colours are not black and white: some readers show it in "
                          "those colours, others in black and white, so its colours are not certain");
  }
  if (bits == 2 && planes == 1) {
    return report_file(r, "not read: a PCX of 1 plane of 2 bits takes its 4 colours from a CGA palette that its header only names, "
                          "which readers turn into colours differently");
  }
  if (bits == 8 && planes >= 3) return report_file(r, "not a palette: a true-colour PCX" + std::string(kTrueColour));
  if (bits != 8 || planes != 1) {
    return report_file(r, "not read: a PCX of " + std::to_string(planes) + " planes of " + std::to_string(bits) +
                          " bits, a layout whose colours readers disagree on (those of 1 to 4 planes of 1 bit, 1 plane of 4 bits "
                          "and 1 plane of 8 bits are read)");
  }
  std::string tail;
  while (available(r.in)) {
    tail.append(r.in.buf + r.in.pos, r.in.len - r.in.pos);
    r.in.pos = r.in.len;
    if (tail.size() > 769) tail.erase(0, tail.size() - 769);
  }
  if (tail.size() < 769 || tail[0] != 12) return report_file(r, "corrupt: an 8-bit PCX without its 256-colour table at the end");
  deliver_table(r, tail.substr(1), 3, false);
}

} // namespace palette_reader
} // namespace tintwise
