// Each pruning bound on its own, against brute force: a bound may never
// exceed the computed distance of a candidate it lets the search skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "pruning.h"

using namespace tintwise;

namespace {

// Greys and dark colours (the black ties), dark near-greys (few levels in
// reach), pale colours beyond the reachable ones (many levels, few rows),
// corners, and random colours from a fixed seed.
std::vector<Target> sampled_targets() {
  std::vector<Target> out;
  for (std::uint32_t rgb : {0x000000u, 0x010101u, 0x030303u, 0x808080u, 0xffffffu, 0xff0000u, 0x0000ffu,
                            0xffff00u, 0x0a141eu, 0xc86432u, 0x0d0c0du, 0x0c0d0bu, 0xf2bbf0u}) {
    out.push_back(unit_target(rgb >> 16, rgb >> 8 & 255, rgb & 255));
  }
  std::mt19937 rng(2024);
  for (int i = 0; i < 6; ++i) out.push_back(unit_target(rng() & 255, rng() & 255, rng() & 255));
  return out;
}

// The least D of each row of a hue, brightness 1..255.
std::vector<double> row_minima(const HueFactors& hf, const Target& t, const BrightnessTable& table) {
  std::vector<double> least(kSaturationSteps, 1e9);
  for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
    const SaturationFactors k = saturation_factors(hf, s);
    for (std::int32_t b = 1; b < kBrightnessSteps; ++b) least[s] = std::min(least[s], candidate_distance(k, table.level[b], t));
  }
  return least;
}

} // namespace

// Whole hues (the hue bound, and the sector bound over all rows), the
// halvings the search makes, and random row ranges.
TEST(HueAndSectorBounds, NeverExceedAnyCandidateTheyCover) {
  BrightnessTable table;
  build_brightness_table(table);
  std::mt19937 rng(7);
  long pruning = 0;
  for (const Target& t : sampled_targets()) {
    for (std::int32_t h = 0; h < kHueSteps; h += (h % 17 == 0 ? 1 : 5)) {
      const HueFactors hf = hue_factors(hue_weights(h));
      const std::vector<double> least = row_minima(hf, t, table);
      const auto check = [&](double bound, std::int32_t s0, std::int32_t s1) {
        ASSERT_LE(bound, *std::min_element(least.begin() + s0, least.begin() + s1 + 1))
            << t.r << ' ' << t.g << ' ' << t.b << " hue " << h << " rows " << s0 << ".." << s1;
        pruning += bound > 0;
      };
      check(hue_bound(hf, t), 0, 255);
      for (std::int32_t width = 256; width >= 2; width /= 2) {
        for (std::int32_t s0 = 0; s0 < kSaturationSteps; s0 += width) check(sector_bound(hf, s0, s0 + width - 1, t, table), s0, s0 + width - 1);
      }
      for (int i = 0; i < 20; ++i) {
        const std::int32_t a = static_cast<std::int32_t>(rng() & 255), b = static_cast<std::int32_t>(rng() & 255);
        check(sector_bound(hf, std::min(a, b), std::max(a, b), t, table), std::min(a, b), std::max(a, b));
      }
    }
  }
  EXPECT_GT(pruning, 10000); // the bounds are not vacuous
}

// Thresholds at, just above and well above each row's least distance.
TEST(RowRange, LeavesOutOnlyLevelsAtOrAboveTheBest) {
  BrightnessTable table;
  build_brightness_table(table);
  long rows = 0, kept_at_least = 0;
  for (const Target& t : sampled_targets()) {
    for (std::int32_t h = 0; h < kHueSteps; h += 7) {
      const HueFactors hf = hue_factors(hue_weights(h));
      for (std::int32_t s = 0; s < kSaturationSteps; s += 3, ++rows) {
        const SaturationFactors k = saturation_factors(hf, s);
        double distance[kBrightnessSteps];
        for (std::int32_t b = 1; b < kBrightnessSteps; ++b) distance[b] = candidate_distance(k, table.level[b], t);
        const float at = static_cast<float>(*std::min_element(distance + 1, distance + kBrightnessSteps));
        for (const float best : {at, std::nextafter(at, 1e9f), at * 1.01f + 1e-12f, at * 4 + 1e-6f}) {
          const BrightnessRange range = row_range(k, t, table, best);
          ASSERT_TRUE(range.first >= 1 && range.last <= 255);
          if (best == at) kept_at_least += range.last - range.first + 1;
          for (std::int32_t b = 1; b < kBrightnessSteps; ++b) {
            if (b >= range.first && b <= range.last) continue;
            ASSERT_GE(distance[b], static_cast<double>(best)) << t.r << ' ' << t.g << ' ' << t.b << " hue " << h << " sat " << s << " level " << b;
          }
        }
      }
    }
  }
  EXPECT_LE(kept_at_least, 2 * rows); // at the row's least distance: a level or two
}

// Thresholds at, just above and well above a hue's least distance: every
// candidate outside the block, brightness 0 aside, is at or above the best.
TEST(LevelBlock, LeavesOutOnlyCandidatesAtOrAboveTheBest) {
  BrightnessTable table;
  build_brightness_table(table);
  std::vector<double> distance(kSaturationSteps * kBrightnessSteps);
  long kept = 0, all = 0;
  for (const Target& t : sampled_targets()) {
    for (std::int32_t h = 0; h < kHueSteps; h += 6) {
      const HueFactors hf = hue_factors(hue_weights(h));
      for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
        const SaturationFactors k = saturation_factors(hf, s);
        for (std::int32_t b = 1; b < kBrightnessSteps; ++b) distance[s * 256 + b] = candidate_distance(k, table.level[b], t);
      }
      const float at = static_cast<float>(*std::min_element(distance.begin() + 1, distance.end()));
      for (const float best : {at, std::nextafter(at, 1e9f), at * 1.01f + 1e-12f, at * 4 + 1e-6f}) {
        const Block block = level_block(hf, t, best, table);
        for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
          for (std::int32_t b = 1; b < kBrightnessSteps; ++b) {
            const bool inside = s >= block.s0 && s <= block.s1 && b >= block.b0 && b <= block.b1;
            kept += inside, ++all;
            if (inside) continue;
            ASSERT_GE(distance[s * 256 + b], static_cast<double>(best)) << t.r << " " << t.g << " " << t.b << " hue " << h << " sat " << s << " level " << b;
          }
        }
      }
    }
  }
  EXPECT_LT(kept, all / 20); // the blocks are small
}

// The search may start from this value only if some candidate lies below it.
TEST(StartingBest, LiesAboveSomeCandidate) {
  BrightnessTable table;
  build_brightness_table(table);
  for (const Target& t : sampled_targets()) {
    double least = candidate_distance({0, 0, 0}, 0.0f, t); // black
    for (std::int32_t h = 0; h < kHueSteps; ++h) {
      for (double d : row_minima(hue_factors(hue_weights(h)), t, table)) least = std::min(least, d);
    }
    EXPECT_LT(least, static_cast<double>(starting_best(t, table))) << t.r << ' ' << t.g << ' ' << t.b;
  }
}
