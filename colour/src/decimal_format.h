// Fixed-point decimal formatting for the report lines.
#ifndef TINTWISE_DECIMAL_FORMAT_H
#define TINTWISE_DECIMAL_FORMAT_H

#include <cstddef>

namespace tintwise {

// Writes `value` with `decimals` digits after the point (0..40), like printf's
// "%.*f", except for the rounding: the value is first reduced to 17
// significant digits (correctly rounded), and that digit string is then
// rounded half up at the printed precision. So 191.25 prints "191.3" at one
// decimal, where rounding the exact value half to even gives "191.2".
// Returns the length written (without the terminating NUL), or 0 when `size`
// is too small; `out` always holds a string when size > 0.
std::size_t format_fixed(double value, int decimals, char* out, std::size_t size);

} // namespace tintwise

#endif
