// The chart's axes and the lookup tables' lattice at their edges; a .cube's
// numbers read back as the search's own singles on every target; a PNG made
// without a deflater, as zlib reads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "gamut.h"
#ifdef TINTWISE_HAVE_ZLIB
#include <zlib.h>
#endif

using namespace tintwise;

TEST(Gamut, AxesAndLatticeAtTheirEdges) {
  Chart c;
  EXPECT_FALSE(make_chart({false, 256, 1, 1}, c) || make_chart({false, 0, 0, 1}, c) || make_chart({true, 0, 1, 256}, c));
  ASSERT_TRUE(make_chart({true, 0, 255, 255}, c));
  EXPECT_EQ(c.hues, std::vector<int>{0}); // the wheel wraps: no hue 254 added at its end
  EXPECT_EQ(c.downs, (std::vector<int>{0, 255}));
  ASSERT_TRUE(make_chart({false, 255, 127, 85}, c));
  EXPECT_EQ(c.hues, (std::vector<int>{0, 127, 254}));
  EXPECT_EQ(c.downs, (std::vector<int>{0, 85, 170, 255}));
  for (int n : {2, 3, 17, 32, 33, 64, 65, 256}) {
    for (int i = 0; i < n; ++i) { // the byte nearest i * 255 / (n - 1); 127.5, at the middle of an odd size, goes up
      const double exact = i * 255.0 / (n - 1);
      EXPECT_LE(std::abs(lattice_byte(i, n) - exact), exact == 127.5 ? 0.5 : 0.4999) << i << " of " << n;
      if (exact == 127.5) {
        EXPECT_EQ(lattice_byte(i, n), 128);
      }
    }
  }
  EXPECT_EQ(lut_points(LutFormat::hald, 16), 256);
  EXPECT_EQ(lut_points(LutFormat::hald, 17) + lut_points(LutFormat::reshade, 65) + lut_points(LutFormat::cube, 1), 0);
}

#ifndef __EMSCRIPTEN__ // the page makes no tables
TEST(Gamut, CubeNumbersReadBackAsTheSearchsSingles) {
  std::istringstream cube(cube_file(4, lut_colours(4, 1)));
  std::string line;
  std::size_t p = 0;
  while (std::getline(cube, line)) {
    if (line.empty() || line[0] == '#' || (line[0] >= 'A' && line[0] <= 'Z')) continue;
    HsbMatch m;
    const LutPoint at = lut_point(4, p++);
    find_best_hsb(m, at.red, at.green, at.blue, false);
    char* end = &line[0];
    for (float expected : {m.red, m.green, m.blue}) EXPECT_EQ(std::strtof(end, &end), expected) << line;
  }
  EXPECT_EQ(p, 64u);
}
#endif

#ifdef TINTWISE_HAVE_ZLIB
TEST(Gamut, PngWithoutADeflaterIsStoredAsZlibReadsIt) {
  std::vector<unsigned char> rgb(300 * 80 * 3); // more than one stored block's 65,535 bytes
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 7);
  const std::string png = png_file(300, 80, rgb.data(), nullptr);
  const std::size_t idat = png.find("IDAT");
  uLong size = 0;
  for (std::size_t i = idat - 4; i < idat; ++i) size = size << 8 | static_cast<unsigned char>(png[i]);
  std::string raw(80 * 901, '\0');
  uLongf got = static_cast<uLongf>(raw.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&raw[0]), &got, reinterpret_cast<const Bytef*>(png.data() + idat + 4), size), Z_OK);
  EXPECT_EQ(got, raw.size());
  for (std::size_t y = 0; y < 80; ++y) EXPECT_EQ(raw.substr(y * 901, 901), '\0' + std::string(rgb.begin() + static_cast<long>(y * 900), rgb.begin() + static_cast<long>(y * 900 + 900)));
}
#endif
