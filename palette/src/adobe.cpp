// Adobe Color Table (.act) and Adobe Color Swatch (.aco), Photoshop's own.
#include <cmath>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

// A VGA palette's 6-bit values (0..63) as bytes: round(v x 255 / 63), the
// byte nearest the DAC's level; none lies halfway (v x 510 is even, 63 times
// an odd number odd), so integer arithmetic rounds it exactly.
static bool six_bit(std::uint8_t rgb[3]) {
  for (int i = 0; i < 3; ++i) {
    if (rgb[i] > 63) return false;
    rgb[i] = static_cast<std::uint8_t>((rgb[i] * 255 + 31) / 63);
  }
  return true;
}

// .act: 256 RGB triples, 768 bytes, maybe followed by two big-endian words:
// how many of the colours are in use, and the index of the transparent one
// (0xFFFF for none). It has no magic: the dispatcher tells it by its size
// and by bytes that are not text.
void read_act(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string table, trailer;
  take_record(r.in, 768, table);
  std::uint32_t count = 256, transparent = 0xFFFF;
  if (take_record(r.in, 4, trailer)) {
    Cursor t{trailer, 0};
    count = t.be(2);
    transparent = t.be(2);
    if (count == 0 || count > 256) {
      report_file(r, "corrupt: the colour count " + std::to_string(count) + " at the end is not 1..256; all 256 colours are read");
      count = 256;
    }
  }
  Cursor c{table, 0};
  const bool vga = r.options && r.options->vga;
  for (std::uint32_t i = 0; i < count && !r.stopped; ++i) {
    std::uint8_t rgb[3] = {static_cast<std::uint8_t>(c.be(1)), static_cast<std::uint8_t>(c.be(1)), static_cast<std::uint8_t>(c.be(1))};
    if (vga && !six_bit(rgb)) {
      report(r, i, "not a VGA colour: a value above 63");
      continue;
    }
    deliver(r, i, rgb, i == transparent ? "transparent" : "");
  }
}

namespace {

// Photoshop's colour spaces, by their number in an .aco file.
constexpr std::uint32_t kAcoRgb = 0, kAcoHsb = 1, kAcoCmyk = 2, kAcoLab = 7, kAcoGray = 8, kAcoWideCmyk = 9;

// An .aco colour's 16-bit values as RGB bytes, or the reason it is not read.
//  - RGB: each value is the byte times 257 (65535 for 255): round(v / 257).
//  - HSB: hue v/65536 of a turn (Photoshop writes degrees x 182.04),
//    saturation and brightness v/65535; the standard HSB to RGB, each channel
//    then round(c x 255). Both are plain arithmetic on RGB, so unambiguous.
//  - Grayscale, CMYK, Lab and the named inks depend on a colour profile or a
//    grey working space (dot gain), which is not guessed.
const char* aco_rgb(std::uint32_t space, const std::uint32_t v[4], std::uint8_t rgb[3]) {
  if (space == kAcoRgb) {
    for (int i = 0; i < 3; ++i) rgb[i] = static_cast<std::uint8_t>((v[i] + 128) / 257); // v/257 never ends in .5
    return nullptr;
  }
  if (space == kAcoHsb) return hsb_rgb(v[0] / 65536.0, v[1] / 65535.0, v[2] / 65535.0, rgb), nullptr;
  if (space == kAcoGray) return "Grayscale colour not read: its RGB depends on Photoshop's grey working space (dot gain), which is not guessed";
  if (space == kAcoCmyk || space == kAcoWideCmyk) return "CMYK colour not read: turning it into RGB needs a colour profile, which is not guessed";
  if (space == kAcoLab) return "Lab colour not read: turning it into RGB needs a colour profile, which is not guessed";
  return "a named ink (Pantone, Focoltone, Trumatch, Toyo, HKS...) not read: its RGB is the ink maker's, not in the file";
}

// One colour: its space and four values (10 bytes), then in version 2 its name.
void aco_entry(Reader& r, std::uint32_t index, Cursor& c, std::string name) {
  const std::uint32_t space = c.be(2);
  std::uint32_t v[4];
  for (std::uint32_t& x : v) x = c.be(2);
  std::uint8_t rgb[3];
  if (const char* reason = aco_rgb(space, v, rgb)) return report(r, index, reason);
  deliver(r, index, rgb, std::move(name));
}

// The longest name believed: 1,024 UTF-16 units (Photoshop allows far fewer).
constexpr std::uint32_t kMaxAcoName = 1024;

// Version 2: `count` colours, each followed by a 32-bit length (in UTF-16
// units, with its closing NUL) and the name.
void read_aco2(Reader& r, std::uint32_t count) {
  std::string record;
  for (std::uint32_t i = 0; i < count && !r.stopped; ++i) {
    if (!take_record(r.in, 14, record)) return report(r, i, "truncated: the file ends inside colour " + std::to_string(i));
    Cursor c{record, 10};
    const std::uint32_t units = c.be(4);
    if (units > kMaxAcoName) return report(r, i, "corrupt: a name of " + std::to_string(units) + " characters; reading stops");
    std::string name_bytes;
    if (!take_record(r.in, 2 * std::size_t{units}, name_bytes)) return report(r, i, "truncated: the file ends inside the name of colour " + std::to_string(i));
    Cursor n{name_bytes, 0};
    std::string name = utf16_name(n, units, true);
    c.at = 0;
    aco_entry(r, i, c, std::move(name));
  }
  if (!r.stopped && available(r.in)) report_file(r, "data after the colours, not read");
}

} // namespace

void hsb_rgb(double hue, double s, double b, std::uint8_t rgb[3]) {
  const double h = hue >= 1.0 ? 0.0 : hue * 6.0;
  const int sector = static_cast<int>(h); // 0..5
  const double f = h - sector, p = b * (1 - s), q = b * (1 - s * f), t = b * (1 - s * (1 - f));
  const double c[6][3] = {{b, t, p}, {q, b, p}, {p, b, t}, {p, q, b}, {t, p, b}, {b, p, q}};
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<std::uint8_t>(std::floor(c[sector][i] * 255.0 + 0.5));
}

// .aco: version 1 (a count, then 10-byte colours), usually followed by the same
// colours again in version 2, with names. Photoshop reads the second when it
// is there, and so does this: version 1 is held (at most 65,535 x 10 bytes)
// until what follows it is known.
void read_aco(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string head, v1;
  take_record(r.in, 4, head); // the dispatcher saw these four bytes
  Cursor h{head, 0};
  std::uint32_t version = h.be(2), count = h.be(2);
  if (version == 2) return read_aco2(r, count);
  if (!take_record(r.in, 10 * std::size_t{count}, v1)) {
    return report_file(r, "truncated: the file ends inside its " + std::to_string(count) + " colours");
  }
  bool trailing = false;
  if (take_record(r.in, 4, head)) {
    h.at = 0;
    version = h.be(2);
    const std::uint32_t count2 = h.be(2);
    // The second section is the first again, with names: one of another
    // count is not that, and the file is not read as either.
    if (version == 2 && count2 != count) {
      r.no_palette = true;
      return report_file(r, "not a palette: it begins like an Adobe .aco, but its version-2 section counts " + std::to_string(count2) +
                                " colours where its version 1 counts " + std::to_string(count));
    }
    if (version == 2) return read_aco2(r, count2);
    trailing = true;
  }
  Cursor c{v1, 0};
  for (std::uint32_t i = 0; i < count && !r.stopped; ++i) aco_entry(r, i, c, "");
  if (trailing || !head.empty()) report_file(r, "data after the colours, not read");
}

} // namespace palette_reader
} // namespace tintwise
