// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a data file whole, with one implementation per system: plain C++.
#pragma once

#include <cstdint>
#include <string>

namespace zanthorix {

enum class ReadResult { Ok, Unreadable, TooLarge };

// Reads the file at path (UTF-8) when it is a regular file of at most limit
// bytes. Anything else (a FIFO, a device, a folder) is refused without being
// opened, and the open never waits.
ReadResult ReadRegularFile(const std::string &path, std::int64_t limit, std::string &bytes);

} // namespace zanthorix
