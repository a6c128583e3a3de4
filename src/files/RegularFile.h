// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and reading data files that may be anything a player or another
// program left under their name: plain POSIX, no Qt.
#pragma once

#include <cerrno>
#include <cstddef>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zanthorix {

// Opens path only when it is a regular file, never waiting: a FIFO would wait
// for its other end, and a device is not opened at all. Returns the
// descriptor (blocking again), or -1 with error set (EISDIR for a file that
// is not a regular one).
inline int OpenRegular(const std::string &path, int flags, int &error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    error = errno;
    return -1;
  }
  const int fd =
      S_ISREG(info.st_mode) ? ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY) : -1;
  if (fd < 0) {
    error = S_ISREG(info.st_mode) ? errno : EISDIR;
    return -1;
  }
  // Checked again on what was opened: the name may have changed meanwhile.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    error = EISDIR;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  error = 0;
  return fd;
}

// Repeats a read or write until size bytes have passed, the file ends or
// the system reports an error; a call interrupted by a signal is repeated.
template <typename Call> std::size_t Whole(std::size_t size, int &error, Call call) {
  std::size_t done = 0;
  error = 0;
  while (done < size) {
    const ssize_t n = call(done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

} // namespace zanthorix
