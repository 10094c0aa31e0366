// The report's rounding: reduce to 17 significant digits, then round that
// digit string half up. It differs from printf only at (17-digit) ties.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "decimal_format.h"

using tintwise::format_fixed;

namespace {

std::string fixed(double value, int decimals) {
  char buf[512];
  return format_fixed(value, decimals, buf, sizeof buf) > 0 ? buf : "(too long)";
}

} // namespace

// Ties (exact, or only once reduced to 17 digits) round up where printf
// rounds to even; values just off a tie round their own way; carries and
// padding are printf's, and so is everything away from ties.
TEST(FormatFixed, RoundsHalfUpAtTheDigitsItKeeps) {
  const double tie = 0x1p-7; // 0.0078125
  const struct {
    double value;
    int decimals;
    const char* text;
  } cases[] = {
      {191.25, 1, "191.3"}, {0.25, 1, "0.3"}, {2.5, 0, "3"}, {tie, 6, "0.007813"},
      {0x1.7333333333333p+0, 1, "1.5"},       // 1.4499999999999999556: a tie once reduced to 17 digits
      {0x1.68000474d9c6bp+5, 6, "45.000009"}, // 45.0000084999999998558 likewise
      {std::nextafter(2.5, 0.0), 0, "2"},     // 2.4999999999999996: a tie at 16 digits, not at 17
      {std::nextafter(tie, 0.0), 6, "0.007812"}, {std::nextafter(191.25, 0.0), 1, "191.2"},
      {9.95, 1, "9.9"}, // 9.9499999999999993
      {0.0, 6, "0.000000"}, {-0.0, 6, "-0.000000"}, {9.96, 1, "10.0"}, {999.99, 1, "1000.0"}, {0.96, 0, "1"},
      {4e-7, 6, "0.000000"}, {5.1e-7, 6, "0.000001"}, {-1.25, 1, "-1.3"}, {1e20, 1, "100000000000000000000.0"},
      {78.92260528326035, 6, "78.922605"}, {0.1234567890123, 6, "0.123457"}, {123.456789, 1, "123.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed(c.value, c.decimals), c.text) << c.value;
  char small[6];
  EXPECT_EQ(format_fixed(191.25, 1, small, sizeof small), 5u); // "191.3" fits exactly
  EXPECT_EQ(format_fixed(1191.25, 1, small, sizeof small), 0u);
}
