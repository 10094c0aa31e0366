// Running the built programs from the tests: through the shell (each word
// quoted), and the emulator that runs the tests if any. Only where the target
// can start processes from its tests (not Windows under Wine, not Node).
#ifndef TINTWISE_TESTS_TOOL_RUN_H
#define TINTWISE_TESTS_TOOL_RUN_H

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tintwise_tests {

inline std::string data_path(const std::string& name) { return std::string(TINTWISE_DATA) + "/" + name; }

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct ToolRun {
  int status = -1;  // -1 when the process did not exit normally
  std::string out;  // standard output
  std::string err;  // standard error
};

#if defined(_WIN32) || defined(__EMSCRIPTEN__)
constexpr bool kCanSpawn = false;
inline ToolRun run_program(const char*, const std::vector<std::string>&, const std::string& = "", bool = false) { return {}; }
#else
constexpr bool kCanSpawn = true;

// A folder of the test's own in the temporary directory, removed with what
// it holds, so that two runs of the suite at once never share a file.
struct TempDir {
  std::string path;
  TempDir() {
    char name[] = "/tmp/tintwise-test-XXXXXX";
    path = mkdtemp(name) ? name : "";
  }
  ~TempDir() { (void)std::system(("rm -rf '" + path + "'").c_str()); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

// Runs `exe` with `args`; `redirect` is shell text added at the end (another
// standard output, or standard input from a file). A program of the host's
// own (`host`: Python, an independent reader) runs without the emulator.
inline ToolRun run_program(const char* exe, const std::vector<std::string>& args, const std::string& redirect = "", bool host = false) {
  char out[] = "/tmp/tintwise-out-XXXXXX", err[] = "/tmp/tintwise-err-XXXXXX";
  close(mkstemp(out));
  close(mkstemp(err));
  std::string command = std::string(host ? "" : TINTWISE_EMULATOR) + " '" + exe + "'";
  for (const std::string& a : args) {
    command += " '";
    for (const char c : a) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += '\'';
  }
  const int status = std::system((command + " >" + out + " 2>" + err + " " + redirect).c_str());
  const ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
  std::remove(out), std::remove(err);
  return run;
}
#endif

} // namespace tintwise_tests

#endif
