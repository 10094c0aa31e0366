// The compiled arithmetic of the model: a product and a following sum round
// apart. A build that fuses them (GCC in GNU mode on aarch64 or with
// -march=native, Clang by default) changes kz on 342 of the 65,280 rows and
// the blue difference on many candidates, which rarely moves a winner, so
// the known answers alone would let it pass. Checked here against products
// rounded through a volatile, which no compiler can fuse.
#include <gtest/gtest.h>

#include "search_core.h"

using namespace tintwise;

namespace {

double rounded(double product) { volatile double kept = product; return kept; } // a store no compiler can fuse

} // namespace

TEST(Arithmetic, RoundsProductsAndSumsApart) {
  BrightnessTable table;
  build_brightness_table(table);
  const Target t = unit_target(200, 100, 50);
  for (std::int32_t h = 0; h < kHueSteps; ++h) {
    const HueFactors hf = hue_factors(hue_weights(h));
    for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
      const SaturationFactors k = saturation_factors(hf, s);
      const double m = s * static_cast<double>(kInv255);
      ASSERT_EQ(k.kz, rounded(m * static_cast<double>(hf.cz)) + hf.z) << h << ' ' << s;
      ASSERT_EQ(k.kx, static_cast<float>(rounded(hf.cx * m) + hf.x)) << h << ' ' << s;
      for (std::int32_t b = 1 + (h + s) % 15; b < kBrightnessSteps; b += 15) {
        const double v = table.level[b];
        const double dR = static_cast<float>(k.kx * v - t.r), dG = static_cast<float>(k.ky * v - t.g), dB = rounded(k.kz * v) - t.b;
        ASSERT_EQ(candidate_distance(k, table.level[b], t), (rounded(dB * dB) + rounded(dG * dG)) + rounded(dR * dR))
            << h << ' ' << s << ' ' << b;
      }
    }
  }
}
