// Known answers, recorded from the literal pass and checked in under
// tests/data: whole runs of the tool byte for byte with their status, in
// process and as a process of the built executable; and searches, every
// field of the match a library caller gets, bit for bit. A mismatch names
// its input and both results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "driver.h"
#include "pruning.h"
#include "tool_run.h"

using namespace tintwise;
using namespace tintwise_tests;

namespace {

// The lines of tests/data/NAME split at tabs, with \n, \\ and \xHH decoded;
// blank lines and lines starting with '#' left out.
std::vector<std::vector<std::string>> read_data(const char* name) {
  std::ifstream in(data_path(name), std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << data_path(name);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    rows.emplace_back(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      std::string& field = rows.back().back();
      if (c == '\t') rows.back().emplace_back();
      else if (c != '\\' || i + 1 == line.size()) field += c;
      else if (line[++i] == 'x') field += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)), i += 2;
      else field += line[i] == 'n' ? '\n' : line[i];
    }
  }
  return rows;
}

struct ToolResult {
  int status = -1;
  std::string out;  // standard output, then standard error
  HsbMatch match{}; // in process, after a search
};

// The tool on `args` (after the program's name) in this process.
ToolResult run_in_process(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"Tintwise"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  CommandOutput out;
  run_command(static_cast<int>(argv.size()), argv.data(), out);
  return {out.status, std::string(out.text, out.length), out.match};
}

// The built executable; `redirect` sends its standard output elsewhere.
ToolResult run_tool(const std::vector<std::string>& args, const std::string& redirect = "") {
  const ToolRun run = run_program(TINTWISE_EXE, args, redirect);
  return {run.status, run.out + run.err, {}};
}

// A match as the data holds it: hue, saturation, brightness, then red, green
// and blue as single-precision bit patterns.
std::string describe(const HsbMatch& m) {
  unsigned rgb[3];
  std::memcpy(rgb, &m.red, sizeof rgb); // red, green, blue: three floats in a row
  char text[64];
  std::snprintf(text, sizeof text, "%d %d %d %08x %08x %08x", int{m.hue}, int{m.saturation}, int{m.brightness}, rgb[0], rgb[1], rgb[2]);
  return text;
}

std::string fast(int r, int g, int b) {
  HsbMatch match{};
  find_best_hsb(match, r, g, b, false);
  return describe(match);
}
std::string literal(int r, int g, int b) { return describe(run_search(search_exhaustive, r, g, b).match); }

// Each row holds "R G B" and the expected match; stops after five mismatches.
template <typename Search>
void expect_matches(const std::vector<std::vector<std::string>>& rows, Search search) {
  int failures = 0;
  for (const auto& row : rows) {
    int r, g, b;
    std::sscanf(row[0].c_str(), "%d %d %d", &r, &g, &b);
    const std::string found = search(r, g, b);
    if (found == row[1]) continue;
    ADD_FAILURE() << row[0] << ": expected " << row[1] << ", found " << found;
    if (++failures == 5) return;
  }
}

} // namespace

// Usage, range errors and searches, hostile arguments included.
TEST(KnownAnswers, WholeRunsPrintTheRecordedBytes) {
  for (const auto& row : read_data("runs.txt")) {
    const std::vector<std::string> args(row.begin() + 2, row.end());
    std::vector<ToolResult> runs = {run_in_process(args)};
    if (kCanSpawn) runs.push_back(run_tool(args)); // standard error would show in `out`
    for (const ToolResult& run : runs) {
      EXPECT_EQ(run.status, std::stoi(row[0])) << row[1];
      EXPECT_EQ(run.out, row[1]);
    }
  }
  // Digits far beyond the 32-bit range stay out of range.
  const std::string digits(100000, '7'); // a process argument may hold 128 KiB
  EXPECT_EQ(run_in_process({digits, "0", "0"}).status, kExitRange);
  EXPECT_EQ(run_in_process({"-" + digits, "0", "0"}).status, kExitRange);
}

// Greys, ramps, a stride through all inputs and known hard cases: the fast
// search against the record, and the literal pass too on every Nth colour
// (TINTWISE_LITERAL_EVERY, default 8; slow targets take fewer).
TEST(KnownAnswers, SearchesFindTheRecordedMatch) {
  const auto rows = read_data("searches.txt");
  expect_matches(rows, fast);
  std::vector<std::vector<std::string>> some;
  const char* every = std::getenv("TINTWISE_LITERAL_EVERY");
  for (std::size_t i = 0; i < rows.size(); i += every ? std::strtoul(every, nullptr, 10) : 8) some.push_back(rows[i]);
  expect_matches(some, literal);
}

// A winner's triple, rendered alone, gives the colour the search stored for
// it: the search keeps target + (rendered - target) rounded to single, which
// can lie one unit in the last place from the rendering itself (41 of the
// recorded answers), but prints the same at the report's one decimal.
TEST(KnownAnswers, RenderingAWinnersTripleGivesItsReportedColour) {
  const auto within_one_ulp = [](float a, float b) { return a == b || std::nextafter(a, b) == b; };
  for (const auto& row : read_data("searches.txt")) {
    HsbMatch m{};
    unsigned bits[3];
    std::sscanf(row[1].c_str(), "%d %d %d %x %x %x", &m.hue, &m.saturation, &m.brightness, &bits[0], &bits[1], &bits[2]);
    std::memcpy(&m.red, bits, sizeof bits);
    const RenderedColour c = render_hsb(m.hue, m.saturation, m.brightness);
    EXPECT_TRUE(within_one_ulp(c.red, m.red) && within_one_ulp(c.green, m.green) && within_one_ulp(c.blue, m.blue)) << row[0];
    char rendered[48], reported[48];
    format_rendered(c.red, c.green, c.blue, rendered, sizeof rendered);
    format_rendered(m.red, m.green, m.blue, reported, sizeof reported);
    EXPECT_STREQ(rendered, reported) << row[0];
  }
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// Output that cannot be written is a failure, reported on standard error.
TEST(KnownAnswers, FailsWhenStandardOutputCannotBeWritten) {
  for (const auto& args : {std::vector<std::string>{"1", "2", "3"}, {}, {"999", "0", "0"}}) {
    const ToolResult full = run_tool(args, ">/dev/full");
    EXPECT_EQ(full.out, "Tintwise: write error: No space left on device\n");
    EXPECT_EQ(full.status, kExitWriteError);
  }
  EXPECT_EQ(run_tool({"1", "2", "3"}, ">&-").out, "Tintwise: write error: Bad file descriptor\n");
}
#endif

// The long sweep, opt-in (ctest -C long -L long): 20,480 colours spread evenly
// over all 2^24, fast search against the literal pass, in shard
// TINTWISE_SWEEP_SHARD (0 or 1) of two.
TEST(LongSweep, MatchesTheLiteralPass) {
  const char* shard = std::getenv("TINTWISE_SWEEP_SHARD");
  if (shard == nullptr) GTEST_SKIP() << "opt-in: ctest -C long -L long";
  std::vector<std::vector<std::string>> rows;
  for (int i = std::atoi(shard); i < 20480; i += 2) {
    const int rgb = i * 819 + 7, r = rgb >> 16, g = rgb >> 8 & 255, b = rgb & 255; // an odd stride: all distinct
    rows.push_back({std::to_string(r) + ' ' + std::to_string(g) + ' ' + std::to_string(b), literal(r, g, b)});
  }
  expect_matches(rows, fast);
}

// Rewrites the answers in tests/data from their inputs with the literal pass:
//   tintwise_tests --gtest_filter=Record.* --gtest_also_run_disabled_tests
TEST(Record, DISABLED_KnownAnswers) {
  std::string searches, runs;
  for (const auto& row : read_data("searches.txt")) {
    int r, g, b;
    std::sscanf(row[0].c_str(), "%d %d %d", &r, &g, &b);
    searches += row[0] + '\t' + literal(r, g, b) + '\n';
  }
  const auto escape = [](const std::string& field) {
    std::string out;
    for (const char c : field) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
      out += c == '\n' ? "\\n" : c == '\\' ? "\\\\" : c < 0x20 || c >= 0x7f ? hex : std::string(1, c);
    }
    return out;
  };
  for (const auto& row : read_data("runs.txt")) {
    const ToolResult run = run_in_process({row.begin() + 2, row.end()});
    if (run.out.find("Hue = ") != std::string::npos) { // a search: it must be the literal pass's
      ASSERT_EQ(describe(run.match), literal(parse_channel(row[2].c_str()), parse_channel(row[3].c_str()), parse_channel(row[4].c_str())));
    }
    runs += std::to_string(run.status) + '\t' + escape(run.out);
    for (auto a = row.begin() + 2; a != row.end(); ++a) runs += '\t' + escape(*a);
    runs += '\n';
  }
  std::ofstream(data_path("searches.txt"), std::ios::binary) << "# R G B, tab, the literal pass's hue saturation brightness red green blue (bits)\n" << searches;
  std::ofstream(data_path("runs.txt"), std::ios::binary) << "# status, tab, standard output, then each argument after the program's name\n" << runs;
}
