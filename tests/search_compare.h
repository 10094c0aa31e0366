// Runs the fast search and the reference on one colour and compares every
// field of the result, and the best, bit for bit.
#ifndef TINTWISE_TEST_SEARCH_COMPARE_H
#define TINTWISE_TEST_SEARCH_COMPARE_H

#include <cstdint>
#include <string>
#include <vector>

struct Colour {
  std::int32_t r, g, b;
};

// The default differential set: all 256 greys (ties across whole runs of
// black or near-white candidates), the primaries and secondaries with their
// ramps (the edges of the hue wheel), and a deterministic stride through all
// 2^24 inputs.
std::vector<Colour> differential_colours();

// The colour at index i (0..2^24-1) of the whole input space: 0xRRGGBB.
Colour colour_at(std::uint32_t i);

// One search's result as a line: the input, then hue, saturation,
// brightness, and red, green, blue and best as single-precision bit patterns.
std::string reference_line(const Colour& c);
std::string fast_line(const Colour& c);

// Empty when the two searches agree to the bit; otherwise the input and both
// results.
std::string compare_searches(const Colour& c);

#endif
