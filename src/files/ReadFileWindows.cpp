// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/ReadFile.h"

#include "files/WideFile.h"

namespace zanthorix {

ReadResult ReadRegularFile(const std::string &path, std::int64_t limit, std::string &bytes) {
  DWORD error = 0;
  const HANDLE file = OpenRegularFile(Widen(path), GENERIC_READ, error);
  if (file == INVALID_HANDLE_VALUE) return ReadResult::Unreadable;
  const auto result = [&] {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size)) return ReadResult::Unreadable;
    if (size.QuadPart > limit) return ReadResult::TooLarge;
    // One byte more than allowed tells a file that grew meanwhile.
    bytes.resize(std::size_t(limit + 1));
    const std::size_t got = ReadWhole(file, bytes.data(), bytes.size(), error);
    if (error != 0) return ReadResult::Unreadable;
    bytes.resize(got);
    return std::int64_t(got) > limit ? ReadResult::TooLarge : ReadResult::Ok;
  }();
  ::CloseHandle(file);
  return result;
}

} // namespace zanthorix
