// libFuzzer target for the palette reader alone: any bytes, handed out in
// chunks whose sizes the input's first byte picks. Every entry must be a
// colour with a clean name or carry a reason, and the reader must end.
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
  const bool sound = e.read ? e.reason.empty() && tintwise::clean_utf8(e.name) == e.name : !e.reason.empty() && e.name.empty();
  if (!sound) {
    std::fprintf(stderr, "entry at line %llu: read %d, name '%s', reason '%s'\n", static_cast<unsigned long long>(e.line),
                 e.read, e.name.c_str(), e.reason.c_str());
    std::abort();
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Source source{data + 1, size - 1, 1 + data[0] % 64u};
  tintwise::read_palette(hand_out, &source, check, nullptr);
  return 0;
}
