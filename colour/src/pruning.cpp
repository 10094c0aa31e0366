// Bounds for the fast search: each says of a group of candidates that none
// of them can lie below a given best, and errs only towards keeping them.
//
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
#include <initializer_list>
#include <limits>

#include "pruning.h"

namespace tintwise {

namespace {

constexpr double kRoundingFloor = 0x1p-80; // the absolute term of (1)
constexpr double kEta = 0x1p-23;           // actual factors vs. ideal ones
constexpr double kHueEta = 0x1p-22;        // actual points vs. the hue's half-plane

// Levels within reach below which level_block takes the rows level by level.
constexpr std::int32_t kLevelByLevel = 8;

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

constexpr double kInf = std::numeric_limits<double>::infinity();

// Roughly where the curve reaches `level`, as a real brightness: with
// y = sqrt(f), level = 0.7 y^2 / (y + 0.01) is close to 0.7 (y - 0.01), so
// y is close to level / 0.7 + 0.01 (a quarter of a step off at brightness 1,
// far less above). Only a starting point for the walk through the table
// below, which finds the exact answer from anywhere.
double approximate_brightness(double level) {
  const double y = level * (1 / 0.7) + 0.01;
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

// The block of one hue that may hold a candidate below `best`: the levels
// within reach, and the rows that reach the target at any of them.
//
// Every ideal point of the hue is p = a w + beta c with a = v and beta = v m:
// a linear image of (a, beta), so the points lie in the plane of w and c.
// With t* = a* w + beta* c the projection of t onto that plane and
// d = t - t* (normal to it),
//   |p - t|^2 = d^2 + Q(a - a*, beta - beta*),
//   Q(x, y) = ww x^2 + 2 wc x y + cc y^2 = cc (y + x wc/cc)^2 + (det/cc) x^2,
// with ww = w.w, wc = w.c, cc = c.c and det = ww cc - wc^2, which lies in
// [0.500, 2.001] over all hues (w and c are never near parallel). A candidate
// with D < best has exact f < tau by (1), so its ideal point lies within
// R = sqrt(tau) + eta of t, that is inside the ellipse E: Q < rho^2 =
// R^2 - d^2. Hence its level a lies within rho sqrt(cc/det) of a*, and, at a
// level a (x = a - a*), its beta lies within sqrt((rho^2 - (det/cc) x^2) / cc)
// of beta* - x wc/cc: a chord of E. Its row is s = 255 beta / a.
//
// The levels are first narrowed to the part of E where 0 <= m <= 1 (every
// row's whiteness; see narrow_levels), which for a colour beyond the
// brightest the model renders leaves only the top few. With few levels left, the rows are the hull of the chords at every
// one of them: for dark colours, whose few levels are far apart, this is far
// narrower than any continuous bound. With many, the rows are the hull of the
// slopes m = beta / a over E between the first and last level: attained
// either at an end of the chord at one of those two levels, or where a line
// beta = m a through the origin touches E. Such a line meets E iff
//   (tw + m tc)^2 - (ww + 2 wc m + cc m^2) K > 0,  K = |t*|^2 - rho^2,
// (tw = t.w, tc = t.c), a quadratic in m whose roots are the two tangent
// slopes, touching at a = (tw + m tc) / (ww + 2 wc m + cc m^2). When the
// origin lies in E (K <= 0) or the quadratic is not concave, every row stays;
// otherwise the levels are narrowed once more, to the rows found.
//
// Margins. Every quantity here is below 4 in magnitude and is computed in a
// handful of roundings, with det bounded away from 0, so the centre, d^2,
// the half-widths and the tangent slopes are within 2^-40 of the exact ones
// (a tangent slope, a root of a quadratic whose coefficients are that close,
// moves by less than 2^-20 even where the two roots nearly meet). R is taken
// as sqrt(tau) (1 + 2^-20) + 2^-20, more than eta + 2^-21 above the exact R,
// and the level reach is widened likewise; the row range is then widened by
// one row on either side, at least 1/255 in m, which covers the rest.
Block level_block(const HueFactors& hue, const Target& t, float best, const BrightnessTable& table) {
  const double reach = std::sqrt(candidate_threshold(best)) * (1 + 0x1p-20) + 0x1p-20;
  const Vec3 tv{t.r, t.g, t.b};
  const Vec3 w{hue.x, hue.y, hue.z};
  const Vec3 c{hue.cx, hue.cy, hue.cz};
  const double ww = dot(w, w), wc = dot(w, c), cc = dot(c, c), det = ww * cc - wc * wc;
  const double inv_det = 1 / det, inv_cc = 1 / cc; // divisions cost more than a few roundings
  const double tw = dot(tv, w), tc = dot(tv, c);
  const double a_star = (cc * tw - wc * tc) * inv_det, beta_star = (ww * tc - wc * tw) * inv_det;
  const Vec3 d = sub(tv, add(scale(w, a_star), scale(c, beta_star)));
  const double rho2 = reach * reach - dot(d, d);
  Block block{1, 0, 1, 0};
  if (!(rho2 > 0)) return block;
  const double a_reach = std::sqrt(rho2 * cc * inv_det) * (1 + 0x1p-40) + 0x1p-40;
  const double k = (a_star * tw + beta_star * tc) - rho2;
  const auto slope_q = [&](double m) { return ww + (2 * wc + cc * m) * m; }; // Q(1, m)

  // Narrows block.b0..b1 to the levels of E within the wedge
  // m0 <= beta / a <= m1; false when none is left. The extreme levels of that
  // convex piece of E lie where a boundary line beta = m a crosses the edge
  // of E (the roots in a of a^2 q - 2 a (tw + m tc) + K = 0, q = Q(1, m)), or
  // at the two points of E's own extreme a, if those lie in the wedge.
  const auto narrow_levels = [&](double m0, double m1) {
    double a_lo = kInf, a_hi = -kInf;
    for (const double m : {m0, m1}) {
      const double q = slope_q(m), p = tw + m * tc, disc = p * p - q * k;
      if (!(disc > 0)) continue;
      const double root = std::sqrt(disc), inv_q = 1 / q;
      a_lo = lesser(a_lo, (p - root) * inv_q);
      a_hi = greater(a_hi, (p + root) * inv_q);
    }
    for (const double side : {-a_reach, a_reach}) {
      const double a = a_star + side, beta = beta_star - side * wc * inv_cc; // in the wedge: m0 <= beta / a <= m1
      if (a > 0 && beta >= m0 * a && beta <= m1 * a) a_lo = lesser(a_lo, a), a_hi = greater(a_hi, a);
    }
    if (!(a_lo <= a_hi)) return false;
    const double margin = 0x1p-30;
    const std::int32_t b0 = first_level_beyond(table, a_lo - margin, false);
    const std::int32_t b1 = first_level_beyond(table, a_hi + margin, true) - 1;
    block.b0 = b0 > block.b0 ? b0 : block.b0;
    block.b1 = b1 < block.b1 ? b1 : block.b1;
    return block.b0 <= block.b1;
  };
  // Every row's whiteness s kInv255 lies in [0, 1 + 2^-23].
  block.b1 = kBrightnessSteps - 1;
  if (!narrow_levels(-0x1p-20, 1 + 0x1p-20)) return {1, 0, 1, 0};

  double lo = kInf, hi = -kInf; // slopes m = beta / a
  const auto take = [&](double m) { lo = lesser(lo, m), hi = greater(hi, m); };
  const auto chord = [&](double a) {
    const double x = a - a_star, room = rho2 - det * inv_cc * x * x;
    if (!(room > 0)) return;
    const double half = std::sqrt(room * inv_cc), centre = beta_star - x * wc * inv_cc, inv_a = 1 / a;
    take((centre - half) * inv_a);
    take((centre + half) * inv_a);
  };
  const bool few = block.b1 - block.b0 < kLevelByLevel;
  if (few) {
    for (std::int32_t b = block.b0; b <= block.b1; ++b) chord(table.level[b]);
  } else {
    const double a0 = table.level[block.b0], a1 = table.level[block.b1];
    chord(a0);
    chord(a1);
    const double qa = tc * tc - cc * k, qb = tw * tc - wc * k, qc = tw * tw - ww * k;
    double m1, m2;
    if (!(k > 0) || !(qa < 0) || !negative_between(-qa, -2 * qb, -qc, m1, m2)) {
      block.s0 = 0, block.s1 = kSaturationSteps - 1;
      return block;
    }
    for (const double m : {m1, m2}) {
      // The touching point a = (tw + m tc) / q lies in [a0, a1]; q > 0.
      const double q = slope_q(m), p = tw + m * tc;
      if (p >= a0 * q && p <= a1 * q) take(m);
    }
  }
  if (!(lo <= hi) || hi * 255 < -1 || lo * 255 > 256) return {1, 0, 1, 0};
  block.s0 = lo * 255 <= 1 ? 0 : static_cast<std::int32_t>(lo * 255) - 1;
  block.s1 = hi * 255 >= 254 ? 255 : static_cast<std::int32_t>(std::ceil(hi * 255)) + 1;
  // With many levels, keep those within the rows found (m = s kInv255 lies
  // within 2^-30 of s / 255).
  if (!few && !narrow_levels(block.s0 / 255.0 - 0x1p-20, block.s1 / 255.0 + 0x1p-20)) return {1, 0, 1, 0};
  return block;
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

} // namespace tintwise
