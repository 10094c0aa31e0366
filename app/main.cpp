#include "driver.h"

int main(int argc, char** argv) {
  return tintwise::finish_output(tintwise::run_command_line(argc, argv));
}
