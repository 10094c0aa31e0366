// zlib as the palette reader's inflater, for the deflated entries of the zip
// archives it opens (Krita .kpl, Procreate .swatches). Kept apart from the
// reader, which needs nothing but the standard library: the programs, the
// Python module and the tests link this; the web page inflates with the
// browser's own.
#ifndef TINTWISE_PALETTE_ZLIB_H
#define TINTWISE_PALETTE_ZLIB_H

#include "tintwise/palette.h"

namespace tintwise {

// A PaletteInflate: raw deflate data, which must end its stream exactly at
// its last byte.
Inflated zlib_inflate(void* context, const unsigned char* data, std::size_t size, std::size_t limit, std::string& out);

// Reading options with zlib as the inflater.
inline PaletteOptions zlib_options(PaletteMode mode = PaletteMode::palette) {
  PaletteOptions options;
  options.mode = mode;
  options.inflate = zlib_inflate;
  return options;
}

} // namespace tintwise

#endif
