// SPDX-License-Identifier: GPL-3.0-or-later
// Names are kept in the file as Windows-1252 bytes, so that files from the
// Windows game read the same.
#pragma once

#include <string>
#include <string_view>

namespace zanthorix {

// One byte per character; a character the code page lacks becomes '?'.
std::string ToWindows1252(std::u16string_view text);
std::u16string FromWindows1252(std::string_view bytes);

} // namespace zanthorix
