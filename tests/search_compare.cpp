#include "search_compare.h"

#include <cstdio>

#include "bits.h"
#include "pruning.h"

using namespace tintwise;

namespace {

using Search = void (*)(SearchState&, const Target&, const BrightnessTable&);

SearchState run(Search search, std::int32_t r, std::int32_t g, std::int32_t b) {
  BrightnessTable table;
  build_brightness_table(table);
  SearchState state{};
  state.best = kInitialBest;
  search(state, unit_target(r, g, b), table);
  return state;
}

std::string show(const SearchState& s) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "hsb %d %d %d rgb %08x %08x %08x best %08x", static_cast<int>(s.match.hue),
                static_cast<int>(s.match.saturation), static_cast<int>(s.match.brightness),
                static_cast<unsigned>(bits(s.match.red)), static_cast<unsigned>(bits(s.match.green)),
                static_cast<unsigned>(bits(s.match.blue)), static_cast<unsigned>(bits(s.best)));
  return buf;
}

} // namespace

std::string compare_searches(std::int32_t r, std::int32_t g, std::int32_t b) {
  const SearchState ref = run(search_exhaustive, r, g, b);
  const SearchState fast = run(search_pruned, r, g, b);
  const std::string a = show(ref), f = show(fast);
  if (a == f) return {};
  char input[48];
  std::snprintf(input, sizeof input, "%d %d %d", static_cast<int>(r), static_cast<int>(g), static_cast<int>(b));
  return std::string(input) + ": reference " + a + ", fast " + f;
}

void colour_at(std::uint32_t i, std::int32_t& r, std::int32_t& g, std::int32_t& b) {
  r = static_cast<std::int32_t>((i >> 16) & 255);
  g = static_cast<std::int32_t>((i >> 8) & 255);
  b = static_cast<std::int32_t>(i & 255);
}
