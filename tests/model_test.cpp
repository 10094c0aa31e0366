// The colour model's values, checked bit for bit: a last-bit slip in any of
// them changes which of several equally near candidates wins.
#include <gtest/gtest.h>

#include "bits.h"
#include "search_core.h"
#include "tintwise/hsb_model.h"

using namespace tintwise;

TEST(Constants, AreTheSinglesNearestTheirFractions) {
  EXPECT_EQ(bits(kInv255), 0x3B808081u);
  EXPECT_EQ(bits(kBrightnessStep), 0x3BB3E71Au);
  EXPECT_EQ(bits(kInv85), 0x3C40C0C1u);
  EXPECT_EQ(bits(kCurveGain), 0x3F333333u);
  EXPECT_EQ(bits(kCurveOffset), 0x3C23D70Au);
  // Consequences the model relies on: both products land just above 1.
  EXPECT_EQ(bits(255 * static_cast<double>(kInv255)), bits(0x1.000000fep+0));
  EXPECT_EQ(bits(85 * static_cast<double>(kInv85)), bits(0x1.00000054p+0));
}

TEST(BrightnessTable, MatchesTheCurveAtSampledLevels) {
  BrightnessTable table;
  build_brightness_table(table);
  const struct {
    int brightness;
    std::uint32_t level;
  } cases[] = {
      {0, 0x00000000u},   {1, 0x3D3B2F61u},   {2, 0x3D8922D6u},   {10, 0x3E21147Bu},
      {64, 0x3ED0EC50u},  {96, 0x3F005455u},  {128, 0x3F1473C9u}, {192, 0x3F3635D9u},
      {254, 0x3F51D6D5u}, {255, 0x3F52415Cu},
  };
  for (const auto& c : cases) EXPECT_EQ(bits(table.level[c.brightness]), c.level) << c.brightness;
  for (int i = 1; i < kBrightnessSteps; ++i) EXPECT_LT(table.level[i - 1], table.level[i]) << i;
}

TEST(HueWeights, FollowTheThreeSectorsAndSumTo85) {
  const int cases[][4] = {{0, 85, 0, 0},   {1, 84, 1, 0},   {85, 0, 85, 0}, {86, 0, 84, 1},
                          {170, 0, 0, 85}, {171, 1, 0, 84}, {254, 84, 0, 1}};
  for (const auto& c : cases) {
    const ChannelWeights w = hue_weights(c[0]);
    EXPECT_TRUE(w.red == c[1] && w.green == c[2] && w.blue == c[3]) << c[0];
  }
  for (int h = 0; h < kHueSteps; ++h) {
    const ChannelWeights w = hue_weights(h);
    EXPECT_EQ(w.red + w.green + w.blue, 85) << h;
  }
}

// Red's complement stays double, green's and blue's are single; red's and
// green's factors are single, blue's stays double.
TEST(Factors, KeepEachChannelInItsOwnPrecision) {
  const HueFactors red = hue_factors(hue_weights(0));
  EXPECT_EQ(bits(red.x), bits(0x1.00000054p+0));
  EXPECT_EQ(bits(red.cx), bits(-0x1.5p-26)); // not 0: 85 * kInv85 exceeds 1
  // 1 - 1/85 is not a single: green and blue round it, red does not.
  EXPECT_EQ(bits(hue_factors(hue_weights(1)).cy), 0x3F7CFCFDu);
  EXPECT_EQ(bits(hue_factors(hue_weights(86)).cz), 0x3F7CFCFDu);
  EXPECT_EQ(bits(hue_factors(hue_weights(171)).cx), bits(0x1.f9f9f9f8p-1));

  const SaturationFactors pure = saturation_factors(hue_factors(hue_weights(1)), 0);
  EXPECT_EQ(bits(pure.kx), 0x3F7CFCFDu); // 0.9882352948188782
  EXPECT_EQ(bits(pure.ky), 0x3C40C0C1u); // 0.0117647061124444
  EXPECT_EQ(bits(pure.kz), bits(0.0));
  const SaturationFactors half = saturation_factors(red, 128);
  EXPECT_EQ(bits(half.kx), bits(1.0f));
  EXPECT_EQ(bits(half.ky), 0x3F008081u); // 0.501960813999176
  EXPECT_EQ(bits(half.kz), bits(0x1.0101020000000p-1));
}

// At full saturation every hue renders (nearly) white; which hues round above
// 1 decides the winner for white and grey requests.
TEST(SaturationFactors, AtFullSaturationRoundAsTheModelDefines) {
  const double kz_low_hues = 0x1.000000fep+0;         // 1.0000000591389835
  const double kz_blue = 0x1.ffffffffffff6p-1;         // 0.9999999999999989
  const double kz_mixed_blue = 0x1.000000ff03030p+0;   // 1.0000000593745533
  for (int h = 0; h < kHueSteps; ++h) {
    const SaturationFactors k = saturation_factors(hue_factors(hue_weights(h)), 255);
    EXPECT_EQ(bits(k.kx), bits(1.0f)) << h;
    const bool ky_up = (h >= 2 && h <= 32) || (h >= 138 && h <= 168);
    EXPECT_EQ(bits(k.ky), bits(ky_up ? 0x1.000002p+0f : 1.0f)) << h;
    if (h <= 85) {
      EXPECT_EQ(bits(k.kz), bits(kz_low_hues)) << h;
    }
  }
  EXPECT_EQ(bits(saturation_factors(hue_factors(hue_weights(170)), 255).kz), bits(kz_blue));
  EXPECT_EQ(bits(saturation_factors(hue_factors(hue_weights(86)), 255).kz), bits(kz_mixed_blue));
  EXPECT_EQ(bits(saturation_factors(hue_factors(hue_weights(254)), 255).kz), bits(kz_mixed_blue));
}

namespace {

// Rounds a product to double, whatever this file was compiled with: a
// volatile store cannot be fused into a following addition.
double rounded(double product) {
  volatile double kept = product;
  return kept;
}

} // namespace

// A product and a following sum round apart: a build that fuses them (GCC in
// GNU mode on aarch64 or with -march=native, Clang by default) changes kz on
// 342 of the 65,280 rows and the blue difference on many candidates, which
// moves ties. The library's own compiled arithmetic is checked against
// products rounded through a volatile.
TEST(Arithmetic, RoundsProductsAndSumsApart) {
  BrightnessTable table;
  build_brightness_table(table);
  const tintwise::Target t = unit_target(200, 100, 50);
  long checked = 0;
  for (int h = 0; h < kHueSteps; ++h) {
    const HueFactors hf = hue_factors(hue_weights(h));
    for (int s = 0; s < kSaturationSteps; ++s) {
      const SaturationFactors k = saturation_factors(hf, s);
      const double m = s * static_cast<double>(kInv255);
      ASSERT_EQ(bits(k.kz), bits(rounded(m * static_cast<double>(hf.cz)) + hf.z)) << h << ' ' << s;
      ASSERT_EQ(bits(k.kx), bits(static_cast<float>(rounded(hf.cx * m) + hf.x))) << h << ' ' << s;
      for (int b = 1 + (h + s) % 15; b < kBrightnessSteps; b += 15) {
        const double v = table.level[b];
        const double dR = static_cast<float>(k.kx * v - t.r);
        const double dG = static_cast<float>(k.ky * v - t.g);
        const double dB = rounded(k.kz * v) - t.b;
        const double expected = (rounded(dB * dB) + rounded(dG * dG)) + rounded(dR * dR);
        ASSERT_EQ(bits(candidate_distance(k, table.level[b], t)), bits(expected)) << h << ' ' << s << ' ' << b;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 1000000);
}
