// tintwise-palette on big palettes, against one thread of the library:
//   tintwise_palette_bench TOOL [COUNT]   COUNT random colours (default
//       1,000,000, fixed seed), from a file and through a fast pipe, and
//       10,000 for the memory comparison;
//   tintwise_palette_bench TOOL all       all 16,777,216 colours as one palette.
// Also --find on one line of 40,000 colours (320 KB), whose keys are found in
// one pass along the line.
// Prints the library's time on one thread for the same colours (not for
// "all": that is the whole-domain benchmark's figure), the tool's wall time,
// their ratio, and the tool's peak memory (the kernel's count, wait4).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tintwise/hsb_search.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::vector<std::uint32_t> colours(long count) {
  std::vector<std::uint32_t> out;
  if (count < 0) {
    for (std::uint32_t rgb = 0; rgb < (1u << 24); ++rgb) out.push_back(rgb);
    return out;
  }
  std::mt19937 rng(20261207);
  for (long i = 0; i < count; ++i) out.push_back(rng() & 0xFFFFFF);
  return out;
}

void write_palette(const std::vector<std::uint32_t>& list, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  for (const std::uint32_t rgb : list) std::fprintf(f, "#%06x\n", rgb);
  std::fclose(f);
}

// The tool on the palette, output to /dev/null: wall seconds and peak KiB.
// With `piped`, the palette comes on standard input from a pipe that another
// process fills as fast as the tool takes it (a fast pipe: it never pauses
// for long, and the tool must keep its speed on it).
void run_tool(const char* tool, const std::string& path, double& wall, long& peak_kib, bool piped = false, const char* option = nullptr) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  int feed[2] = {-1, -1};
  if (piped && pipe(feed) == 0) {
    posix_spawn_file_actions_adddup2(&actions, feed[0], 0);
    posix_spawn_file_actions_addclose(&actions, feed[1]);
  }
  std::vector<char*> argv = {const_cast<char*>(tool)};
  if (option) argv.push_back(const_cast<char*>(option));
  if (!piped) argv.push_back(const_cast<char*>(path.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, tool, &actions, nullptr, argv.data(), environ) != 0) {
    std::perror(tool);
    std::exit(1);
  }
  if (piped) {
    close(feed[0]);
    if (fork() == 0) {
      const int in = open(path.c_str(), O_RDONLY);
      char buf[1 << 16];
      for (ssize_t n; (n = read(in, buf, sizeof buf)) > 0;) {
        if (write(feed[1], buf, static_cast<std::size_t>(n)) != n) _exit(1);
      }
      _exit(0);
    }
    close(feed[1]);
  }
  int status;
  rusage usage;
  wait4(pid, &status, 0, &usage);
  if (piped) wait(nullptr);
  wall = seconds_since(start);
  peak_kib = usage.ru_maxrss;
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s %s failed\n", tool, path.c_str());
    std::exit(1);
  }
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tintwise_palette_bench TOOL [COUNT|all]\n");
    return 2;
  }
  const char* tool = argv[1];
  const bool all = argc > 2 && std::strcmp(argv[2], "all") == 0;
  const long count = all ? -1 : argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1000000;
  // The palettes are written by a child process of their own: a child's peak
  // memory counts what it shared with this process before it became the
  // tool, so this process holds no list while the tool runs.
  const std::size_t size = count < 0 ? std::size_t{1} << 24 : static_cast<std::size_t>(count);
  const std::string path = std::string("/tmp/tintwise-bench-") + (all ? "all" : "random") + ".txt";
  const std::string small = "/tmp/tintwise-bench-small.txt";
  const pid_t writer = fork();
  if (writer == 0) {
    write_palette(colours(count), path);
    write_palette(colours(10000), small);
    _exit(0);
  }
  waitpid(writer, nullptr, 0);
  double wall, small_wall;
  long peak, small_peak;
  run_tool(tool, path, wall, peak);
  std::printf("tintwise-palette, %zu colours: %.2f s, peak memory %.1f MiB\n", size, wall, static_cast<double>(peak) / 1024.0);
  if (!all) {
    double piped_wall;
    long piped_peak;
    run_tool(tool, path, piped_wall, piped_peak, true);
    std::printf("tintwise-palette, %zu colours through a pipe: %.2f s, peak memory %.1f MiB\n", size, piped_wall,
                static_cast<double>(piped_peak) / 1024.0);
  }
  run_tool(tool, small, small_wall, small_peak);
  std::printf("tintwise-palette, 10000 colours: %.2f s, peak memory %.1f MiB\n", small_wall, static_cast<double>(small_peak) / 1024.0);
  std::remove(small.c_str());
  if (!all) {
    const std::string line = "/tmp/tintwise-bench-line.css";
    std::FILE* f = std::fopen(line.c_str(), "wb");
    for (const std::uint32_t rgb : colours(40000)) std::fprintf(f, "#%06x ", rgb);
    std::fclose(f);
    double line_wall;
    long line_peak;
    run_tool(tool, line, line_wall, line_peak, false, "--find");
    std::printf("tintwise-palette --find, one line of 40000 colours: %.2f s\n", line_wall);
    std::remove(line.c_str());
  }
  if (!all) {
    const std::vector<std::uint32_t> list = colours(count);
    const auto start = Clock::now();
    tintwise::HsbAnswer answer{};
    unsigned sink = 0;
    for (const std::uint32_t rgb : list) {
      tintwise::find_best_hsb_answer(answer, static_cast<std::int32_t>(rgb >> 16), static_cast<std::int32_t>(rgb >> 8 & 255),
                                     static_cast<std::int32_t>(rgb & 255));
      sink += static_cast<unsigned>(answer.match.hue);
    }
    const double library = seconds_since(start);
    std::printf("the library on one thread, the same colours: %.2f s (checksum %u)\n", library, sink);
    std::printf("ratio tintwise-palette / one thread: %.3f\n", wall / library);
  }
  std::remove(path.c_str());
  return 0;
}
