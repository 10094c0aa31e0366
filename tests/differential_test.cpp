// The fast search against the literal pass, bit for bit, on the colours that
// exercise its rare paths (greys: ties among whole runs of black or
// near-white candidates; ramps: the edges of the hue wheel) and on a
// deterministic stride through all 2^24 inputs.
#include <gtest/gtest.h>

#include "search_compare.h"

namespace {

// Stops after a few mismatches; each names its input and both results.
void expect_same(std::int32_t r, std::int32_t g, std::int32_t b, int& failures) {
  if (failures >= 5) return;
  const std::string diff = compare_searches(r, g, b);
  if (!diff.empty()) {
    ++failures;
    ADD_FAILURE() << diff;
  }
}

} // namespace

TEST(Differential, AllGreys) {
  int failures = 0;
  for (std::int32_t v = 0; v < 256; ++v) expect_same(v, v, v, failures);
}

TEST(Differential, PrimaryAndSecondaryRamps) {
  int failures = 0;
  for (std::int32_t v = 1; v < 256; v += 9) {
    expect_same(v, 0, 0, failures);
    expect_same(0, v, 0, failures);
    expect_same(0, 0, v, failures);
    expect_same(v, v, 0, failures);
    expect_same(0, v, v, failures);
    expect_same(v, 0, v, failures);
  }
  expect_same(255, 128, 0, failures);
  expect_same(0, 128, 255, failures);
}

TEST(Differential, StrideThroughAllInputs) {
  int failures = 0;
  for (std::uint32_t i = 0; i < 200; ++i) {
    std::int32_t r, g, b;
    colour_at(12345u + i * 83885u, r, g, b); // odd stride: 200 distinct colours
    expect_same(r, g, b, failures);
  }
}
