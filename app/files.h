// Descriptors and files as the programs use them, alike on Windows and
// elsewhere: raw reads and writes (no C runtime buffering, no line end
// translation), and what a file is.
#ifndef TINTWISE_FILES_H
#define TINTWISE_FILES_H

#include <cstddef>
#include <string>

namespace tintwise {

int open_read(const std::string& path);   // -1 (errno set) if it cannot be opened; "-" is standard input
int open_output(const std::string& path); // made or emptied
void close_file(int fd);                  // but standard input
long long raw_read(int fd, char* buf, std::size_t n);        // as read(): -1 with errno on an error
long long raw_write(int fd, const char* p, std::size_t n);   // as write()
long long raw_tell(int fd);
bool raw_is_file(int fd);
// Up to n bytes, read again when a signal interrupts the read: how many, 0 at
// the end of the input or on an error (its errno then in `error`).
std::size_t read_retrying(int fd, char* buf, std::size_t n, int& error);
// All n bytes written, again after a signal or a short write: 0, or the error
// that stopped it (ENOSPC where nothing more would go), with how many bytes
// were written in `done`.
int write_all(int fd, const char* p, std::size_t n, std::size_t& done);
// An input opened ("-" is standard input); -1 if it cannot be, said on
// standard error as "PROGRAM: PATH: cannot open: REASON".
int open_input_said(const char* program, const std::string& path);
void raw_truncate(int fd, long long size);
bool is_terminal(int fd);
// Two paths name the same file: through a link too (on Windows, case aside,
// as Windows compares names).
bool same_file(const std::string& a, const std::string& b);
// `from` renamed to `to`, over a file of that name.
bool rename_over(const std::string& from, const std::string& to);
// Standard input, output and error in binary mode, so that every platform
// reads and writes the same bytes.
void binary_standard_streams();

} // namespace tintwise

#endif
