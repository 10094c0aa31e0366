#include "console.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace tintwise {

bool started_from_explorer(const char* forced) {
  const char* said = std::getenv(forced);
  if (said && *said) return std::strcmp(said, "0") != 0;
#ifdef _WIN32
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1 && GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR;
#else
  return false;
#endif
}

void wait_for_enter() {
  std::fputs("\nPress Enter to close this window.\n", stdout);
  std::fflush(stdout);
  for (int c = std::getchar(); c != EOF && c != '\n';) c = std::getchar();
}

} // namespace tintwise
