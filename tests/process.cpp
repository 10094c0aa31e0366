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
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

ProcessResult run_in_process(const std::vector<std::string>& args) {
  ProcessResult result;
  std::vector<const char*> argv = {"Tintwise"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);

  std::fflush(stdout);
  std::FILE* capture = std::tmpfile();
  if (capture == nullptr) return result;
  const int saved = dup(1);
  dup2(fileno(capture), 1);
#ifdef _WIN32
  _setmode(1, _O_BINARY); // as the tool's own entry does: "\n" stays "\n"
#endif
  result.status = tintwise::run_command_line(static_cast<int>(args.size()) + 1, argv.data());
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  std::rewind(capture);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, capture)) > 0) result.out.append(buf, n);
  std::fclose(capture);
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

namespace {

// Reads both pipes to the end without letting either fill up.
void drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  int open_fds = 2;
  char buf[65536];
  while (open_fds > 0) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
}

} // namespace

ProcessResult run_tool(const std::vector<std::string>& args, Output output) {
  ProcessResult result;
  // Cross builds run the tool through the emulator that runs the tests.
  std::vector<std::string> words = {TINTWISE_EMULATOR};
  if (words.front().empty()) words.clear();
  words.push_back(TINTWISE_EXE);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output == Output::kPipe) posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  else if (output == Output::kFull) posix_spawn_file_actions_addopen(&actions, 1, "/dev/full", O_WRONLY, 0);
  else posix_spawn_file_actions_addclose(&actions, 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
  posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }
  drain(out_pipe[0], err_pipe[0], result.out, result.err);
  int wstatus = 0;
  if (waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  return result;
}

#endif
