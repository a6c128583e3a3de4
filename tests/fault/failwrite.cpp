// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the game by the fault tests: every write to a file whose
// name begins with "HighScores.Dat" fails as on a full disk, or, with
// ZANTHORIX_FAILWRITE_AFTER, once that many bytes have gone to such files.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    static const char *after = getenv("ZANTHORIX_FAILWRITE_AFTER");
    static long room = after ? std::atol(after) : 0;
    if (name && std::strncmp(name + 1, "HighScores.Dat", 14) == 0) {
      if (room <= 0) {
        errno = ENOSPC;
        return -1;
      }
      size = std::min(size, size_t(room));
      room -= long(size);
    }
  }
  return real(fd, data, size);
}
