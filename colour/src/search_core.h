// Pieces shared by the searches: the target on the unit scale, the exact
// evaluation of one candidate, and the update of the best so far.
#ifndef TINTWISE_SEARCH_CORE_H
#define TINTWISE_SEARCH_CORE_H

#include "tintwise/hsb_model.h"
#include "tintwise/hsb_search.h"
#include "single.h"

namespace tintwise {

// The requested colour on the unit scale, each channel rounded to single.
struct Target {
  float r, g, b;
};

inline Target unit_target(std::int32_t r, std::int32_t g, std::int32_t b) {
  const double inv = kInv255;
  return {to_single(r * inv), to_single(g * inv), to_single(b * inv)};
}

// The search's state: the winner so far and its distance, held in single.
struct SearchState {
  HsbMatch match;
  float best;
};

constexpr float kInitialBest = 10000.0f; // 0x461C4000

// The differences of one candidate from the target. Red and green round to
// single; blue stays double. Products of two singles are exact in double, so
// dR and dG round twice (to double, then to single), as the model defines.
struct Residual {
  float dR, dG;
  double dB;
};

inline Residual residual(const SaturationFactors& k, float level, const Target& t) {
  const double v = level;
  Residual d;
  d.dR = to_single(static_cast<double>(k.kx) * v - static_cast<double>(t.r));
  d.dG = to_single(static_cast<double>(k.ky) * v - static_cast<double>(t.g));
  d.dB = k.kz * v - static_cast<double>(t.b);
  return d;
}

// Squared distance, summed blue, green, red in that order, rounding each step.
inline double squared_distance(const Residual& d) {
  const double dR = d.dR;
  const double dG = d.dG;
  return (d.dB * d.dB + dG * dG) + dR * dR;
}

// The same, as a function of the library: its arithmetic is compiled with the
// library's own flags, which the tests check through it.
double candidate_distance(const SaturationFactors& k, float level, const Target& t);

// The one comparison that ranks candidates: strictly below the best, which is
// held in single. When storing the best rounds a distance up, later candidates
// at that same distance pass and the last of them wins; when it rounds down or
// is exact, the first stays.
inline void consider(SearchState& state, const Target& t, const Residual& d, double distance,
                     std::int32_t hue, std::int32_t saturation, std::int32_t brightness) {
  if (!(distance < static_cast<double>(state.best))) return;
  state.best = to_single(distance);
  state.match.hue = hue;
  state.match.saturation = saturation;
  state.match.brightness = brightness;
  state.match.red = to_single(static_cast<double>(d.dR) + static_cast<double>(t.r));
  state.match.green = to_single(static_cast<double>(d.dG) + static_cast<double>(t.g));
  state.match.blue = to_single(d.dB + static_cast<double>(t.b));
}

// A search strategy: fills the state, which starts at kInitialBest.
using Search = void (*)(SearchState&, const Target&, const BrightnessTable&);

// One whole search of the colour (r, g, b) from a fresh state, with its own
// brightness table.
SearchState run_search(Search search, std::int32_t r, std::int32_t g, std::int32_t b);

// Visits all 16,711,680 candidates in order. This literal pass defines the
// answer.
void search_exhaustive(SearchState& state, const Target& t, const BrightnessTable& table);

// Writes the two report lines for a finished search into `out`; returns
// their length, or 0 when `size` is too small.
std::size_t format_report(const SearchState& state, char* out, std::size_t size);

} // namespace tintwise

#endif
