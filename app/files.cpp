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
namespace {
// A file as Windows tells files apart: its volume and its index there.
bool file_id(int fd, BY_HANDLE_FILE_INFORMATION& info) {
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) != 0 &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
bool same_open_file(int a, int b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return file_id(a, x) && file_id(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}
bool is_folder(int fd) { struct _stat64 st; return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFDIR); }
int create_new(const std::string& path) { return _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE); }
bool rename_over(const std::string& from, const std::string& to) { return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; }
} // namespace

int open_read(const std::string& path) { return path == "-" ? 0 : _open(path.c_str(), _O_RDONLY | _O_BINARY); }
void close_file(int fd) { if (fd > 0) _close(fd); }
long long raw_read(int fd, char* buf, std::size_t n) { return _read(fd, buf, static_cast<unsigned>(n < (1u << 30) ? n : 1u << 30)); }
long long raw_write(int fd, const char* p, std::size_t n) { return _write(fd, p, static_cast<unsigned>(n < (1u << 30) ? n : 1u << 30)); }
bool empty_file(int fd) { struct _stat64 st; return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) && st.st_size == 0; }
std::uint64_t regular_size(int fd) { struct _stat64 st; return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) ? static_cast<std::uint64_t>(st.st_size) : 0; }
bool read_at(int fd, std::uint64_t at, std::size_t n, std::string& out) {
  out.resize(n);
  if (_lseeki64(fd, static_cast<long long>(at), SEEK_SET) < 0) return false;
  std::size_t got = 0;
  for (int error = 0; got < n;) {
    const std::size_t k = read_retrying(fd, &out[got], n - got, error);
    if (k == 0) {
      if (error != 0) return false;
      break;
    }
    got += k;
  }
  out.resize(got);
  return true;
}
// A console's ">>" opens the file and moves to its end before the program
// starts, so the offset is where writing begins.
long long output_start(int fd) {
  struct _stat64 st;
  return _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFREG) ? _lseeki64(fd, 0, SEEK_CUR) : -1;
}
void raw_truncate(int fd, long long size) { (void)_chsize_s(fd, size); }
bool is_terminal(int fd) { return _isatty(fd) != 0; }
bool same_file(const std::string& a, const std::string& b) {
  char fa[_MAX_PATH], fb[_MAX_PATH];
  return _fullpath(fa, a.c_str(), sizeof fa) && _fullpath(fb, b.c_str(), sizeof fb) && _stricmp(fa, fb) == 0;
}
void binary_standard_streams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}
#else
namespace {
bool same_open_file(int a, int b) {
  struct stat x, y;
  return ::fstat(a, &x) == 0 && ::fstat(b, &y) == 0 && S_ISREG(x.st_mode) && S_ISREG(y.st_mode) && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}
bool is_folder(int fd) { struct stat st; return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode); }
// O_EXCL with O_CREAT fails on any name that exists, a link to anything included.
int create_new(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666); }
bool rename_over(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
} // namespace

int open_read(const std::string& path) { return path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
void close_file(int fd) { if (fd > 0) ::close(fd); }
long long raw_read(int fd, char* buf, std::size_t n) { return ::read(fd, buf, n); }
long long raw_write(int fd, const char* p, std::size_t n) { return ::write(fd, p, n); }
bool empty_file(int fd) { struct stat st; return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0; }
std::uint64_t regular_size(int fd) { struct stat st; return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0; }
bool read_at(int fd, std::uint64_t at, std::size_t n, std::string& out) {
  out.resize(n);
  std::size_t got = 0;
  while (got < n) {
    const ssize_t k = ::pread(fd, &out[got], n - got, static_cast<off_t>(at + got));
    if (k < 0 && errno == EINTR) continue;
    if (k < 0) return false;
    if (k == 0) break;
    got += static_cast<std::size_t>(k);
  }
  out.resize(got);
  return true;
}
long long output_start(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_APPEND) ? static_cast<long long>(st.st_size) : ::lseek(fd, 0, SEEK_CUR);
}
void raw_truncate(int fd, long long size) { (void)::ftruncate(fd, static_cast<off_t>(size)); }
bool is_terminal(int fd) { return ::isatty(fd) != 0; }
bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
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
  int fd = open_read(path);
  const char* why = fd < 0 ? std::strerror(errno) : nullptr;
  if (fd >= 0 && is_folder(fd)) { // one message, rather than a failed read and what the reader makes of no bytes
    close_file(fd);
    fd = -1;
    why = "it is a folder";
  }
  if (why) std::fprintf(stderr, "%s: %s: cannot open: %s\n", program, path.c_str(), why);
  return fd;
}

bool is_standard_output(const std::string& path) {
  if (path == "-") return same_open_file(0, 1);
  const int fd = open_read(path);
  const bool same = fd >= 0 && same_open_file(fd, 1);
  close_file(fd);
  return same;
}

bool output_is_input(const char* program, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!is_standard_output(path)) continue;
    const int fd = open_read(path);
    const bool empty = fd >= 0 && empty_file(fd);
    close_file(fd);
    const std::string name = path == "-" ? "standard input" : path;
    if (empty) {
      std::fprintf(stderr, "%s: %s is empty, and it is standard output too: a shell's '>' empties the file it names before the program starts, so "
                           "what it held is gone (restore it from a backup, or make it again); write to another file, or use --beside\n", program, name.c_str());
    } else {
      std::fprintf(stderr, "%s: %s is standard output too, and reading it while writing it would lose it: write to another file, or use --beside\n", program,
                   name.c_str());
    }
    return true;
  }
  return false;
}

bool open_beside(BesideFile& file) {
  for (int n = 0; n < 100; ++n) {
    file.temporary = file.path + (n ? "." + std::to_string(n) : std::string()) + ".part";
    if ((file.fd = create_new(file.temporary)) >= 0) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

bool close_beside(BesideFile& file, bool keep) {
  if (file.fd < 0) return !keep;
  close_file(file.fd);
  file.fd = -1;
  if (keep && rename_over(file.temporary, file.path)) return true;
  const int error = errno;
  std::remove(file.temporary.c_str());
  errno = error;
  return false;
}

} // namespace tintwise
