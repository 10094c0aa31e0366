// Runs the tool's command line and captures what it writes: either as a
// separate process of the built executable, or in this process through
// run_command_line (the only way on targets where starting a process is too
// slow to test with, such as 32-bit Windows under emulation).
#ifndef TINTWISE_TEST_PROCESS_H
#define TINTWISE_TEST_PROCESS_H

#include <string>
#include <vector>

struct ProcessResult {
  int status = -1;  // exit status; -1 when the process did not exit normally
  std::string out;  // everything written to standard output
  std::string err;  // everything written to standard error (processes only)
};

// Where a spawned tool's standard output goes.
enum class Output {
  kPipe,   // captured into ProcessResult::out (through a temporary file)
  kFull,   // /dev/full: every write fails with ENOSPC
  kClosed, // no descriptor 1 at all
};

// Whether this target can start the built executable from the tests.
bool can_spawn();

// Runs the built executable with `args` (not counting the program's name).
ProcessResult run_tool(const std::vector<std::string>& args, Output output = Output::kPipe);

// Runs run_command_line in this process with standard output redirected.
ProcessResult run_in_process(const std::vector<std::string>& args);

// Runs `args` every way this target allows; each result is labelled.
struct LabelledResult {
  const char* how;
  ProcessResult result;
};
std::vector<LabelledResult> run_every_way(const std::vector<std::string>& args);

#endif
