// The HSB colour model: how a hue step, a saturation and a brightness byte
// render as an RGB colour on the unit scale (0..1).
//
// Precision is part of the model. Every floating constant is a single-precision
// value, widened exactly to double where it is used. Each operation below is
// carried out in double and rounded once; a value declared `float` here is
// rounded to single at the point where it is computed and never carried wider.
// Those roundings decide between otherwise equally near candidates, so they are
// reproduced exactly, channel by channel, as the declarations below say.
#ifndef TINTWISE_HSB_MODEL_H
#define TINTWISE_HSB_MODEL_H

#include <cfloat>
#include <cstdint>

// Exactness needs every double operation to round to double. x87 math keeps
// extended precision in registers; refuse to build rather than give other
// answers. (32-bit x86 builds must use SSE2 math: -msse2 -mfpmath=sse.)
#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "Tintwise needs FLT_EVAL_METHOD == 0 (no extended precision); on 32-bit x86 build with -msse2 -mfpmath=sse"
#endif
// -ffast-math (or -Ofast) lets the compiler reassociate and drop roundings,
// whatever else the build says: refuse it too.
#if defined(__FAST_MATH__)
#error "Tintwise cannot be exact with -ffast-math or -Ofast"
#endif

namespace tintwise {

// The model's constants, as the single-precision values nearest the fractions
// named (bit patterns in the comments; the tests check them).
constexpr float kInv255 = 0x1.010102p-8f;         // 1/255,   0x3B808081
constexpr float kBrightnessStep = 0x1.67ce34p-8f; // 1.4/255, 0x3BB3E71A
constexpr float kInv85 = 0x1.818182p-7f;          // 1/85,    0x3C40C0C1
constexpr float kCurveGain = 0x1.666666p-1f;      // 0.7,     0x3F333333
constexpr float kCurveOffset = 0x1.47ae14p-7f;    // 0.01,    0x3C23D70A

constexpr int kHueSteps = 255;       // hue 0..254: the wheel has 255 steps
constexpr int kSaturationSteps = 256; // saturation 0..255
constexpr int kBrightnessSteps = 256; // brightness 0..255

// Light level of each brightness byte, single precision, strictly increasing
// from exactly 0 (brightness 0) to 0.8213098 (brightness 255).
struct BrightnessTable {
  float level[kBrightnessSteps];
};

// Red, green and blue weights of a hue step: each 0..85, summing to 85.
struct ChannelWeights {
  std::int32_t red;
  std::int32_t green;
  std::int32_t blue;
};

// Per-hue factors. x, y, z are the weights times kInv85 (exact in double).
// The red complement stays double; the green and blue complements are single.
struct HueFactors {
  double x, y, z;
  double cx;
  float cy, cz;
};

// Per-hue-and-saturation factors: the rendered colour of brightness b is
// (kx, ky, kz) * level[b]. kx and ky are single; kz stays double.
struct SaturationFactors {
  float kx, ky;
  double kz;
};

// A colour on the unit scale, each channel single.
struct RenderedColour {
  float red, green, blue;
};

void build_brightness_table(BrightnessTable& table);
ChannelWeights hue_weights(std::int32_t hue);
HueFactors hue_factors(const ChannelWeights& weights);
SaturationFactors saturation_factors(const HueFactors& hue, std::int32_t saturation);

// The colour the triple (hue 0..254, saturation 0..255, brightness 0..255;
// the caller checks the ranges) renders: kx, ky and kz times its level, with
// the factors and level the search judges it by, each product formed in
// double as the search forms it (red and green exactly: a single times a
// single), then rounded to single. The search stores its winner's colour as
// the target plus the single-rounded difference, so that colour may lie one
// unit in the last place away from this one; at the report's one decimal the
// two print alike.
RenderedColour render_hsb(std::int32_t hue, std::int32_t saturation, std::int32_t brightness);

} // namespace tintwise

#endif
