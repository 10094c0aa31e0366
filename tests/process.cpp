#include "process.h"

#include <fcntl.h>

#include <cstdio>

#include "driver.h"

#ifdef _WIN32
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define fileno _fileno
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace {

std::string contents(std::FILE* f) {
  std::string text;
  char buf[4096];
  std::rewind(f);
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  std::fclose(f);
  return text;
}

} // namespace

ProcessResult run_in_process(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"Tintwise"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  ProcessResult result;
  std::fflush(stdout);
  std::FILE* capture = std::tmpfile();
  const int saved = dup(1);
  dup2(fileno(capture), 1);
#ifdef _WIN32
  _setmode(1, _O_BINARY); // as the tool's own entry does: "\n" stays "\n"
#endif
  result.status = tintwise::run_command_line(static_cast<int>(args.size()) + 1, argv.data());
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  result.out = contents(capture);
  return result;
}

std::vector<LabelledResult> run_every_way(const std::vector<std::string>& args) {
  std::vector<LabelledResult> out = {{"in process", run_in_process(args)}};
  if (can_spawn()) out.push_back({"as a process", run_tool(args)});
  return out;
}

#ifdef _WIN32
bool can_spawn() { return false; }
ProcessResult run_tool(const std::vector<std::string>&, Output) { return {}; }
#else
bool can_spawn() { return true; }

ProcessResult run_tool(const std::vector<std::string>& args, Output output) {
  // Cross builds run the tool through the emulator that runs the tests.
  std::vector<std::string> words;
  if (*TINTWISE_EMULATOR) words.push_back(TINTWISE_EMULATOR);
  words.push_back(TINTWISE_EXE);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output == Output::kPipe) posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
  else if (output == Output::kFull) posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
  else posix_spawn_file_actions_addclose(&actions, 1);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
  pid_t pid;
  int wstatus = 0;
  ProcessResult result;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
      waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = contents(out);
  result.err = contents(err);
  return result;
}
#endif
