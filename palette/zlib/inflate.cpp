#include "tintwise/palette_zlib.h"

#include <zlib.h>

namespace tintwise {

Inflated zlib_inflate(void*, const unsigned char* data, std::size_t size, std::size_t limit, std::string& out) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return Inflated::corrupt; // negative bits: raw deflate, as zip holds it
  out.clear();
  z.next_in = const_cast<Bytef*>(data); // zlib's interface predates const; it only reads here
  std::size_t left = size;
  int status = Z_OK;
  while (status == Z_OK) {
    if (z.avail_in == 0 && left > 0) { // avail_in is 32 bits wide
      z.avail_in = static_cast<uInt>(left < (std::size_t{1} << 30) ? left : std::size_t{1} << 30);
      left -= z.avail_in;
    }
    Bytef buf[16384];
    z.next_out = buf;
    z.avail_out = sizeof buf;
    status = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = sizeof buf - z.avail_out;
    if (got > limit - out.size()) {
      inflateEnd(&z);
      return Inflated::too_large;
    }
    out.append(reinterpret_cast<const char*>(buf), got);
  }
  const bool ended = status == Z_STREAM_END && z.avail_in == 0 && left == 0;
  inflateEnd(&z);
  return ended ? Inflated::done : Inflated::corrupt;
}

} // namespace tintwise
