// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ReadFile.h"

#include "files/RegularFile.h"

namespace zanthorix {

ReadResult ReadRegularFile(const std::string &path, std::int64_t limit, std::string &bytes) {
  int error = 0;
  const int fd = OpenRegular(path, O_RDONLY, error);
  if (fd < 0) return ReadResult::Unreadable;
  const auto result = [&] {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return ReadResult::Unreadable;
    if (info.st_size > limit) return ReadResult::TooLarge;
    // One byte more than allowed tells a file that grew meanwhile.
    bytes.resize(std::size_t(limit + 1));
    const std::size_t got = Whole(std::size_t(limit + 1), error, [&](std::size_t at) {
      return ::read(fd, bytes.data() + at, std::size_t(limit + 1) - at);
    });
    if (error != 0) return ReadResult::Unreadable;
    bytes.resize(got);
    return std::int64_t(got) > limit ? ReadResult::TooLarge : ReadResult::Ok;
  }();
  ::close(fd);
  return result;
}

} // namespace zanthorix
