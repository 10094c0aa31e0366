// Runs the fast search and the reference on one colour and compares every
// field of the result, and the best, bit for bit.
#ifndef TINTWISE_TEST_SEARCH_COMPARE_H
#define TINTWISE_TEST_SEARCH_COMPARE_H

#include <cstdint>
#include <string>

// Empty when the two searches agree to the bit; otherwise the input and both
// results, floats in hex.
std::string compare_searches(std::int32_t r, std::int32_t g, std::int32_t b);

// The colour at index i (0..2^24-1) of the whole input space: 0xRRGGBB.
void colour_at(std::uint32_t i, std::int32_t& r, std::int32_t& g, std::int32_t& b);

#endif
