// Whole runs of the tool: standard output byte for byte, and the exit status,
// both from the built executable and from run_command_line in process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "process.h"

namespace {

std::string report(const char* distance, const char* rgb, const char* hsb) {
  return std::string("[Distance between RGB and the best matching HSB = ") + distance + "]\n" +
         "[The HSB chosen is actually equivalent to RGB (" + rgb + ")]\n\n" + "  Hue = " + hsb + "\n";
}

std::string hsb(int h, int s, int b) {
  return std::to_string(h) + ", Saturation = " + std::to_string(s) + ", Brightness = " + std::to_string(b);
}

const char kRangeError[] = "Error: r/g/b must all be in the range 0.225\n";
const char kUsageTail[] = "|   Function: convert RGB values to Unreal's HSB colourspace\n"
                          "|   Syntax:   Tintwise R G B\n"
                          "|   Note:     R/G/B are all assumed to be 0..255\n";

// Runs `args` every way this target allows and checks each against the
// expected status and standard output (and an empty standard error).
void expect_run(const std::vector<std::string>& args, int status, const std::string& out) {
  for (const LabelledResult& run : run_every_way(args)) {
    SCOPED_TRACE(run.how);
    EXPECT_EQ(run.result.status, status);
    EXPECT_EQ(run.result.out, out);
    EXPECT_EQ(run.result.err, "");
  }
}

void expect_usage(const std::vector<std::string>& args) {
  for (const LabelledResult& run : run_every_way(args)) {
    SCOPED_TRACE(run.how);
    const ProcessResult& r = run.result;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Tintwise v0.1 ", 0), 0u) << r.out;
    const std::size_t eol = r.out.find('\n');
    ASSERT_NE(eol, std::string::npos);
    EXPECT_EQ(r.out.substr(eol + 1), kUsageTail);
    EXPECT_EQ(r.err, "");
  }
}

} // namespace

// The known answers, ties included: 1 1 1 ends on the last black candidate
// because storing its distance as the best rounds it up; white ends on hue 32
// and grey 128 on hue 2 for the same reason.
TEST(WholeRun, PrintsTheKnownAnswers) {
  const struct {
    const char *r, *g, *b, *distance, *rgb;
    int h, s, v;
  } cases[] = {
      {"0", "0", "0", "0.000000", "0.0, 0.0, 0.0", 0, 0, 0},
      {"1", "1", "1", "1.732051", "0.0, 0.0, 0.0", 254, 255, 0},
      {"2", "2", "2", "3.464102", "0.0, 0.0, 0.0", 254, 255, 0},
      {"3", "3", "3", "4.997012", "6.0, 5.8, 0.1", 42, 3, 1},
      {"255", "0", "0", "45.566000", "209.4, 0.0, 0.0", 0, 0, 255},
      {"0", "255", "0", "45.566000", "0.0, 209.4, 0.0", 85, 0, 255},
      {"0", "0", "255", "45.565994", "0.0, 0.0, 209.4", 170, 0, 255},
      {"255", "255", "255", "78.922605", "209.4, 209.4, 209.4", 32, 255, 255},
      {"128", "128", "128", "0.297679", "127.8, 127.8, 127.8", 2, 255, 96},
      {"10", "20", "30", "0.228516", "10.1, 20.0, 30.2", 142, 64, 10},
      {"200", "100", "50", "23.438883", "187.2, 86.3, 64.1", 13, 78, 255},
      {"255", "128", "0", "100.209387", "196.9, 70.0, 57.5", 7, 70, 255},
      {"0", "128", "255", "100.209383", "57.5, 70.0, 196.9", 163, 70, 255},
      {"255", "255", "0", "173.534241", "154.2, 155.5, 100.2", 43, 122, 255},
      {"100", "150", "200", "23.429979", "113.3, 136.0, 186.8", 150, 138, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.r) + ' ' + c.g + ' ' + c.b);
    expect_run({c.r, c.g, c.b}, 0, report(c.distance, c.rgb, hsb(c.h, c.s, c.v).c_str()));
  }
}

TEST(WholeRun, PrintsUsageForFewerThanThreeArguments) {
  expect_usage({});
  expect_usage({"1"});
  expect_usage({"1", "2"});
}

// One error line however many values are out of range, and no search.
TEST(WholeRun, RejectsValuesOutOfRange) {
  const std::vector<std::vector<std::string>> cases = {
      {"256", "0", "0"},  {"0", "-1", "0"},  {"0", "0", "1000"},         {"-1", "256", "999"},
      {"4294967296", "0", "0"}, {"0", "4294967551", "0"}, {"0", "0", "-4294967295"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + ' ' + args[1] + ' ' + args[2]);
    expect_run(args, 10, kRangeError);
  }
}

// Argument texts read as the number that begins them; runs that read the same
// numbers print the same bytes.
TEST(WholeRun, ReadsArgumentsAsTheirLeadingNumber) {
  const std::string black = run_in_process({"0", "0", "0"}).out;
  const std::string grey = run_in_process({"7", "5", "12"}).out;
  const std::vector<std::vector<std::string>> as_black = {
      {"abc", "xyz", "qq"}, {"-0", "+0", "0"}, {"+ 5", "", "0junk"}, {"0", "0", "0", "999", "x"}};
  for (const auto& args : as_black) {
    SCOPED_TRACE(args[0]);
    expect_run(args, 0, black);
  }
  expect_run({" \t7", "+5", "12abc", "256"}, 0, grey);
}

// Hostile argument texts read as their leading number, never crash, and
// print only the tool's own texts.
TEST(WholeRun, ReadsHostileArgumentsLikeAnyOther) {
  const std::string black = run_in_process({"0", "0", "0"}).out;
  const std::string digits(100000, '7'); // Linux caps one argument at 128 KiB
  const std::string zeros = std::string(100000, '0') + "12";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {{digits, "0", "0"}, 10, kRangeError},
      {{"-" + digits, "0", "0"}, 10, kRangeError},
      {{zeros, "5", "7"}, 0, run_in_process({"12", "5", "7"}).out},
      {{"", "", ""}, 0, black},
      {{"\x80\xff", "\xc3\xa9", "\xef\xbc\x91"}, 0, black}, // fullwidth digit one is not a digit
      {{"\n\n7", "\v\f\r 5", "12\n34"}, 0, run_in_process({"7", "5", "12"}).out},
      {{"+", "-", "+-5"}, 0, black},
      {{"0", "0", "0", "1", "2", "3", "junk"}, 0, black},
      {{"1 2 3", "4", "5"}, 0, run_in_process({"1", "4", "5"}).out},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0].substr(0, 20));
    expect_run(c.args, c.status, c.out);
  }
}

#ifndef _WIN32 // needs the built executable as a process, and /dev/full
// Output that cannot be written is a failure, reported on standard error,
// whatever was being printed.
TEST(WholeRun, FailsWhenStandardOutputCannotBeWritten) {
  const struct {
    std::vector<std::string> args;
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
