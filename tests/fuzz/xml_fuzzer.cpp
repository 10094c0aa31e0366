// libFuzzer target for the XML scanner against expat: any bytes, read by both
// (the reader in chunks whose size the input's length picks). Where the reader
// takes the bytes for an XML palette, no colour it reads may differ from
// expat's, and where expat accepts the document, the two must agree entry for
// entry (see xml_oracle.h).
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "../xml_oracle.h"

namespace {

struct Source {
  const char* data;
  std::size_t size, chunk;
};

std::size_t hand_out(void* context, char* buf, std::size_t size) {
  Source& s = *static_cast<Source*>(context);
  const std::size_t n = std::min({size, s.chunk, s.size});
  std::copy(s.data, s.data + n, buf);
  s.data += n;
  s.size -= n;
  return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string doc(reinterpret_cast<const char*>(data), size);
  Source source{doc.data(), size, 1 + size % 13};
  tintwise::PaletteFormat format;
  const std::vector<std::string> ours = tintwise_tests::reader_entries({hand_out, &source, nullptr}, &format);
  if (format != tintwise::PaletteFormat::soc && format != tintwise::PaletteFormat::scribus) return 0;
  const std::string wrong = tintwise_tests::compare_with_expat(tintwise_tests::read_with_expat(doc), ours, false);
  if (!wrong.empty()) {
    std::fprintf(stderr, "%s\n", wrong.c_str());
    std::abort();
  }
  return 0;
}
