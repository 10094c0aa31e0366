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
// From the computed D to the exact distance
// ----------------------------------------
// Let f = |k v - t|^2 be the exact real squared distance for the actual factors
// k = (kx, ky, kz), level v and target t (u = 2^-53):
//  - kx v is exact in double, so dR = eR (1 + e) with eR = kx v - tR and
//    |e| <= 2^-24 + 2^-53 + 2^-77 (double then single rounding). A nonzero eR
//    is a multiple of 2^-60 (kx is 0 or a multiple of 2^-32, v of 2^-28, tR of
//    2^-31), far from the subnormal singles. The same holds for dG.
//  - dB = (eB + a)(1 + d) with |d| <= u and |a| <= u kz v < 2^-53 (kz v rounds
//    once); 2 |eB| |a| <= 2^-26 eB^2 + 2^-80.
//  - dR^2 and dG^2 are exact; dB^2 and the two sums round once each.
// Together:   D >= f (1 - 2^-22) - 2^-80.                                 (1)
//
// From the actual factors to the ideal ones. kx and ky are singles rounded
// from cx m + x and cy m + y, kz a double; against the exact k~ = w + m c
// (c = (cx, cy, cz) as held), |k - k~| <= 1.42 * 2^-24 componentwise over all
// three, so the rendered point moves by at most eta = 2^-23 from v k~ (v < 1).
//
// Every further margin below covers the rounding of the bound's own
// arithmetic; the values involved are all below 4 in magnitude, so a few
// dozen units of 2^-53 are what each step can lose, and each margin is set at
// least twice that.
#include <cmath>
#include <limits>

#include "pruning.h"

namespace tintwise {

namespace {

constexpr double kRoundingFloor = 0x1p-80; // the absolute term of (1)
constexpr double kEta = 0x1p-23;           // actual factors vs. ideal ones
constexpr double kHueEta = 0x1p-22;        // actual points vs. the hue's half-plane

// Rows handled one by one once a sector is this narrow.
constexpr std::int32_t kLeafRows = 4;

// The D a candidate must lie below to matter, as a bound on the exact f of
// (1): f < tau = (best + 2^-80) / (1 - 2^-22), computed rounded up.
double candidate_threshold(float best) {
  return (static_cast<double>(best) + kRoundingFloor) * (1 + 0x1p-21);
}

// A lower bound on D from a lower bound on the distance between t and a set
// of ideal points, which the actual rendered points miss by up to `eta`:
// (distance - eta)^2, and (1) with its factor widened to 1 - 2^-21 to cover
// the last three roundings.
double bound_from_distance(double distance, double eta) {
  const double reach = distance - eta;
  if (!(reach > 0)) return 0;
  return reach * reach * (1 - 0x1p-21) - kRoundingFloor;
}

// Plain comparisons: the library calls behind std::fmin and std::fmax cost
// more than the arithmetic around them, and no operand here is NaN.
double lesser(double a, double b) { return b < a ? b : a; }
double greater(double a, double b) { return b > a ? b : a; }

struct Vec3 {
  double x, y, z;
};

double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 scale(const Vec3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 add(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The point of the triangle (a, b, c) nearest to t, approximately: it only
// chooses the direction of the bound below, which holds for any direction.
Vec3 nearest_on_triangle(const Vec3& t, const Vec3& a, const Vec3& b, const Vec3& c) {
  const Vec3 ab = sub(b, a), ac = sub(c, a), ap = sub(t, a);
  const double d1 = dot(ab, ap), d2 = dot(ac, ap);
  if (d1 <= 0 && d2 <= 0) return a;
  const Vec3 bp = sub(t, b);
  const double d3 = dot(ab, bp), d4 = dot(ac, bp);
  if (d3 >= 0 && d4 <= d3) return b;
  const double vc = d1 * d4 - d3 * d2;
  if (vc <= 0 && d1 >= 0 && d3 <= 0) return add(a, scale(ab, d1 / (d1 - d3)));
  const Vec3 cp = sub(t, c);
  const double d5 = dot(ab, cp), d6 = dot(ac, cp);
  if (d6 >= 0 && d5 <= d6) return c;
  const double vb = d5 * d2 - d1 * d6;
  if (vb <= 0 && d2 >= 0 && d6 <= 0) return add(a, scale(ac, d2 / (d2 - d6)));
  const double va = d3 * d6 - d5 * d4;
  if (va <= 0 && d4 - d3 >= 0 && d5 - d6 >= 0) {
    return add(b, scale(sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
  }
  const double inv = 1.0 / (va + vb + vc);
  return add(a, add(scale(ab, vb * inv), scale(ac, vc * inv)));
}

// k~(m) = w + m c at the row's whiteness, before any rounding to single.
Vec3 ideal_factors(const HueFactors& hue, std::int32_t s) {
  const double m = s * static_cast<double>(kInv255);
  return {hue.cx * m + hue.x, static_cast<double>(hue.cy) * m + hue.y, static_cast<double>(hue.cz) * m + hue.z};
}

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

// The black candidates of rows s0..s1 when all else in them is passed over.
void offer_black_run(Pass& p, std::int32_t h, std::int32_t s0, std::int32_t s1) {
  offer_black(p, h, s0);
  if (s1 > s0) offer_black(p, h, s1);
}

void scan_row(Pass& p, std::int32_t h, const HueFactors& hf, std::int32_t s) {
  offer_black(p, h, s);
  const SaturationFactors k = saturation_factors(hf, s);
  const BrightnessRange range = row_range(k, p.t, p.table, p.state.best);
  for (std::int32_t b = range.first; b <= range.last; ++b) {
    const Residual d = residual(k, p.table.level[b], p.t);
    consider(p.state, p.t, d, squared_distance(d), h, s, b);
  }
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

// Where a convex quadratic a m^2 + b m + c (a > 0) is negative: false when
// nowhere.
bool negative_between(double a, double b, double c, double& lo, double& hi) {
  const double disc = b * b - 4 * a * c;
  if (!(disc > 0)) return false;
  const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
  const double m1 = q / a, m2 = c / q;
  lo = lesser(m1, m2);
  hi = greater(m1, m2);
  return true;
}

// An interval of whiteness values m; empty when lo > hi.
struct Span {
  double lo, hi;
};

constexpr double kInf = std::numeric_limits<double>::infinity();

// The hull of the parts of `span` that lie in any of `pieces`.
Span clip(const Span& span, const Span* pieces, int count) {
  Span out{kInf, -kInf};
  for (int i = 0; i < count; ++i) {
    const double lo = greater(span.lo, pieces[i].lo), hi = lesser(span.hi, pieces[i].hi);
    if (lo <= hi) out = {lesser(out.lo, lo), greater(out.hi, hi)};
  }
  return out;
}

// A guess at the rows of a hue that come within reach of the target, as
// whiteness values m: those whose segment {v k~(m) : v1 <= v <= V} passes
// within R of t. It only splits the hue; the sector bounds on either side
// decide. All three conditions are quadratics in m:
//  - the whole line {v k~(m)} comes within R when |t x k~|^2 < R^2 |k~|^2,
//    and t x k~(m) = t x w + m (t x c) is linear in m;
//  - where the line's nearest point v* = t.k~ / |k~|^2 lies beyond V (a
//    target brighter than the model reaches) the segment's nearest point is
//    V k~(m), and it must come within R itself; likewise below v1 (a target
//    darker than the first level) with v1 k~(m).
// Returns false when the line quadratic is not convex (t nearly along c).
bool row_window(const HueFactors& hue, const Target& t, float best, const BrightnessTable& table,
                std::int32_t& first, std::int32_t& last) {
  const double reach = std::sqrt(candidate_threshold(best)) * (1 + 0x1p-20) + 4 * kHueEta;
  const double r2 = reach * reach;
  const Vec3 tv{t.r, t.g, t.b};
  const Vec3 w{hue.x, hue.y, hue.z};
  const Vec3 c{hue.cx, hue.cy, hue.cz};
  const double cc = dot(c, c), wc = dot(w, c), ww = dot(w, w), tc = dot(tv, c), tw = dot(tv, w);
  const Vec3 x = cross(tv, w), y = cross(tv, c);
  const double a = dot(y, y) - r2 * cc;
  if (!(a > 0)) return false;
  first = 1;
  last = 0;
  Span span;
  if (!negative_between(a, 2 * (dot(x, y) - r2 * wc), dot(x, x) - r2 * ww, span.lo, span.hi)) return true;

  // Where level * k~(m) comes within R: |t - level w - m level c|^2 < R^2.
  auto near_cap = [&](double level) {
    const Vec3 gap = sub(tv, scale(w, level));
    Span cap{kInf, -kInf};
    negative_between(level * level * cc, -2 * level * dot(c, gap), dot(gap, gap) - r2, cap.lo, cap.hi);
    return cap;
  };
  // v* > V exactly where V |k~|^2 - t.k~ < 0.
  const double top = table.level[kBrightnessSteps - 1];
  Span beyond;
  if (negative_between(top * cc, 2 * top * wc - tc, top * ww - tw, beyond.lo, beyond.hi)) {
    const Span pieces[3] = {{-kInf, beyond.lo}, {beyond.hi, kInf}, near_cap(top)};
    span = clip(span, pieces, 3);
  }
  // v* >= v1 exactly where v1 |k~|^2 - t.k~ <= 0.
  const double bottom = table.level[1];
  Span within{kInf, -kInf};
  negative_between(bottom * cc, 2 * bottom * wc - tc, bottom * ww - tw, within.lo, within.hi);
  const Span pieces[2] = {within, near_cap(bottom)};
  span = clip(span, pieces, 2);
  if (!(span.lo <= span.hi)) return true;

  const double s_lo = span.lo * 255 - 1, s_hi = span.hi * 255 + 1;
  if (s_hi < 0 || s_lo > 255) return true;
  first = s_lo <= 0 ? 0 : static_cast<std::int32_t>(s_lo);
  last = s_hi >= 255 ? 255 : static_cast<std::int32_t>(std::ceil(s_hi));
  return true;
}

// Hue h; `bound` is its hue_bound when already known, else -infinity.
void scan_hue(Pass& p, std::int32_t h, double bound) {
  const HueFactors hf = hue_factors(hue_weights(h));
  const double best = p.state.best;
  constexpr std::int32_t kLast = kSaturationSteps - 1;
  if (bound == -kInf) bound = hue_bound(hf, p.t);
  if (bound >= best || sector_bound(hf, 0, kLast, p.t, p.table) >= best) {
    offer_black_run(p, h, 0, kLast);
    return;
  }
  std::int32_t first, last;
  if (!row_window(hf, p.t, p.state.best, p.table, first, last)) {
    scan_sector(p, h, hf, 0, kLast);
    return;
  }
  if (first > last) first = last = 0; // nothing near: let the sectors decide
  scan_sector(p, h, hf, 0, first - 1);
  for (std::int32_t s = first; s <= last; ++s) scan_row(p, h, hf, s);
  scan_sector(p, h, hf, last + 1, kLast);
}

} // namespace

// Lower bound on D over a whole hue.
//
// Since c = 1 - w up to the rounding of the complements, every rendered point
// is v k = v (1 - m) w + v m (1, 1, 1) up to kHueEta: the rounding of k
// (eta), of c (|v m (c - (1 - w))| < 0.83 * 1.42 * 2^-24), and a whiteness a
// hair above 1 at saturation 255 ((m - 1) v |w| < 4.9e-8) add to < 1.9e-7.
// Those points lie in the half-plane {a w + b (1, 1, 1) : a >= 0}, whose
// distance from t is, across the grey axis, the distance in the plane
// normal to it from t's chroma to the ray along w's chroma. That costs a few
// products per hue, and decides most hues at once. The computed distance is
// within 2^-48 of the exact one (chroma parts below 1, a few roundings each);
// the rest of the margin is as for the sector bound.
double hue_bound(const HueFactors& hue, const Target& t) {
  const double tm = (static_cast<double>(t.r) + t.g + t.b) / 3;
  const Vec3 tc{t.r - tm, t.g - tm, t.b - tm};
  const double wm = (hue.x + hue.y + hue.z) / 3;
  const Vec3 wc{hue.x - wm, hue.y - wm, hue.z - wm};
  double d2;
  if (dot(tc, wc) <= 0) {
    d2 = dot(tc, tc);
  } else {
    const Vec3 x = cross(tc, wc);
    d2 = dot(x, x) / dot(wc, wc);
  }
  return bound_from_distance(std::sqrt(d2) - 0x1p-46, kHueEta);
}

// Lower bound on D over the rows s0..s1, brightness 1..255.
//
// For fixed hue, v k~(m) is bilinear in the level v and the whiteness m, so
// these candidates lie (up to eta) in the quadrilateral with corners
// v1 k~(m0), V k~(m0), V k~(m1), v1 k~(m1), v1 the level of brightness 1 and V
// the top level. For any direction n, every point p of a convex set S has
// |t - p| >= (n.t - max over S of n.p) / |n|, and over the quadrilateral that
// maximum is reached at a corner. We take n from t towards its (approximately)
// nearest point; a poor n only weakens the bound. Margins, with all
// magnitudes below 2.5:
//  - the corners are computed within 2^-50 of the ideal ones;
//  - n.t, n.corner, their difference, the norm and the quotient lose < 41 u
//    in all, so  dist(t, quadrilateral) >= (n.t - max n.corner) / |n| - 2^-47,
//    and subtracting 2^-46 covers that and the subtraction's own rounding;
//  - then bound_from_distance.
double sector_bound(const HueFactors& hue, std::int32_t s0, std::int32_t s1, const Target& t,
                    const BrightnessTable& table) {
  const double low = table.level[1];
  const double top = table.level[kBrightnessSteps - 1];
  const Vec3 k0 = ideal_factors(hue, s0), k1 = ideal_factors(hue, s1);
  const Vec3 corner[4] = {scale(k0, low), scale(k0, top), scale(k1, top), scale(k1, low)};
  const Vec3 tv{t.r, t.g, t.b};
  const Vec3 q0 = nearest_on_triangle(tv, corner[0], corner[1], corner[2]);
  const Vec3 q1 = nearest_on_triangle(tv, corner[0], corner[2], corner[3]);
  const Vec3 n0 = sub(tv, q0), n1 = sub(tv, q1);
  const Vec3 n = dot(n0, n0) <= dot(n1, n1) ? n0 : n1;
  double support = dot(n, corner[0]);
  for (int i = 1; i < 4; ++i) support = greater(support, dot(n, corner[i]));
  const double numerator = dot(n, tv) - support;
  if (!(numerator > 0)) return 0; // also when n is 0: t lies in the quadrilateral
  return bound_from_distance(numerator / std::sqrt(dot(n, n)) - 0x1p-46, kEta);
}

// Where the curve reaches `level`, as a real brightness: solving
// level = 0.7 f / (sqrt(f) + 0.01) for y = sqrt(f) gives
// 0.7 y^2 - level y - 0.01 level = 0. Only a starting point for the search
// through the table below, so its rounding does not matter.
double approximate_brightness(double level) {
  const double y = (level + std::sqrt(level * level + 0.028 * level)) / 1.4;
  return y * y * (255 / 1.4);
}

// The first brightness in 1..255 whose level is at least x (above x when
// `strictly`), or 256 when there is none. Levels strictly increase.
std::int32_t first_level_beyond(const BrightnessTable& table, double x, bool strictly) {
  const auto passes = [&](std::int32_t b) {
    const double level = table.level[b];
    return strictly ? level > x : level >= x;
  };
  if (passes(1)) return 1;
  if (!passes(kBrightnessSteps - 1)) return kBrightnessSteps;
  const double guess = approximate_brightness(x);
  std::int32_t b = guess < 2 ? 2 : guess > 255 ? 255 : static_cast<std::int32_t>(guess);
  while (!passes(b)) ++b;      // ends by 255, which passes
  while (passes(b - 1)) --b;   // ends by 2, since 1 does not pass
  return b;
}

// Brightness levels of one row that may lie below `best`.
//
// Along the row f(v) = A (v - v*)^2 + fmin with A = |k|^2, v* = k.t / A: a
// candidate needs f < tau = (best + 2^-80) / (1 - 2^-22) by (1), that is
// |v - v*| < w = sqrt((tau - fmin) / A). We compute tau rounded up, v* (to
// 2^-47: A and k.t sum non-negative terms, and v* < 3.001 since |k| >= 0.577),
// and fmin from the residual at the computed v* (to 2^-45: the residuals are
// below 1.74 and lose 7.1 u each), then widen w and the window so that every
// level whose f could fall below tau is inside. The margins are some 1e-14
// against level spacings above 1e-3, so they cost nothing.
BrightnessRange row_range(const SaturationFactors& k, const Target& t, const BrightnessTable& table,
                          float best) {
  const BrightnessRange empty{1, 0};
  const double kx = k.kx, ky = k.ky, kz = k.kz;
  const double tr = t.r, tg = t.g, tb = t.b;
  const double tau = candidate_threshold(best);
  const double a = kx * kx + ky * ky + kz * kz;
  const double centre = (kx * tr + ky * tg + kz * tb) / a;
  const double rr = tr - kx * centre, rg = tg - ky * centre, rb = tb - kz * centre;
  const double fmin_low = (rr * rr + rg * rg + rb * rb) - 0x1p-45;
  const double gap = tau - fmin_low; // same sign as the exact difference
  if (!(gap > 0)) return empty;
  const double half_width = std::sqrt(gap * (1 + 0x1p-50) / a) * (1 + 0x1p-49) + 0x1p-46;
  const double lo = centre - half_width;
  const double hi = centre + half_width;

  const std::int32_t first = first_level_beyond(table, lo, false);
  return {first, first_level_beyond(table, hi, true) - 1};
}

// Where the target's chroma points on the hue wheel, as a real hue step in
// [0, 255): the hue whose weights are proportional to t - min(t). Negative
// for a grey, which has no chroma.
double target_hue(const Target& t) {
  const double r = t.r, g = t.g, b = t.b;
  const double lo = lesser(r, lesser(g, b));
  double hue;
  if (r == g && g == b) return -1;
  if (lo == b) hue = 85 * (g - lo) / ((r - lo) + (g - lo));
  else if (lo == r) hue = 85 + 85 * (b - lo) / ((g - lo) + (b - lo));
  else hue = 170 + 85 * (r - lo) / ((b - lo) + (r - lo));
  return hue < 255 ? hue : 0;
}

// A cheap guess at the answer: read the colour as the model writes it,
// P = v ((1 - m) w + m), so that the smallest channel is v m, the sum is
// v (1 + 2 m), and what is left over gives the hue. From there a pattern
// search (steps 16, 8, 4, 2, 1 in hue, saturation and brightness) walks
// downhill through exactly evaluated candidates; the best of them, and black,
// bounds the answer from above.
float starting_best(const Target& t, const BrightnessTable& table) {
  const double r = t.r, g = t.g, b = t.b;
  double best = squared_distance(residual({0, 0, 0}, 0.0f, t));

  const double lo = lesser(r, lesser(g, b));
  const double v = (r + g + b) - 2 * lo;
  if (v > 0) {
    const double hue = greater(target_hue(t), 0); // a grey lies in every hue
    std::int32_t at[3] = {static_cast<std::int32_t>(std::lround(hue)) % kHueSteps,
                          static_cast<std::int32_t>(std::lround(lesser(lo / v, 1.0) * 255)), 1};
    while (at[2] < kBrightnessSteps - 1 && static_cast<double>(table.level[at[2]]) < v) ++at[2];

    auto distance = [&](const std::int32_t* p) {
      const SaturationFactors k = saturation_factors(hue_factors(hue_weights(p[0])), p[1]);
      return candidate_distance(k, table.level[p[2]], t);
    };
    double here = distance(at);
    for (std::int32_t step = 16; step >= 1; step /= 2) {
      for (bool moved = true; moved;) {
        moved = false;
        for (int axis = 0; axis < 3; ++axis) {
          for (std::int32_t sign = -1; sign <= 1; sign += 2) {
            std::int32_t next[3] = {at[0], at[1], at[2]};
            next[axis] += sign * step;
            if (axis == 0) next[0] = (next[0] + kHueSteps) % kHueSteps;
            else if (next[axis] < axis - 1 || next[axis] > 255) continue; // saturation 0.., level 1..
            const double there = distance(next);
            if (there < here) {
              here = there;
              at[0] = next[0], at[1] = next[1], at[2] = next[2];
              moved = true;
            }
          }
        }
      }
    }
    best = lesser(best, here);
  }
  float start = to_single(best);
  if (!(best < static_cast<double>(start))) start = std::nextafter(start, std::numeric_limits<float>::infinity());
  return start;
}

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
  for (double& b : bound) b = -kInf;
  const double centre = target_hue(t);
  std::int32_t count = 0;
  if (centre >= 0) {
    for (bool& b : in_arc) b = false;
    const double best = state.best;
    const auto below = [&](std::int32_t h) {
      bound[h] = hue_bound(hue_factors(hue_weights(h)), t);
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
      scan_hue(pass, h, bound[h]);
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
