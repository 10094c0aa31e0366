#include "decimal_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tintwise {

namespace {

constexpr int kSignificant = 17;

// Appends `c` to out[0..size) at *len, tracking overflow in *len itself.
void put(char* out, std::size_t size, std::size_t& len, char c) {
  if (len + 1 < size) out[len] = c;
  ++len;
}

} // namespace

std::size_t format_fixed(double value, int decimals, char* out, std::size_t size) {
  if (size == 0) return 0;
  std::size_t len = 0;
  if (std::signbit(value)) put(out, size, len, '-');
  if (!std::isfinite(value)) {
    const char* word = std::isnan(value) ? "nan" : "inf";
    for (const char* p = word; *p; ++p) put(out, size, len, *p);
  } else {
    // 17 significant digits, correctly rounded: "d.dddddddddddddddde+XX".
    char sci[40];
#if defined(__cpp_lib_to_chars)
    const auto res = std::to_chars(sci, sci + sizeof sci, std::fabs(value),
                                   std::chars_format::scientific, kSignificant - 1);
    *res.ptr = '\0';
#else
    // Where the C++ library has no floating-point to_chars with a precision
    // (Emscripten's), the C library's conversion, correctly rounded in glibc
    // and musl alike, gives the same digits.
    std::snprintf(sci, sizeof sci, "%.*e", kSignificant - 1, std::fabs(value));
#endif
    // One spare slot in front for a carry out of the leading digit.
    int digits[kSignificant + 1];
    int* d = digits + 1;
    d[0] = sci[0] - '0';
    for (int i = 1; i < kSignificant; ++i) d[i] = sci[i + 1] - '0';
    const char* e = std::strchr(sci, 'e') + 1; // a sign, then the exponent's digits
    int exp10 = 0;
    for (const char* q = e + 1; *q; ++q) exp10 = exp10 * 10 + (*q - '0');
    if (*e == '-') exp10 = -exp10;

    // d[i] has place value 10^(exp10 - i). Keep the digits down to place
    // 10^-decimals and round the rest of the 17-digit string half up.
    int count = exp10 + decimals + 1;
    if (count < kSignificant) {
      const bool up = count >= 0 && d[count] >= 5;
      if (count < 0) count = 0;
      if (up) {
        int i = count - 1;
        while (i >= 0 && d[i] == 9) d[i--] = 0;
        if (i >= 0) {
          ++d[i];
        } else { // all nines (or nothing kept): the carry becomes a new digit
          --d;
          d[0] = 1;
          ++count;
          ++exp10;
        }
      }
    } else {
      count = kSignificant;
    }

    auto digit_at = [&](int place) {
      const int i = exp10 - place;
      return (i >= 0 && i < count) ? static_cast<char>('0' + d[i]) : '0';
    };
    for (int place = exp10 > 0 ? exp10 : 0; place >= 0; --place) put(out, size, len, digit_at(place));
    if (decimals > 0) put(out, size, len, '.');
    for (int place = -1; place >= -decimals; --place) put(out, size, len, digit_at(place));
  }
  if (len >= size) { // no room left for the final NUL
    out[0] = '\0';
    return 0;
  }
  out[len] = '\0';
  return len;
}

} // namespace tintwise
