// The fast search: the sequential pass over all candidates, minus the
// candidates that provably cannot replace the best when the pass reaches them.
//
// Why skipping is exact
// ---------------------
// The pass replaces the best only when D < best, and best never rises. A
// candidate whose D is at least the best of the moment changes nothing, and
// then the best of the moment stays. So a group of candidates may be passed
// over whenever a lower bound on all their D is at least the best at the
// point where the pass reaches the group; every tie rule follows, since the
// candidates that are evaluated are evaluated in the pass's own order.
//
// Starting low. If some candidate has D < T for a single-precision T, the pass
// may start from best = T instead of 10000 and ends in the same state: every
// candidate before the first with D < T has D >= T, so in the literal pass the
// best stays >= T (a value >= T rounds to a single >= T); that first candidate
// then replaces the best in both passes, which from there on agree.
//
// Black. Brightness 0 renders black in every row, with one distance D0 for all
// 65,280 of them. Where rows are passed over, their black candidates are
// replayed exactly: the first replaces the best iff D0 < best; after that the
// best is single(D0), and each later one replaces it iff D0 < single(D0), so
// it is enough to offer the first and the last row of the run.
//
// The bounds themselves, and the argument for each, are in pruning.cpp.
#include <limits>

#include "pruning.h"

namespace tintwise {

namespace {

// Rows handled one by one once a sector is this narrow.
constexpr std::int32_t kLeafRows = 4;

// Levels within reach up to which every level of a block is evaluated in
// every row, rather than narrowed row by row first.
constexpr std::int32_t kDirectLevels = 8;

constexpr double kInf = std::numeric_limits<double>::infinity();

// One pass: the state and what stays fixed during it.
struct Pass {
  SearchState& state;
  const Target& t;
  const BrightnessTable& table;
  Residual black;
  double black_d;
};

void offer_black(Pass& p, std::int32_t h, std::int32_t s) {
  consider(p.state, p.t, p.black, p.black_d, h, s, 0);
}

// The black candidates of rows s0..s1 (none when s0 > s1) when all else in
// them is passed over.
void offer_black_run(Pass& p, std::int32_t h, std::int32_t s0, std::int32_t s1) {
  if (s0 > s1) return;
  offer_black(p, h, s0);
  if (s1 > s0) offer_black(p, h, s1);
}

// Row s of hue h at levels b0..b1 (and black), with its factors k.
void scan_levels(Pass& p, std::int32_t h, std::int32_t s, const SaturationFactors& k, std::int32_t b0,
                 std::int32_t b1) {
  offer_black(p, h, s);
  for (std::int32_t b = b0; b <= b1; ++b) {
    const Residual d = residual(k, p.table.level[b], p.t);
    consider(p.state, p.t, d, squared_distance(d), h, s, b);
  }
}

// Row s of hue h at the levels its row range leaves.
void scan_row(Pass& p, std::int32_t h, const HueFactors& hf, std::int32_t s) {
  const SaturationFactors k = saturation_factors(hf, s);
  const BrightnessRange range = row_range(k, p.t, p.table, p.state.best);
  scan_levels(p, h, s, k, range.first, range.last);
}

// Rows s0..s1 of hue h, in order (none when s0 > s1).
void scan_sector(Pass& p, std::int32_t h, const HueFactors& hf, std::int32_t s0, std::int32_t s1) {
  if (s0 > s1) return;
  if (sector_bound(hf, s0, s1, p.t, p.table) >= static_cast<double>(p.state.best)) {
    offer_black_run(p, h, s0, s1);
    return;
  }
  if (s1 - s0 < kLeafRows) {
    for (std::int32_t s = s0; s <= s1; ++s) scan_row(p, h, hf, s);
    return;
  }
  const std::int32_t mid = s0 + (s1 - s0) / 2;
  scan_sector(p, h, hf, s0, mid);
  scan_sector(p, h, hf, mid + 1, s1);
}

// Hue h, with its factors; `bound` is its hue_bound when already known, else
// -infinity.
void scan_hue(Pass& p, std::int32_t h, const HueFactors& hf, double bound) {
  const double best = p.state.best;
  constexpr std::int32_t kLast = kSaturationSteps - 1;
  if (bound == -kInf) bound = hue_bound(hf, p.t);
  if (bound >= best) {
    offer_black_run(p, h, 0, kLast);
    return;
  }
  // The block that may hold a candidate below the best. Few levels are
  // evaluated in every row of it; with more, the rows are narrowed by sector
  // bounds and row by row.
  const Block block = level_block(hf, p.t, p.state.best, p.table);
  if (block.s0 > block.s1 || block.b0 > block.b1) {
    offer_black_run(p, h, 0, kLast);
    return;
  }
  offer_black_run(p, h, 0, block.s0 - 1);
  if (block.b1 - block.b0 < kDirectLevels) {
    for (std::int32_t s = block.s0; s <= block.s1; ++s) scan_levels(p, h, s, saturation_factors(hf, s), block.b0, block.b1);
  } else if (block.s1 - block.s0 < kLeafRows) {
    for (std::int32_t s = block.s0; s <= block.s1; ++s) scan_row(p, h, hf, s);
  } else {
    scan_sector(p, h, hf, block.s0, block.s1);
  }
  offer_black_run(p, h, block.s1 + 1, kLast);
}

} // namespace

void search_pruned(SearchState& state, const Target& t, const BrightnessTable& table) {
  const Residual black = residual({0, 0, 0}, 0.0f, t);
  Pass pass{state, t, table, black, squared_distance(black)};
  state.best = starting_best(t, table);

  // The hues worth a look form one arc around the target's own hue. Each hue's
  // half-plane meets the plane normal to the grey axis in a ray, and those
  // rays turn monotonically with the hue step, a full turn over the wheel. The
  // exact distance from t to the half-plane grows with the angle between that
  // ray and t's chroma, up to half a turn. So walking away from the target's
  // hue on either side, once one hue's bound (a lower bound on the exact
  // distance, see hue_bound) reaches the best, every hue further on that side
  // is at least as far, until the walks from both sides meet.
  bool in_arc[kHueSteps];
  double bound[kHueSteps]; // hue bounds the walks computed, for scan_hue
  HueFactors factors[kHueSteps]; // valid where bound is
  for (double& b : bound) b = -kInf;
  const double centre = target_hue(t);
  std::int32_t count = 0;
  if (centre >= 0) {
    for (bool& b : in_arc) b = false;
    const double best = state.best;
    const auto below = [&](std::int32_t h) {
      factors[h] = hue_factors(hue_weights(h));
      bound[h] = hue_bound(factors[h], t);
      return bound[h] < best;
    };
    const auto start = static_cast<std::int32_t>(centre); // at or just before the target's angle
    for (std::int32_t h = (start + 1) % kHueSteps; count < kHueSteps && below(h); h = (h + 1) % kHueSteps) {
      in_arc[h] = true;
      ++count;
    }
    for (std::int32_t h = start; count < kHueSteps && below(h); h = (h + kHueSteps - 1) % kHueSteps) {
      in_arc[h] = true;
      ++count;
    }
  }
  if (centre < 0 || count == kHueSteps) {
    for (bool& b : in_arc) b = true;
  }

  for (std::int32_t h = 0; h < kHueSteps;) {
    if (state.best == 0) return; // no distance lies below 0
    if (in_arc[h]) {
      if (bound[h] == -kInf) factors[h] = hue_factors(hue_weights(h));
      scan_hue(pass, h, factors[h], bound[h]);
      ++h;
      continue;
    }
    std::int32_t last = h; // a run of hues outside the arc: only black is left
    while (last + 1 < kHueSteps && !in_arc[last + 1]) ++last;
    offer_black(pass, h, 0);
    offer_black(pass, last, kSaturationSteps - 1);
    h = last + 1;
  }
}

} // namespace tintwise
