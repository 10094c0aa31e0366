// libFuzzer target for the palette reader alone: any bytes, all of them the
// file (so that each seed, a sample of every format, is read as that format),
// handed out in chunks whose size the input's length picks, and read in find
// mode for every third length. Every entry must be a colour with a clean name
// or carry a reason, and the reader must end. Where it takes the bytes for an
// XML palette, expat reads them too (where the host has it): no colour the
// reader gives may differ from expat's, and where expat accepts the document
// the two must agree entry for entry (see xml_oracle.h).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "entry_check.h"
#include "tintwise/palette.h"
#ifdef TINTWISE_HAVE_EXPAT
#include "../xml_oracle.h"
#endif

namespace {

struct Source {
  const std::uint8_t* data;
  std::size_t size, chunk;
};

std::size_t hand_out(void* context, char* buf, std::size_t size) {
  Source& s = *static_cast<Source*>(context);
  const std::size_t n = std::min({size, s.chunk, s.size});
  std::memcpy(buf, s.data, n);
  s.data += n;
  s.size -= n;
  return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Source source{data, size, 1 + size % 61};
  const auto mode = size % 3 == 0 ? tintwise::PaletteMode::find : tintwise::PaletteMode::palette;
  std::vector<tintwise::PaletteEntry> entries;
  const tintwise::PaletteFormat format = tintwise::read_palette({hand_out, &source, nullptr}, tintwise_fuzz::check, &entries, mode);
#ifdef TINTWISE_HAVE_EXPAT
  if (format == tintwise::PaletteFormat::soc || format == tintwise::PaletteFormat::scribus) {
    const std::string wrong = tintwise_tests::compare_with_expat(tintwise_tests::read_with_expat(std::string(data, data + size)),
                                                                 tintwise_tests::entries_text(entries), false);
    if (!wrong.empty()) tintwise_fuzz::fail(wrong);
  }
#else
  (void)format;
#endif
  return 0;
}
