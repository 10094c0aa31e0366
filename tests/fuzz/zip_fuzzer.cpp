// libFuzzer target for zip archives and the palettes in them. An input that
// begins as a zip archive ("PK") is the archive, read with zlib as the
// inflater (the seeds: the sample .kpl and .swatches); any other is made the
// content of an archive, stored with a sound CRC so that mutations reach past
// the container into the palette: Krita's colorset.xml when it begins with
// "<", else Procreate's Swatches.json. Every entry must pass entry_check.h's
// rules, and the reader must end.
#include <cstdint>
#include <cstring>

#include "entry_check.h"
#include "palette_output.h"
#include "tintwise/palette_zlib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.compare(0, 2, "PK") != 0) {
    bytes = bytes.compare(0, 1, "<") == 0 ? tintwise::stored_zip({{"mimetype", "krita/x-colorset"}, {"colorset.xml", bytes}})
                                          : tintwise::stored_zip({{"Swatches.json", bytes}});
  }
  tintwise_fuzz::Source source{bytes};
  std::vector<tintwise::PaletteEntry> entries;
  tintwise::read_palette({tintwise_fuzz::hand_out, &source, nullptr}, tintwise_fuzz::check, &entries, tintwise::zlib_options());
  return 0;
}
