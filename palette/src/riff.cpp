// The Windows palette (RIFF .pal, shared with JASC's text .pal): "RIFF", a
// size, "PAL ", then chunks; the "data" chunk holds a version, a count and
// 4-byte entries (red, green, blue, flags).
#include "reader.h"

namespace tintwise {
namespace palette_reader {

void read_riff(Reader& r) {
  r.unit = PaletteUnit::index;
  std::string record;
  take_record(r.in, 12, record); // the dispatcher saw "RIFF", the size and "PAL "
  for (;;) {
    if (!take_record(r.in, 8, record)) return report_file(r, "truncated: no \"data\" chunk, so no colours");
    Cursor c{record, 4};
    const std::uint32_t size = c.le(4);
    if (record.compare(0, 4, "data") != 0) { // skipped without holding it, with its pad byte
      if (take(r.in, std::uint64_t{size} + (size & 1), nullptr) < std::uint64_t{size} + (size & 1)) {
        return report_file(r, "truncated: the file ends inside a \"" + clean_utf8(record.substr(0, 4)) + "\" chunk");
      }
      continue;
    }
    if (size < 4 || !take_record(r.in, 4, record)) return report_file(r, "truncated: the \"data\" chunk ends before its count");
    Cursor head{record, 2};
    const std::uint32_t count = head.le(2);
    if (4 + 4 * std::uint64_t{count} > size) {
      return report_file(r, "corrupt: " + std::to_string(count) + " colours do not fit a \"data\" chunk of " + std::to_string(size) + " bytes");
    }
    for (std::uint32_t i = 0; i < count && !r.stopped; ++i) {
      if (!take_record(r.in, 4, record)) return report(r, i, "truncated: the file ends inside colour " + std::to_string(i));
      const std::uint8_t rgb[3] = {static_cast<std::uint8_t>(record[0]), static_cast<std::uint8_t>(record[1]), static_cast<std::uint8_t>(record[2])};
      deliver(r, i, rgb, "");
    }
    return;
  }
}

} // namespace palette_reader
} // namespace tintwise
