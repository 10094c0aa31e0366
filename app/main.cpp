#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "driver.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Started from Windows Explorer (a double click): the usage, then each line
// typed is answered as `Tintwise R G B` answers its words, until an empty
// line (or the end of the input) closes the window. Its answers are the
// command's own bytes.
int converse() {
  tintwise::print_usage();
  std::fputs("\nType R G B (each 0..255) and Enter for each colour; an empty line closes this window.\n", stdout);
  for (char line[256]; std::fflush(stdout), std::fgets(line, sizeof line, stdin);) {
    std::vector<std::string> words;
    for (const char* word = std::strtok(line, " \t\r\n,"); word; word = std::strtok(nullptr, " \t\r\n,")) words.emplace_back(word);
    if (words.empty()) break;
    if (words.size() < 3) {
      std::fputs("Type three numbers, R G B, as 255 128 0.\n", stdout);
      continue;
    }
    const char* const argv[] = {"Tintwise", words[0].c_str(), words[1].c_str(), words[2].c_str()};
    std::fputc('\n', stdout);
    tintwise::run_command_line(4, argv);
  }
  return tintwise::finish_output(tintwise::kExitOk);
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes on every platform: no "\n" to "\r\n" translation.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (!tintwise::started_from_explorer("TINTWISE_EXPLORER")) return tintwise::finish_output(tintwise::run_command_line(argc, argv));
  if (argc < 4) return converse();
  const int status = tintwise::finish_output(tintwise::run_command_line(argc, argv));
  tintwise::wait_for_enter();
  return status;
}
