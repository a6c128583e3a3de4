// SPDX-License-Identifier: GPL-3.0-or-later
// Packs the desktop icons (resources/icons/zanthorix-<N>.png, each drawn at
// its size by make_sprites) into the one Windows icon file that the
// executable carries: resources/windows/zanthorix.ico, every size a PNG entry.
// Usage: make_icon <resources folder>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void put16(std::vector<unsigned char> &out, unsigned value) {
  out.push_back(value & 0xff);
  out.push_back((value >> 8) & 0xff);
}

void put32(std::vector<unsigned char> &out, std::uint32_t value) {
  put16(out, value & 0xffff);
  put16(out, value >> 16);
}

std::uint32_t big32(const std::vector<unsigned char> &bytes, std::size_t at) {
  return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
         std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon <resources folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
  std::vector<std::vector<unsigned char>> images;
  for (const int size : sizes) {
    const std::string name = folder + "/icons/zanthorix-" + std::to_string(size) + ".png";
    std::ifstream in(name, std::ios::binary);
    std::vector<unsigned char> png{std::istreambuf_iterator<char>(in), {}};
    // The signature, then IHDR with the width and the height.
    if (png.size() < 24 || png[1] != 'P' || big32(png, 16) != std::uint32_t(size) ||
        big32(png, 20) != std::uint32_t(size)) {
      std::fprintf(stderr, "%s: not a %dx%d PNG\n", name.c_str(), size, size);
      return 1;
    }
    images.push_back(std::move(png));
  }

  std::vector<unsigned char> ico;
  put16(ico, 0);
  put16(ico, 1); // an icon
  put16(ico, unsigned(images.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    ico.push_back(sizes[i] == 256 ? 0 : sizes[i]); // 0 stands for 256
    ico.push_back(sizes[i] == 256 ? 0 : sizes[i]);
    ico.push_back(0); // no palette
    ico.push_back(0);
    put16(ico, 1);  // planes
    put16(ico, 32); // bits per pixel
    put32(ico, std::uint32_t(images[i].size()));
    put32(ico, offset);
    offset += std::uint32_t(images[i].size());
  }
  for (const auto &png : images)
    ico.insert(ico.end(), png.begin(), png.end());

  const std::string out = folder + "/windows/zanthorix.ico";
  std::ofstream file(out, std::ios::binary);
  file.write(reinterpret_cast<const char *>(ico.data()), std::streamsize(ico.size()));
  if (!file) {
    std::fprintf(stderr, "%s: cannot write\n", out.c_str());
    return 1;
  }
  return 0;
}
