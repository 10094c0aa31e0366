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

// A single-precision value that some candidate's D lies strictly below,
// found from a few candidates near the colour's own hue, whiteness and level.
float starting_best(const Target& t, const BrightnessTable& table);

// The fast search: the same result as search_exhaustive from a fresh state.
void search_pruned(SearchState& state, const Target& t, const BrightnessTable& table);

} // namespace tintwise

#endif
