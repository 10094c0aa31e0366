// Runs the built tool as a separate process and captures what it writes.
#ifndef TINTWISE_TEST_PROCESS_H
#define TINTWISE_TEST_PROCESS_H

#include <string>
#include <vector>

struct ProcessResult {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;  // everything written to standard output
  std::string err;  // everything written to standard error
};

// Where the tool's standard output goes.
enum class Output {
  kPipe,   // captured into ProcessResult::out
  kFull,   // /dev/full: every write fails with ENOSPC
  kClosed, // no descriptor 1 at all
};

// Runs the tool with `args` (not counting the program's name).
ProcessResult run_tool(const std::vector<std::string>& args, Output output = Output::kPipe);

#endif
