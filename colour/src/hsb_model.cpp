#include "tintwise/hsb_model.h"
#include "single.h"

#include <cmath>

namespace tintwise {

namespace {

// level = 0.7 f / (sqrt(f) + 0.01), one rounding per operation, in this
// order; only the final level is single. At i = 0 it is 70 * 0 = 0 exactly.
float brightness_level(std::int32_t i) {
  const double f = i * static_cast<double>(kBrightnessStep); // exact: an 8-bit integer times a 24-bit single
  const double root = std::sqrt(f);
  const double quotient = static_cast<double>(kCurveGain) / (root + static_cast<double>(kCurveOffset));
  return to_single(quotient * f);
}

} // namespace

void build_brightness_table(BrightnessTable& table) {
  for (std::int32_t i = 0; i < kBrightnessSteps; ++i) table.level[i] = brightness_level(i);
}

ChannelWeights hue_weights(std::int32_t hue) {
  // Three sectors of 85 steps; 85 and 170 close the first and second sector.
  if (hue <= 85) return {85 - hue, hue, 0};
  if (hue <= 170) return {0, 170 - hue, hue - 85};
  return {hue - 170, 0, 255 - hue};
}

HueFactors hue_factors(const ChannelWeights& weights) {
  const double inv85 = kInv85;
  HueFactors f;
  f.x = weights.red * inv85; // exact: a 7-bit integer times a 24-bit single
  f.y = weights.green * inv85;
  f.z = weights.blue * inv85;
  // 85 * kInv85 exceeds 1, so a full weight leaves a complement of -1.96e-8,
  // not 0. Red keeps it in double; green and blue round it to single.
  f.cx = 1.0 - f.x;
  f.cy = to_single(1.0 - f.y);
  f.cz = to_single(1.0 - f.z);
  return f;
}

SaturationFactors saturation_factors(const HueFactors& hue, std::int32_t saturation) {
  const double m = saturation * static_cast<double>(kInv255); // exact
  SaturationFactors k;
  // Product and sum each round to double; kx and ky then round to single.
  // kz is m * cz + z with the operands in that order, and stays double.
  k.kx = to_single(hue.cx * m + hue.x);
  k.ky = to_single(static_cast<double>(hue.cy) * m + hue.y);
  k.kz = m * static_cast<double>(hue.cz) + hue.z;
  return k;
}

RenderedColour render_hsb(std::int32_t hue, std::int32_t saturation, std::int32_t brightness) {
  const SaturationFactors k = saturation_factors(hue_factors(hue_weights(hue)), saturation);
  const double v = brightness_level(brightness);
  return {to_single(static_cast<double>(k.kx) * v), to_single(static_cast<double>(k.ky) * v), to_single(k.kz * v)};
}

} // namespace tintwise
