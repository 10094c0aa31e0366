#include "driver.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes on every platform: no "\n" to "\r\n" translation.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return tintwise::finish_output(tintwise::run_command_line(argc, argv));
}
