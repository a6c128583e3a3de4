// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/MidiFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zanthorix {

namespace {

std::uint32_t ReadBigEndian32(const char *p) {
  return (std::uint32_t(std::uint8_t(p[0])) << 24) | (std::uint32_t(std::uint8_t(p[1])) << 16) |
         (std::uint32_t(std::uint8_t(p[2])) << 8) | std::uint32_t(std::uint8_t(p[3]));
}

// Reads a Standard MIDI File the way the synthesizer's player will, so that
// what it would give up on is refused at open instead of on the audio thread.
class MidiCheck {
public:
  MidiCheck(const char *bytes, std::size_t size)
      : p_(reinterpret_cast<const std::uint8_t *>(bytes)), size_(std::ptrdiff_t(size)) {}

  bool Valid() {
    if (size_ < 14 || std::memcmp(p_, "MThd", 4) != 0 || ReadBigEndian32(At(4)) != 6) return false;
    const int format = (p_[8] << 8) | p_[9];
    const int tracks = (p_[10] << 8) | p_[11];
    const int division = (p_[12] << 8) | p_[13];
    // SMPTE time and zero ticks a beat are not played.
    if (format > 2 || tracks < 1 || (format == 0 && tracks != 1) || division == 0 ||
        (division & 0x8000))
      return false;
    std::ptrdiff_t at = 14;
    for (int found = 0; found < tracks;) {
      if (at + 8 > size_) return false;
      const std::uint32_t length = ReadBigEndian32(At(at + 4));
      if (length > std::uint32_t(size_ - at - 8)) return false;
      if (std::memcmp(At(at), "MTrk", 4) == 0) {
        if (!Track(at + 8, at + 8 + std::ptrdiff_t(length))) return false;
        ++found;
      }
      at += 8 + std::ptrdiff_t(length);
    }
    return notes_ || longest_ > 0;
  }

private:
  const char *At(std::ptrdiff_t at) const { return reinterpret_cast<const char *>(p_ + at); }

  // A variable-length number of at most four bytes, within the track.
  bool Number(std::ptrdiff_t &at, std::ptrdiff_t end, std::uint32_t &value) const {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      if (at >= end) return false;
      const std::uint8_t byte = p_[at++];
      value = (value << 7) | (byte & 0x7f);
      if (!(byte & 0x80)) return true;
    }
    return false;
  }

  bool Track(std::ptrdiff_t at, std::ptrdiff_t end) {
    std::uint64_t ticks = 0;
    int running = 0; // the status that data bytes without one run on
    while (at < end) {
      std::uint32_t delta = 0;
      if (!Number(at, end, delta) || at >= end) return false;
      ticks += delta;
      const int status = (p_[at] & 0x80) ? p_[at++] : running;
      if (status == 0) return false;
      if (status == 0xff) {
        if (at >= end) return false;
        const int type = p_[at++];
        std::uint32_t length = 0;
        if (!Number(at, end, length) || length > std::uint32_t(end - at)) return false;
        // The lengths that the player insists on.
        if ((type == 0x2f && length != 0) || (type == 0x51 && length != 3) ||
            (type == 0x54 && length != 5) || (type == 0x58 && length != 4) ||
            (type == 0x59 && length != 2))
          return false;
        at += length;
        if (type == 0x2f) break; // the rest of the chunk is not read
      } else if (status == 0xf0 || status == 0xf7) {
        std::uint32_t length = 0;
        if (!Number(at, end, length) || length > std::uint32_t(end - at)) return false;
        at += length;
      } else if (status >= 0xf0) {
        return false;
      } else {
        running = status;
        const int kind = status & 0xf0;
        const int data = kind == 0xc0 || kind == 0xd0 ? 1 : 2;
        if (end - at < data) return false;
        for (int i = 0; i < data; ++i)
          if (p_[at + i] & 0x80) return false;
        if (kind == 0x90 && p_[at + 1] != 0) notes_ = true;
        at += data;
      }
    }
    longest_ = std::max(longest_, ticks);
    return true;
  }

  const std::uint8_t *p_;
  std::ptrdiff_t size_;
  bool notes_ = false;
  std::uint64_t longest_ = 0;
};

} // namespace

bool IsMidiFile(const char *bytes, std::size_t size) { return MidiCheck(bytes, size).Valid(); }

} // namespace zanthorix
