// The command-line front end: reads R G B, runs the search, prints the result.
#ifndef TINTWISE_DRIVER_H
#define TINTWISE_DRIVER_H

#include <cstddef>
#include <cstdint>

#include "tintwise/hsb_search.h"

namespace tintwise {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitWriteError = 1; // standard output could not be written
constexpr int kExitRange = 10;     // an argument outside 0..255

// What one run of the tool prints on standard output, and how it ends.
struct CommandOutput {
  int status;
  bool searched;  // a search ran, and `match` holds its result
  HsbMatch match;
  std::size_t length;
  char text[512]; // NUL-terminated
};

// Runs the tool on an argument vector without printing: fills `out` with the
// text and the exit status. Fewer than three arguments give the usage text;
// arguments after the third are ignored.
void run_command(int argc, const char* const* argv, CommandOutput& out);

// run_command, then writes its text to standard output; returns the status.
int run_command_line(int argc, const char* const* argv);

// Reads the decimal integer that begins `text`, never failing: leading white
// space (space, \t, \n, \v, \f, \r), one optional sign, then digits up to the
// first non-digit. No digits read as 0. A value beyond the 32-bit range
// saturates to INT32_MIN or INT32_MAX, so it stays out of range instead of
// wrapping into it.
std::int32_t parse_channel(const char* text);

void print_usage();

// Flushes standard output. If anything written to it was lost (a full disk,
// a closed descriptor), reports that on standard error and returns
// kExitWriteError, so that a failed run never passes for a successful one;
// otherwise returns `status`.
int finish_output(int status);

} // namespace tintwise

#endif
