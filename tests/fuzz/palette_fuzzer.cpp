// libFuzzer target for the palette reader alone: any bytes, all of them the
// file (so that each seed, a sample of every format, is read as that format),
// handed out in chunks whose size the input's length picks, and read in find
// mode for every third length. Every entry must be a colour with a clean name
// or carry a reason, and the reader must end.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tintwise/palette.h"

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

bool check(void*, const tintwise::PaletteEntry& e) {
  const bool sound = (e.read ? e.reason.empty() && tintwise::clean_utf8(e.name) == e.name : !e.reason.empty() && e.name.empty()) &&
                     (e.unit != tintwise::PaletteUnit::file || (e.line == 0 && !e.read));
  if (!sound) {
    std::fprintf(stderr, "entry at line %llu: read %d, name '%s', reason '%s'\n", static_cast<unsigned long long>(e.line),
                 e.read, e.name.c_str(), e.reason.c_str());
    std::abort();
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Source source{data, size, 1 + size % 61};
  const auto mode = size % 3 == 0 ? tintwise::PaletteMode::find : tintwise::PaletteMode::palette;
  tintwise::read_palette({hand_out, &source, nullptr}, check, nullptr, mode);
  return 0;
}
