// SPDX-License-Identifier: GPL-3.0-or-later
#include "scores/Windows1252.h"

#include <array>
#include <cstdint>

namespace zanthorix {

namespace {

// 0x80 to 0x9F; the five holes map to the C1 control of the same value, as
// Windows does, so that every byte survives a round trip.
constexpr std::array<char16_t, 32> HighBlock{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char FromCodePoint(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (std::size_t i = 0; i < HighBlock.size(); ++i)
    if (HighBlock[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

} // namespace

std::string ToWindows1252(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    // A pair of surrogates is one character, and none of them is in the page.
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
      ++i;
    bytes.push_back(unit >= 0xD800 && unit <= 0xDFFF ? '?' : FromCodePoint(unit));
  }
  return bytes;
}

std::u16string FromWindows1252(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char b : bytes) {
    const auto byte = static_cast<std::uint8_t>(b);
    text.push_back(byte >= 0x80 && byte < 0xA0 ? HighBlock[byte - 0x80] : char16_t(byte));
  }
  return text;
}

} // namespace zanthorix
