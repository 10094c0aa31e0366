#include "tintwise/hsb_search.h"

#include <cmath>
#include <cstdio>

#include "decimal_format.h"
#include "pruning.h"
#include "search_core.h"

namespace tintwise {

double candidate_distance(const SaturationFactors& k, float level, const Target& t) {
  return squared_distance(residual(k, level, t));
}

void search_exhaustive(SearchState& state, const Target& t, const BrightnessTable& table) {
  for (std::int32_t h = 0; h < kHueSteps; ++h) {
    const HueFactors hf = hue_factors(hue_weights(h));
    for (std::int32_t s = 0; s < kSaturationSteps; ++s) {
      const SaturationFactors k = saturation_factors(hf, s);
      for (std::int32_t b = 0; b < kBrightnessSteps; ++b) {
        const Residual d = residual(k, table.level[b], t);
        consider(state, t, d, squared_distance(d), h, s, b);
      }
    }
  }
}

std::size_t format_rendered(float red, float green, float blue, char* out, std::size_t size) {
  // Each value is finite and below 1000, so 8 bytes hold it at one decimal.
  char a[8], b[8], c[8];
  format_fixed(static_cast<double>(red) * 255.0, 1, a, sizeof a);
  format_fixed(static_cast<double>(green) * 255.0, 1, b, sizeof b);
  format_fixed(static_cast<double>(blue) * 255.0, 1, c, sizeof c);
  const int n = std::snprintf(out, size, "(%s, %s, %s)", a, b, c);
  return n < 0 || static_cast<std::size_t>(n) >= size ? 0 : static_cast<std::size_t>(n);
}

namespace {

double rgb_distance(const SearchState& state) { return std::sqrt(static_cast<double>(state.best)) * 255.0; }

std::size_t format_distance(const SearchState& state, char* out, std::size_t size) {
  return format_fixed(rgb_distance(state), 6, out, size);
}

} // namespace

std::size_t format_report(const SearchState& state, char* out, std::size_t size) {
  char distance[16], rendered[48];
  format_distance(state, distance, sizeof distance);
  format_rendered(state.match.red, state.match.green, state.match.blue, rendered, sizeof rendered);
  const int n = std::snprintf(out, size,
                              "[Distance between RGB and the best matching HSB = %s]\n"
                              "[The HSB chosen is actually equivalent to RGB %s]\n\n",
                              distance, rendered);
  return n < 0 || static_cast<std::size_t>(n) >= size ? 0 : static_cast<std::size_t>(n);
}

SearchState run_search(Search search, std::int32_t r, std::int32_t g, std::int32_t b) {
  BrightnessTable table;
  build_brightness_table(table);
  SearchState state{};
  state.best = kInitialBest;
  search(state, unit_target(r, g, b), table);
  return state;
}

namespace {

void find_and_report(Search search, HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b,
                     bool verbose) {
  const SearchState state = run_search(search, r, g, b);
  match = state.match;
  if (!verbose) return;
  char text[256];
  std::fputs(format_report(state, text, sizeof text) > 0 ? text : "", stdout);
}

} // namespace

void find_best_hsb(HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b, bool verbose) {
  find_and_report(search_pruned, match, r, g, b, verbose);
}

std::size_t find_best_hsb_report(HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b, char* out,
                                 std::size_t size) {
  const SearchState state = run_search(search_pruned, r, g, b);
  match = state.match;
  return format_report(state, out, size);
}

void find_best_hsb_answer(HsbAnswer& answer, std::int32_t r, std::int32_t g, std::int32_t b) {
  const SearchState state = run_search(search_pruned, r, g, b);
  answer.match = state.match;
  answer.rgb_distance = rgb_distance(state);
  format_fixed(answer.rgb_distance, 6, answer.distance, sizeof answer.distance);
}

void find_best_hsb_reference(HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b,
                             bool verbose) {
  find_and_report(search_exhaustive, match, r, g, b, verbose);
}

} // namespace tintwise
