// Each pruning bound on its own, against brute force: a bound may never
// exceed the computed distance D of a candidate it lets the search skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "pruning.h"

using namespace tintwise;

namespace {

// Greys and dark colours (the black ties), dark near-greys (few levels within
// reach), pale colours beyond the reachable ones (many levels, few rows),
// corners, and random colours from a fixed seed.
std::vector<Target> sampled_targets() {
  std::vector<Target> out;
  for (std::uint32_t rgb : {0x000000u, 0x010101u, 0x030303u, 0x808080u, 0xffffffu, 0xff0000u, 0x0000ffu, 0xffff00u,
                            0x0a141eu, 0xc86432u, 0x0d0c0du, 0x0c0d0bu, 0xf2bbf0u, 0xccfcebu}) {
    out.push_back(unit_target(rgb >> 16, rgb >> 8 & 255, rgb & 255));
  }
  std::mt19937 rng(2024);
  for (int i = 0; i < 5; ++i) out.push_back(unit_target(rng() & 255, rng() & 255, rng() & 255));
  return out;
}

// For every sampled target and every `step`th hue: check(target index,
// target, hue factors, D of every candidate at brightness 1..255 as
// d[s * 256 + b], least D of rows s0..s1, table).
template <typename Check>
void for_each_hue(std::int32_t step, Check check) {
  BrightnessTable table;
  build_brightness_table(table);
  const std::vector<Target> targets = sampled_targets();
  std::vector<double> grid(kSaturationSteps * kBrightnessSteps, 1e9);
  double* const d = grid.data();
  for (std::size_t i = 0; i < targets.size(); ++i) {
    for (std::int32_t h = 0; h < kHueSteps; h += step) {
      const HueFactors hf = hue_factors(hue_weights(h));
      for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
        const SaturationFactors k = saturation_factors(hf, s);
        for (std::int32_t b = 1; b < kBrightnessSteps; ++b) d[s * 256 + b] = candidate_distance(k, table.level[b], targets[i]);
      }
      const auto least = [&](std::int32_t s0, std::int32_t s1) { return *std::min_element(&d[s0 * 256], &d[(s1 + 1) * 256]); };
      check(i, targets[i], hf, static_cast<const double*>(d), least, table);
    }
  }
}

// The least D, a hair above it, and well above it.
std::vector<float> thresholds(double at) { return {float(at), std::nextafter(float(at), 1e9f), float(at) * 1.01f + 1e-12f, float(at) * 4 + 1e-6f}; }

} // namespace

// Whole hues, and the sectors the search's halvings make.
TEST(Bounds, HueAndSectorBoundsStayBelowEveryCandidate) {
  long pruning = 0;
  for_each_hue(5, [&](std::size_t, const Target& t, const HueFactors& hf, const double*, auto least, const BrightnessTable& table) {
    ASSERT_LE(hue_bound(hf, t), least(0, 255)) << t.r << ' ' << t.g << ' ' << t.b;
    for (std::int32_t width = 256; width >= 2; width /= 2) {
      for (std::int32_t s0 = 0; s0 < kSaturationSteps; s0 += width) {
        const double bound = sector_bound(hf, s0, s0 + width - 1, t, table);
        ASSERT_LE(bound, least(s0, s0 + width - 1)) << t.r << ' ' << t.g << ' ' << t.b << " rows " << s0 << '+' << width;
        pruning += bound > 0;
      }
    }
  });
  EXPECT_GT(pruning, 10000); // the bounds are not vacuous
}

// Every level a row range leaves out, and every candidate outside a level
// block, lies at or above the best it was given.
TEST(Bounds, RowRangesAndLevelBlocksLeaveOutOnlyCandidatesAtOrAboveTheBest) {
  long kept = 0, all = 0;
  for_each_hue(6, [&](std::size_t, const Target& t, const HueFactors& hf, const double* d, auto least, const BrightnessTable& table) {
    for (const float best : thresholds(least(0, 255))) {
      const Block block = level_block(hf, t, best, table);
      kept += std::max(0, block.s1 - block.s0 + 1) * std::max(0, block.b1 - block.b0 + 1), all += 65280;
      for (std::int32_t i = 256; i < 256 * 256; ++i) {
        const std::int32_t s = i / 256, b = i % 256;
        if (b == 0 || (s >= block.s0 && s <= block.s1 && b >= block.b0 && b <= block.b1)) continue;
        ASSERT_GE(d[i], best) << t.r << ' ' << t.g << ' ' << t.b << " sat " << s << " level " << b;
      }
    }
    for (std::int32_t s = 0; s < kSaturationSteps; s += 3) {
      for (const float best : thresholds(least(s, s))) {
        const BrightnessRange range = row_range(saturation_factors(hf, s), t, table, best);
        for (std::int32_t b = 1; b < kBrightnessSteps; ++b) {
          if (b >= range.first && b <= range.last) continue;
          ASSERT_GE(d[s * 256 + b], best) << t.r << ' ' << t.g << ' ' << t.b << " sat " << s << " level " << b;
        }
      }
    }
  });
  EXPECT_LT(kept, all / 4); // the blocks are not whole hues
}

// The search may start from this value only if some candidate lies below it.
TEST(Bounds, StartingBestLiesAboveSomeCandidate) {
  std::vector<double> lowest(sampled_targets().size(), 1e9);
  for_each_hue(1, [&](std::size_t i, const Target& t, const HueFactors&, const double*, auto least, const BrightnessTable&) {
    lowest[i] = std::min({lowest[i], least(0, 255), candidate_distance({0, 0, 0}, 0.0f, t)}); // black too
  });
  BrightnessTable table;
  build_brightness_table(table);
  for (std::size_t i = 0; i < lowest.size(); ++i) EXPECT_LT(lowest[i], starting_best(sampled_targets()[i], table)) << i;
}
