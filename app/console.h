// The console window a program may have been started in by Windows Explorer
// (a double click, files dropped on it), where its output would flash and be
// gone: whether it was, and a wait for Enter before the window closes.
#ifndef TINTWISE_CONSOLE_H
#define TINTWISE_CONSOLE_H

namespace tintwise {

// Whether the program has its console window to itself (no command prompt,
// PowerShell or script shares it) and writes to it: what a start from
// Explorer looks like. The environment variable `forced` (1 or 0) says so
// instead, on any system, which is how the tests try it.
bool started_from_explorer(const char* forced);

// Says so on standard output and waits until Enter is pressed (or the input ends).
void wait_for_enter();

} // namespace tintwise

#endif
