// The pieces of the fast search that decide what need not be evaluated.
// Each is a safe bound in its own right and is tested on its own.
#ifndef TINTWISE_PRUNING_H
#define TINTWISE_PRUNING_H

#include "search_core.h"

namespace tintwise {

// A lower bound on the computed distance D of every candidate of one hue at
// brightness 1..255.
double hue_bound(const HueFactors& hue, const Target& t);

// A lower bound on the computed distance D of every candidate in rows
// s0..s1 (s0 <= s1) of one hue at brightness 1..255. Brightness 0 renders
// black in every row and is handled apart.
double sector_bound(const HueFactors& hue, std::int32_t s0, std::int32_t s1, const Target& t,
                    const BrightnessTable& table);

// Brightness levels first..last of one row (within 1..255; empty when
// first > last). Every other level b >= 1 of the row has D >= best, so it
// cannot replace a best of `best` or lower.
struct BrightnessRange {
  std::int32_t first, last;
};
BrightnessRange row_range(const SaturationFactors& k, const Target& t, const BrightnessTable& table,
                          float best);

// Rows s0..s1 (within 0..255; none when s0 > s1) and brightness levels
// b0..b1 (within 1..255; none when b0 > b1) of one hue: every candidate at
// brightness 1..255 outside that block has D >= best.
struct Block {
  std::int32_t s0, s1, b0, b1;
};
Block level_block(const HueFactors& hue, const Target& t, float best, const BrightnessTable& table);

// Where the target's chroma points on the hue wheel, as a real hue step in
// [0, 255); negative for a grey.
double target_hue(const Target& t);

// A single-precision value that some candidate's D lies strictly below,
// found from a few candidates near the colour's own hue, whiteness and level.
float starting_best(const Target& t, const BrightnessTable& table);

// The fast search: the same result as search_exhaustive from a fresh state.
void search_pruned(SearchState& state, const Target& t, const BrightnessTable& table);

} // namespace tintwise

#endif
