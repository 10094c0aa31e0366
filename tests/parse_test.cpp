// Reading one argument: never fails, never wraps a long number into range.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "driver.h"

using tintwise::parse_channel;

// The number that begins the text; values past the 32-bit range saturate, so
// 2^32 cannot read as 0 and pass.
TEST(ParseChannel, ReadsTheLeadingNumberAndSaturates) {
  const std::string huge(1 << 20, '9');
  const struct {
    std::string text;
    std::int32_t value;
  } cases[] = {
      {"0", 0}, {"255", 255}, {"-0", 0}, {"-1", -1}, {"256", 256}, {"abc", 0}, {"", 0}, {"12abc", 12},
      {"  \t7", 7}, {"+5", 5}, {"+ 5", 0}, {"+-5", 0}, {"-+5", 0}, {"+", 0}, {"-", 0}, {" \n\v\f\r9", 9},
      {"7 8", 7}, {"\xd9\xa3", 0}, {"1\xff", 1}, {"00000000000000000000255", 255},
      {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"4294967296", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"-4294967296", INT32_MIN},
      {huge, INT32_MAX}, {"-" + huge, INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_channel(c.text.c_str()), c.value) << '"' << c.text.substr(0, 30) << '"';
}
