// Bit patterns of floating values, for comparisons that must be exact.
#ifndef TINTWISE_TEST_BITS_H
#define TINTWISE_TEST_BITS_H

#include <cstdint>
#include <cstring>

inline std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

inline std::uint64_t bits(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

#endif
