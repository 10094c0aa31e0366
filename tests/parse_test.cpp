// Reading one argument: never fails, never wraps a long number into range.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "driver.h"

using tintwise::parse_channel;

TEST(ParseChannel, ReadsTheNumberThatBeginsTheText) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"0", 0},         {"255", 255},   {"-0", 0},      {"-1", -1},     {"256", 256},
      {"abc", 0},       {"", 0},        {"12abc", 12},  {"  \t7", 7},   {"+5", 5},
      {"+ 5", 0},       {"+-5", 0},     {"-+5", 0},     {"+", 0},       {"-", 0},
      {" \n\v\f\r9", 9}, {"7 8", 7},    {"\xd9\xa3", 0}, {"1\xff", 1},   {"00000000000000000000255", 255},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_channel(c.text), c.value) << '"' << c.text << '"';
}

// Values past the 32-bit range saturate, so 2^32 cannot read as 0 and pass.
TEST(ParseChannel, SaturatesBeyondThe32BitRange) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"2147483647", INT32_MAX},  {"2147483648", INT32_MAX}, {"4294967296", INT32_MAX},
      {"4294967551", INT32_MAX},  {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
      {"-4294967296", INT32_MIN}, {"99999999999999999999999999", INT32_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_channel(c.text), c.value) << c.text;
  const std::string huge(1 << 20, '9');
  EXPECT_EQ(parse_channel(huge.c_str()), INT32_MAX);
  EXPECT_EQ(parse_channel(("-" + huge).c_str()), INT32_MIN);
}
