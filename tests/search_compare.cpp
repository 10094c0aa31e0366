#include "search_compare.h"

#include <cstdio>

#include "bits.h"
#include "pruning.h"

using namespace tintwise;

namespace {

std::string line(Search search, const Colour& c) {
  const SearchState s = run_search(search, c.r, c.g, c.b);
  char buf[400], report[256];
  format_report(s, report, sizeof report);
  for (char* p = report; *p; ++p) *p = *p == '\n' ? '|' : *p;
  std::snprintf(buf, sizeof buf, "%d %d %d: hsb %d %d %d rgb %08x %08x %08x best %08x %s", static_cast<int>(c.r),
                static_cast<int>(c.g), static_cast<int>(c.b), static_cast<int>(s.match.hue),
                static_cast<int>(s.match.saturation), static_cast<int>(s.match.brightness),
                static_cast<unsigned>(bits(s.match.red)), static_cast<unsigned>(bits(s.match.green)),
                static_cast<unsigned>(bits(s.match.blue)), static_cast<unsigned>(bits(s.best)), report);
  return buf;
}

} // namespace

std::vector<Colour> differential_colours() {
  std::vector<Colour> out;
  for (std::int32_t v = 0; v < 256; ++v) out.push_back({v, v, v});
  for (std::int32_t v = 1; v < 256; v += 9) {
    const Colour ramps[] = {{v, 0, 0}, {0, v, 0}, {0, 0, v}, {v, v, 0}, {0, v, v}, {v, 0, v}};
    out.insert(out.end(), std::begin(ramps), std::end(ramps));
  }
  out.push_back({255, 128, 0});
  out.push_back({0, 128, 255});
  for (std::uint32_t i = 0; i < 200; ++i) out.push_back(colour_at(12345u + i * 83885u)); // odd stride: distinct
  return out;
}

Colour colour_at(std::uint32_t i) {
  return {static_cast<std::int32_t>((i >> 16) & 255), static_cast<std::int32_t>((i >> 8) & 255),
          static_cast<std::int32_t>(i & 255)};
}

std::string reference_line(const Colour& c) { return line(search_exhaustive, c); }
std::string fast_line(const Colour& c) { return line(search_pruned, c); }

std::string compare_searches(const Colour& c) {
  const std::string ref = reference_line(c), fast = fast_line(c);
  if (ref == fast) return {};
  return "reference " + ref + "\n     fast " + fast;
}
