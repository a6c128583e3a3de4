// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the game by the fault tests: every write to a file whose
// name begins with "HighScores.Dat" fails as on a full disk.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

extern "C" ssize_t write(int fd, const void *data, size_t size) {
  using Write = ssize_t (*)(int, const void *, size_t);
  static const Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
  char link[64], target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length > 0) {
    target[length] = '\0';
    const char *name = std::strrchr(target, '/');
    if (name && std::strncmp(name + 1, "HighScores.Dat", 14) == 0) {
      errno = ENOSPC;
      return -1;
    }
  }
  return real(fd, data, size);
}
