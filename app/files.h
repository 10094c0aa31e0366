// Descriptors and files as the programs use them, alike on Windows and
// elsewhere: raw reads and writes (no C runtime buffering, no line end
// translation), what a file is, and outputs that never lose what was there.
#ifndef TINTWISE_FILES_H
#define TINTWISE_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tintwise {

int open_read(const std::string& path);   // -1 (errno set) if it cannot be opened; "-" is standard input
void close_file(int fd);                  // but standard input
long long raw_read(int fd, char* buf, std::size_t n);        // as read(): -1 with errno on an error
long long raw_write(int fd, const char* p, std::size_t n);   // as write()
// Up to n bytes, read again when a signal interrupts the read: how many, 0 at
// the end of the input or on an error (its errno then in `error`).
std::size_t read_retrying(int fd, char* buf, std::size_t n, int& error);
// All n bytes written, again after a signal or a short write: 0, or the error
// that stopped it (ENOSPC where nothing more would go), with how many bytes
// were written in `done`.
int write_all(int fd, const char* p, std::size_t n, std::size_t& done);
// The size of the regular file open as `fd`, or 0 where it is none (a pipe,
// a terminal): what a reader may read anywhere with read_at.
std::uint64_t regular_size(int fd);
// The `n` bytes at `at` of the regular file open as `fd` into `out` (fewer
// where it ends); false where they cannot be read. Another read's place in
// the file is no longer certain after it.
bool read_at(int fd, std::uint64_t at, std::size_t n, std::string& out);
// An input opened ("-" is standard input); -1 if it cannot be (a folder is
// none), said on standard error as "PROGRAM: PATH: cannot open: REASON".
int open_input_said(const char* program, const std::string& path);
// Whether the input opened as `fd` holds no byte (a regular file of size 0).
bool empty_file(int fd);
void raw_truncate(int fd, long long size);
bool is_terminal(int fd);
// Two paths name the same file: through a link too (on Windows, case aside,
// as Windows compares names).
bool same_file(const std::string& a, const std::string& b);
// Whether standard output is a regular file that `path` names too ("-":
// standard input), as cat checks before it reads: a run that read it would
// read what it writes.
bool is_standard_output(const std::string& path);
// Whether standard output is one of `paths`: such a run would read what it
// writes (">> FILE" grows until the disk is full), or, after the shell's ">"
// emptied the input, nothing; said on standard error (as PROGRAM: ...), with
// what a ">" did to an input it emptied.
bool output_is_input(const char* program, const std::vector<std::string>& paths);
// Where writing to `fd` begins, so that a failed write can be cut back to
// it: its offset, or where it was opened to append (">>", where every write
// goes to the end), the file's size; -1 for anything but a regular file.
long long output_start(int fd);

// A file written beside an input: made under a temporary name of its own
// (PATH.part, or PATH.1.part and so on where that name is taken), created
// exclusively and never through a link, then renamed over PATH once written
// whole, or removed: a failed write leaves no half-written file, and what
// PATH held before stays.
struct BesideFile {
  std::string path, temporary;
  int fd = -1;
};
bool open_beside(BesideFile& file);             // false (errno set) if no temporary file can be made
bool close_beside(BesideFile& file, bool keep); // kept: renamed over PATH (false, errno set, if that fails); else removed

// Standard input, output and error in binary mode, so that every platform
// reads and writes the same bytes.
void binary_standard_streams();

} // namespace tintwise

#endif
