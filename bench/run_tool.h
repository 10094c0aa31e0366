// A program run by the benchmarks, its standard output thrown away: its wall
// time and the peak memory the kernel counted for it (wait4).
#ifndef TINTWISE_BENCH_RUN_TOOL_H
#define TINTWISE_BENCH_RUN_TOOL_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace tintwise_bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Runs `args` (the first found on the PATH) and waits for it: wall seconds
// and peak KiB. With `piped` a file's name, standard input comes from a pipe
// that another process fills from that file as fast as the program takes it
// (a fast pipe: it never pauses for long, and the program must keep its
// speed on it). A run that fails ends the benchmark.
inline void run_tool(const std::vector<std::string>& args, double& wall, long& peak_kib, const std::string& piped = "") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  int feed[2] = {-1, -1};
  if (!piped.empty() && pipe(feed) == 0) {
    posix_spawn_file_actions_adddup2(&actions, feed[0], 0);
    posix_spawn_file_actions_addclose(&actions, feed[1]);
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror(argv[0]);
    std::exit(1);
  }
  if (!piped.empty()) {
    close(feed[0]);
    if (fork() == 0) {
      const int in = open(piped.c_str(), O_RDONLY);
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
  if (!piped.empty()) wait(nullptr);
  wall = seconds_since(start);
  peak_kib = usage.ru_maxrss;
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
}

} // namespace tintwise_bench

#endif
