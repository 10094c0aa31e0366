// Adobe Swatch Exchange (.ase): "ASEF", a version, a block count, then blocks
// of a type, a length and a body. Groups are flattened; colour entries carry a
// UTF-16 name and a model with its values as big-endian floats.
#include <cmath>
#include <cstring>

#include "reader.h"

namespace tintwise {
namespace palette_reader {

namespace {

// A colour entry's block, after its type and length.
void ase_colour(Reader& r, std::uint64_t number, const std::string& block) {
  Cursor c{block, 0};
  if (!c.fits(2)) return report(r, number, "corrupt: a colour entry without its name length");
  const std::uint32_t units = c.be(2);
  if (!c.fits(2 * std::uint64_t{units})) return report(r, number, "corrupt: the name runs past the end of its entry");
  std::string name = utf16_name(c, units, true);
  if (!c.fits(4)) return report(r, number, "corrupt: a colour entry without its colour model");
  const std::string model = block.substr(c.at, 4);
  c.at += 4;
  const std::size_t channels = model == "RGB " ? 3 : model == "Gray" ? 1 : model == "CMYK" ? 4 : model == "LAB " ? 3 : 0;
  if (channels == 0) return report(r, number, "unknown colour model, not read");
  if (!c.fits(4 * channels)) return report(r, number, "corrupt: the colour's values run past the end of its entry");
  if (model == "CMYK" || model == "LAB ") {
    return report(r, number, std::string(model == "CMYK" ? "CMYK" : "LAB") +
                                 " colour not read: turning it into RGB needs a colour profile, which is not guessed");
  }
  std::uint8_t rgb[3];
  for (std::size_t i = 0; i < channels; ++i) {
    const std::uint32_t bits = c.be(4);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (!(v >= 0.0f && v <= 1.0f)) return report(r, number, "corrupt: a colour value outside 0..1");
    rgb[i] = static_cast<std::uint8_t>(std::lround(static_cast<double>(v) * 255.0)); // exact product, half away from zero
  }
  if (channels == 1) rgb[1] = rgb[2] = rgb[0]; // Gray
  deliver(r, number, rgb, std::move(name));
}

// The longest block read: a colour entry with the longest name (65,535 UTF-16
// units) and four values is 131,094 bytes.
constexpr std::uint32_t kMaxBlock = 1u << 18;

} // namespace

void read_ase(Reader& r) {
  r.unit = PaletteUnit::block;
  std::string head;
  if (!take_record(r.in, 12, head)) return report_file(r, "truncated: the .ase header ends early");
  Cursor h{head, 8};
  const std::uint32_t blocks = h.be(4);
  std::string block;
  for (std::uint64_t number = 1; number <= blocks && !r.stopped; ++number) {
    block.clear();
    const std::size_t got = take(r.in, 6, &block);
    if (got == 0) return report(r, number, "truncated: the file ends after " + std::to_string(number - 1) + " of " + std::to_string(blocks) + " blocks");
    if (got < 6) return report(r, number, "truncated: the block's header ends early");
    Cursor c{block, 0};
    const std::uint32_t type = c.be(2), length = c.be(4);
    if (length > kMaxBlock) return report(r, number, "corrupt: a block of " + std::to_string(length) + " bytes; reading stops");
    if (!take_record(r.in, length, block)) return report(r, number, "truncated: the block ends early");
    if (type == 0x0001) ase_colour(r, number, block);
    else if (type != 0xC001 && type != 0xC002) report(r, number, "unknown block type, not read"); // groups: flattened
  }
  if (!r.stopped && available(r.in)) report(r, blocks + std::uint64_t{1}, "data after the last block, not read");
}

} // namespace palette_reader
} // namespace tintwise
