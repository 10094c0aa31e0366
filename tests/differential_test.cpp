// The fast search against the literal pass, bit for bit, on the default
// differential set (greys, ramps, and a stride through all inputs).
#include <gtest/gtest.h>

#include "search_compare.h"

namespace {

// Compares one share of the set; stops after a few mismatches, each naming
// its input and both results.
void expect_same(std::size_t share, std::size_t shares) {
  const std::vector<Colour> colours = differential_colours();
  int failures = 0;
  for (std::size_t i = share; i < colours.size() && failures < 5; i += shares) {
    const std::string diff = compare_searches(colours[i]);
    if (!diff.empty()) {
      ++failures;
      ADD_FAILURE() << diff;
    }
  }
}

} // namespace

// Four shares, so that CTest can run them side by side.
TEST(Differential, Share0) { expect_same(0, 4); }
TEST(Differential, Share1) { expect_same(1, 4); }
TEST(Differential, Share2) { expect_same(2, 4); }
TEST(Differential, Share3) { expect_same(3, 4); }

TEST(Differential, CoversEnoughColours) { EXPECT_GE(differential_colours().size(), 500u); }
