// Best-match search: the HSB triple whose rendered colour lies nearest a
// requested RGB colour, in squared distance on the unit scale.
#ifndef TINTWISE_HSB_SEARCH_H
#define TINTWISE_HSB_SEARCH_H

#include <cstddef>
#include <cstdint>

namespace tintwise {

// The winner of a search. red, green and blue are the colour it renders, on
// the unit scale, rounded to single.
struct HsbMatch {
  std::int32_t hue;        // 0..254
  std::int32_t saturation; // 0..255
  std::int32_t brightness; // 0..255
  float red;
  float green;
  float blue;
};

// Fills `match` with the nearest HSB triple to (r, g, b), each 0..255 (the
// caller checks the range). Candidates are ranked as if visited in ascending
// hue, saturation, brightness, each replacing the best so far only when its
// double distance lies strictly below that best held in single precision.
// With `verbose` set, prints the two report lines to standard output.
// Skips only candidates that provably cannot win, so the result is exactly
// that of find_best_hsb_reference, about a thousand times sooner.
void find_best_hsb(HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b, bool verbose);

// The same search as find_best_hsb, with the two report lines written into
// `out` (NUL-terminated) instead of printed. Returns their length, or 0 when
// `size` is too small (256 bytes always suffice).
std::size_t find_best_hsb_report(HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b, char* out,
                                 std::size_t size);

// A search's answer with the distance as the report prints it, and as the
// search found it.
struct HsbAnswer {
  HsbMatch match;
  char distance[16];   // the first report line's figure, e.g. "100.209387"
  double rgb_distance; // that figure before printing: the square root of the best (widened), times 255
};

// The same search as find_best_hsb, for callers that print the answer their
// own way (the palette command, the web page).
void find_best_hsb_answer(HsbAnswer& answer, std::int32_t r, std::int32_t g, std::int32_t b);

// Writes a colour on the unit scale as the second report line prints it,
// "(187.2, 86.3, 64.1)": each channel times 255 with one decimal. Returns the
// length, or 0 when `size` is too small (48 bytes always suffice).
std::size_t format_rendered(float red, float green, float blue, char* out, std::size_t size);

// The same search as the literal pass that defines the answer: every one of
// the 16,711,680 candidates evaluated in order. Slow; kept as the reference.
void find_best_hsb_reference(HsbMatch& match, std::int32_t r, std::int32_t g, std::int32_t b,
                             bool verbose);

} // namespace tintwise

#endif
