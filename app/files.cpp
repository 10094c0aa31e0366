#include "files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tintwise {

#ifdef _WIN32
int open_read(const std::string& path) { return path == "-" ? 0 : _open(path.c_str(), _O_RDONLY | _O_BINARY); }
int open_output(const std::string& path) { return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE); }
void close_file(int fd) { if (fd > 0) _close(fd); }
long long raw_read(int fd, char* buf, std::size_t n) { return _read(fd, buf, static_cast<unsigned>(n < (1u << 30) ? n : 1u << 30)); }
long long raw_write(int fd, const char* p, std::size_t n) { return _write(fd, p, static_cast<unsigned>(n < (1u << 30) ? n : 1u << 30)); }
long long raw_tell(int fd) { return _lseeki64(fd, 0, SEEK_CUR); }
bool raw_is_file(int fd) { struct _stat64 st; return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG); }
void raw_truncate(int fd, long long size) { (void)_chsize_s(fd, size); }
bool is_terminal(int fd) { return _isatty(fd) != 0; }
bool same_file(const std::string& a, const std::string& b) {
  char fa[_MAX_PATH], fb[_MAX_PATH];
  return _fullpath(fa, a.c_str(), sizeof fa) && _fullpath(fb, b.c_str(), sizeof fb) && _stricmp(fa, fb) == 0;
}
bool rename_over(const std::string& from, const std::string& to) { return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; }
void binary_standard_streams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}
#else
int open_read(const std::string& path) { return path == "-" ? 0 : ::open(path.c_str(), O_RDONLY); }
int open_output(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666); }
void close_file(int fd) { if (fd > 0) ::close(fd); }
long long raw_read(int fd, char* buf, std::size_t n) { return ::read(fd, buf, n); }
long long raw_write(int fd, const char* p, std::size_t n) { return ::write(fd, p, n); }
long long raw_tell(int fd) { return ::lseek(fd, 0, SEEK_CUR); }
bool raw_is_file(int fd) { struct stat st; return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode); }
void raw_truncate(int fd, long long size) { (void)::ftruncate(fd, static_cast<off_t>(size)); }
bool is_terminal(int fd) { return ::isatty(fd) != 0; }
bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
bool rename_over(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
void binary_standard_streams() {}
#endif

std::size_t read_retrying(int fd, char* buf, std::size_t n, int& error) {
  for (;;) {
    const long long got = raw_read(fd, buf, n);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return error = errno, 0;
  }
}

int write_all(int fd, const char* p, std::size_t n, std::size_t& done) {
  for (done = 0; done < n;) {
    const long long wrote = raw_write(fd, p + done, n - done);
    if (wrote > 0) done += static_cast<std::size_t>(wrote);
    else if (wrote == 0) return ENOSPC;
    else if (errno != EINTR) return errno;
  }
  return 0;
}

int open_input_said(const char* program, const std::string& path) {
  const int fd = open_read(path);
  if (fd < 0) std::fprintf(stderr, "%s: %s: cannot open: %s\n", program, path.c_str(), std::strerror(errno));
  return fd;
}

} // namespace tintwise
