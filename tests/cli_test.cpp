// Whole runs of the tool: standard output byte for byte, and the exit status,
// both from the built executable and from run_command_line in process.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "process.h"

namespace {

using Args = std::vector<std::string>;

const char kRangeError[] = "Error: r/g/b must all be in the range 0.225\n";

// Runs `args` every way this target allows; `out` empty means the usage text.
void expect_run(const Args& args, int status, const std::string& out) {
  for (const LabelledResult& run : run_every_way(args)) {
    SCOPED_TRACE(std::string(run.how) + ": " + (args.empty() ? "" : args[0].substr(0, 20)));
    EXPECT_EQ(run.result.status, status);
    EXPECT_EQ(run.result.err, "");
    if (!out.empty()) {
      EXPECT_EQ(run.result.out, out);
      continue;
    }
    const std::string& u = run.result.out; // line 1's notice is free text
    EXPECT_EQ(u.rfind("Tintwise v0.1 ", 0), 0u) << u;
    EXPECT_EQ(u.substr(u.find('\n') + 1), "|   Function: convert RGB values to Unreal's HSB colourspace\n"
                                          "|   Syntax:   Tintwise R G B\n"
                                          "|   Note:     R/G/B are all assumed to be 0..255\n");
  }
}

std::string result_of(const Args& args) { return run_in_process(args).out; }

Args words(const std::string& text) {
  std::istringstream in(text);
  Args out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

} // namespace

// The known answers, ties included: 1 1 1 ends on the last black candidate
// because storing its distance as the best rounds it up; white ends on hue 32
// and grey 128 on hue 2 for the same reason.
TEST(WholeRun, PrintsTheKnownAnswers) {
  const char* const cases[][6] = {
      {"0 0 0", "0.000000", "0.0, 0.0, 0.0", "0", "0", "0"},
      {"1 1 1", "1.732051", "0.0, 0.0, 0.0", "254", "255", "0"},
      {"2 2 2", "3.464102", "0.0, 0.0, 0.0", "254", "255", "0"},
      {"3 3 3", "4.997012", "6.0, 5.8, 0.1", "42", "3", "1"},
      {"255 0 0", "45.566000", "209.4, 0.0, 0.0", "0", "0", "255"},
      {"0 255 0", "45.566000", "0.0, 209.4, 0.0", "85", "0", "255"},
      {"0 0 255", "45.565994", "0.0, 0.0, 209.4", "170", "0", "255"},
      {"255 255 255", "78.922605", "209.4, 209.4, 209.4", "32", "255", "255"},
      {"128 128 128", "0.297679", "127.8, 127.8, 127.8", "2", "255", "96"},
      {"10 20 30", "0.228516", "10.1, 20.0, 30.2", "142", "64", "10"},
      {"200 100 50", "23.438883", "187.2, 86.3, 64.1", "13", "78", "255"},
      {"255 128 0", "100.209387", "196.9, 70.0, 57.5", "7", "70", "255"},
      {"0 128 255", "100.209383", "57.5, 70.0, 196.9", "163", "70", "255"},
      {"255 255 0", "173.534241", "154.2, 155.5, 100.2", "43", "122", "255"},
      {"100 150 200", "23.429979", "113.3, 136.0, 186.8", "150", "138", "255"},
  };
  for (const auto& c : cases) {
    expect_run(words(c[0]), 0,
               std::string("[Distance between RGB and the best matching HSB = ") + c[1] + "]\n" +
                   "[The HSB chosen is actually equivalent to RGB (" + c[2] + ")]\n\n" + "  Hue = " + c[3] +
                   ", Saturation = " + c[4] + ", Brightness = " + c[5] + "\n");
  }
}

// Fewer than three arguments: usage. Out of range: one error line, however
// many values are out, and no search. Everything else reads as the number it
// begins with, hostile text included, and never crashes.
TEST(WholeRun, ReadsArgumentsAsTheirLeadingNumber) {
  const std::string black = result_of({"0", "0", "0"}), mixed = result_of({"7", "5", "12"});
  const std::string digits(100000, '7'); // Linux caps one argument at 128 KiB
  const struct {
    Args args;
    int status;
    std::string out;
  } cases[] = {
      {{}, 0, ""}, {{"1"}, 0, ""}, {{"1", "2"}, 0, ""},
      {{"256", "0", "0"}, 10, kRangeError}, {{"0", "-1", "0"}, 10, kRangeError},
      {{"-1", "256", "999"}, 10, kRangeError}, {{"4294967296", "0", "0"}, 10, kRangeError},
      {{"0", "0", "-4294967295"}, 10, kRangeError}, {{digits, "0", "0"}, 10, kRangeError},
      {{"-" + digits, "0", "0"}, 10, kRangeError},
      {{"abc", "xyz", ""}, 0, black}, {{"-0", "+0", "0junk"}, 0, black}, {{"+ 5", "+", "-"}, 0, black},
      {{"+-5", "0", "0", "999", "x"}, 0, black}, {{"\x80\xff", "\xc3\xa9", "\xef\xbc\x91"}, 0, black},
      {{" \t7", "+5", "12abc", "256"}, 0, mixed}, {{"\n\n7", "\v\f\r 5", "12\n34"}, 0, mixed},
      {{std::string(100000, '0') + "7", "5 6", "12"}, 0, mixed},
  };
  for (const auto& c : cases) expect_run(c.args, c.status, c.out);
}

#ifndef _WIN32 // needs the built executable as a process, and /dev/full
// Output that cannot be written is a failure, reported on standard error,
// whatever was being printed.
TEST(WholeRun, FailsWhenStandardOutputCannotBeWritten) {
  const struct {
    Args args;
    Output output;
    const char* reason;
  } cases[] = {
      {{"1", "2", "3"}, Output::kFull, "No space left on device"},
      {{}, Output::kFull, "No space left on device"},
      {{"999", "0", "0"}, Output::kFull, "No space left on device"},
      {{"1", "2", "3"}, Output::kClosed, "Bad file descriptor"},
  };
  for (const auto& c : cases) {
    const ProcessResult r = run_tool(c.args, c.output);
    EXPECT_EQ(r.status, 1) << c.reason;
    EXPECT_EQ(r.err, std::string("Tintwise: write error: ") + c.reason + "\n");
  }
}
#endif
