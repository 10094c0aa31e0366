// Each pruning bound on its own, against brute force: a bound may never
// exceed the computed distance of a candidate it lets the search skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "pruning.h"

using namespace tintwise;

namespace {

struct Colour {
  std::int32_t r, g, b;
};

// Greys and dark colours (the black ties), saturated corners (targets outside
// the reachable colours), and random colours from a fixed seed.
std::vector<Colour> sampled_targets() {
  std::vector<Colour> out = {{0, 0, 0},     {1, 1, 1},     {3, 3, 3},   {128, 128, 128}, {255, 255, 255},
                             {255, 0, 0},   {0, 0, 255},   {255, 255, 0}, {10, 20, 30},  {200, 100, 50}};
  std::mt19937 rng(2024);
  for (int i = 0; i < 6; ++i) {
    out.push_back({static_cast<std::int32_t>(rng() & 255), static_cast<std::int32_t>(rng() & 255),
                   static_cast<std::int32_t>(rng() & 255)});
  }
  return out;
}

struct Fixture {
  BrightnessTable table;
  Fixture() { build_brightness_table(table); }
  double distance(const SaturationFactors& k, std::int32_t b, const Target& t) const {
    return squared_distance(residual(k, table.level[b], t));
  }
};

} // namespace

// Whole hues (the hue bound, and the sector bound over all rows), the
// halvings the search makes, and random row ranges.
TEST(HueAndSectorBounds, NeverExceedAnyCandidateTheyCover) {
  Fixture fx;
  std::mt19937 rng(7);
  long pruning = 0;
  for (const Colour& c : sampled_targets()) {
    const Target t = unit_target(c.r, c.g, c.b);
    for (std::int32_t h = 0; h < kHueSteps; h += (h % 17 == 0 ? 1 : 5)) {
      const HueFactors hf = hue_factors(hue_weights(h));
      double row_min[kSaturationSteps];
      for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
        const SaturationFactors k = saturation_factors(hf, s);
        row_min[s] = fx.distance(k, 1, t);
        for (std::int32_t b = 2; b < kBrightnessSteps; ++b) row_min[s] = std::min(row_min[s], fx.distance(k, b, t));
      }
      auto check = [&](std::int32_t s0, std::int32_t s1) {
        const double bound = sector_bound(hf, s0, s1, t, fx.table);
        const double least = *std::min_element(row_min + s0, row_min + s1 + 1);
        ASSERT_LE(bound, least) << c.r << ' ' << c.g << ' ' << c.b << " hue " << h << " rows " << s0 << ".." << s1;
        pruning += bound > 0;
      };
      const double hue_least = *std::min_element(row_min, row_min + kSaturationSteps);
      const double hue = hue_bound(hf, t);
      ASSERT_LE(hue, hue_least) << c.r << ' ' << c.g << ' ' << c.b << " hue " << h;
      pruning += hue > 0;
      for (std::int32_t width = 256; width >= 2; width /= 2) {
        for (std::int32_t s0 = 0; s0 < kSaturationSteps; s0 += width) check(s0, s0 + width - 1);
      }
      for (int i = 0; i < 20; ++i) {
        std::int32_t s0 = static_cast<std::int32_t>(rng() & 255), s1 = static_cast<std::int32_t>(rng() & 255);
        if (s0 > s1) std::swap(s0, s1);
        check(s0, s1);
      }
    }
  }
  EXPECT_GT(pruning, 10000); // the bound is not vacuous
}

// Thresholds at, just above and well above each row's least distance.
TEST(RowRange, LeavesOutOnlyLevelsAtOrAboveTheBest) {
  Fixture fx;
  long rows = 0, kept_at_least = 0;
  for (const Colour& c : sampled_targets()) {
    const Target t = unit_target(c.r, c.g, c.b);
    for (std::int32_t h = 0; h < kHueSteps; h += 7) {
      const HueFactors hf = hue_factors(hue_weights(h));
      for (std::int32_t s = 0; s < kSaturationSteps; s += 3) {
        const SaturationFactors k = saturation_factors(hf, s);
        double least = fx.distance(k, 1, t);
        for (std::int32_t b = 2; b < kBrightnessSteps; ++b) least = std::min(least, fx.distance(k, b, t));
        const float at = static_cast<float>(least);
        const float bests[] = {at, std::nextafter(at, 1e9f), at * 1.01f + 1e-12f, at * 4 + 1e-6f};
        ++rows;
        for (const float best : bests) {
          const BrightnessRange range = row_range(k, t, fx.table, best);
          if (best == at) kept_at_least += range.last - range.first + 1;
          ASSERT_GE(range.first, 1);
          ASSERT_LE(range.last, kBrightnessSteps - 1);
          for (std::int32_t b = 1; b < kBrightnessSteps; ++b) {
            if (b >= range.first && b <= range.last) continue;
            ASSERT_GE(fx.distance(k, b, t), static_cast<double>(best))
                << c.r << ' ' << c.g << ' ' << c.b << " hue " << h << " sat " << s << " level " << b;
          }
        }
      }
    }
  }
  // At the row's own least distance the range is a level or two, not the row.
  EXPECT_LE(kept_at_least, 2 * rows);
}

// The search may start from this value only if some candidate lies below it.
TEST(StartingBest, LiesAboveSomeCandidate) {
  Fixture fx;
  for (const Colour& c : sampled_targets()) {
    const Target t = unit_target(c.r, c.g, c.b);
    const float start = starting_best(t, fx.table);
    double least = squared_distance(residual({0, 0, 0}, 0.0f, t));
    for (std::int32_t h = 0; h < kHueSteps; ++h) {
      const HueFactors hf = hue_factors(hue_weights(h));
      for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
        const SaturationFactors k = saturation_factors(hf, s);
        for (std::int32_t b = 1; b < kBrightnessSteps; ++b) least = std::min(least, fx.distance(k, b, t));
      }
    }
    EXPECT_LT(least, static_cast<double>(start)) << c.r << ' ' << c.g << ' ' << c.b;
  }
}
