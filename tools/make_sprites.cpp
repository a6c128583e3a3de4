// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the ball sprite sheet (Balls.bmp, and Balls@2x.bmp and Balls@3x.bmp drawn at two and
// three times the size) and the application icon (zanthorix.ico, a PNG copy
// of it, and icons/zanthorix-<N>.png in the usual desktop sizes, each drawn at its size).
// Usage: make_sprites [output-folder], default "resources".
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Colour = std::array<double, 3>;

constexpr int Cell = 20;
constexpr int Sheet = 3 * Cell;
constexpr int Kinds = 7;
constexpr int FirstRamp = 32; // entries below hold black and the ground greys
constexpr int RampSize = 32;
constexpr int ShadeSteps = 24; // the rest of each ramp blends the rim into the ground
constexpr int GroundGrey = 194;
constexpr Colour Ground{GroundGrey, GroundGrey, GroundGrey};

constexpr std::array<Colour, Kinds> BallColours{{
    {240, 200, 20},  // yellow
    {40, 90, 235},   // blue
    {225, 35, 35},   // red
    {155, 60, 205},  // purple
    {178, 182, 192}, // silver-grey
    {40, 180, 60},   // green
    {30, 200, 220},  // cyan
}};

void put16(Bytes &b, unsigned v) {
  b.push_back(v & 0xff);
  b.push_back((v >> 8) & 0xff);
}
void put32(Bytes &b, std::uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}
void put32s(Bytes &b, std::initializer_list<std::uint32_t> values) {
  for (std::uint32_t v : values)
    put32(b, v);
}
void put32be(Bytes &b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    b.push_back((v >> shift) & 0xff);
}

Colour mix(const Colour &a, const Colour &b, double f) {
  return {a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f};
}

// Brightness 0..1 of the point (x, y) of a ball of radius 1 lit from the upper left, or a
// negative value outside the ball.
double brightness(double x, double y) {
  const double rr = x * x + y * y;
  if (rr >= 1) return -1;
  const double z = std::sqrt(1 - rr);
  const double lx = -0.55, ly = -0.6, lz = 0.58; // light direction, roughly unit length
  const double hl = std::sqrt(lx * lx + ly * ly + (lz + 1) * (lz + 1));
  const double diffuse = std::max(0.0, x * lx + y * ly + z * lz);
  const double specular = std::pow(std::max(0.0, (x * lx + y * ly + z * (lz + 1)) / hl), 40);
  const double edge = std::min(1.0, z / 0.6); // a darker silhouette lifts the ball off the ground
  return std::min(1.0, (0.12 + 0.68 * diffuse) * (0.2 + 0.8 * edge) + 0.45 * specular);
}

// Shade of a ball: dark at 0, its own colour at 0.7, white at 1.
Colour shade(const Colour &base, double t) {
  const Colour dark{base[0] * 0.2, base[1] * 0.2, base[2] * 0.22};
  if (t < 0.7) return mix(dark, base, t / 0.7);
  return mix(base, Colour{255, 255, 255}, (t - 0.7) / 0.3);
}

constexpr double RimShade = 0.12; // the shade where a ball meets the ground

std::array<Colour, 256> makePalette() {
  std::array<Colour, 256> pal{}; // entry 0 and the unused ones stay black
  for (int g = 192; g <= 196; ++g)
    pal[g - 191] = Colour{double(g), double(g), double(g)};
  for (int k = 0; k < Kinds; ++k)
    for (int i = 0; i < RampSize; ++i) {
      const Colour &base = BallColours[k];
      pal[FirstRamp + k * RampSize + i] =
          i < ShadeSteps ? shade(base, i / double(ShadeSteps - 1))
                         : mix(Ground, shade(base, RimShade),
                               (i - ShadeSteps + 1) / double(RampSize - ShadeSteps + 1));
    }
  return pal;
}

std::uint8_t nearest(const std::array<Colour, 256> &pal, const Colour &c, int kind) {
  std::vector<int> candidates{1, 2, 3, 4, 5}; // ground greys
  for (int i = 0; i < RampSize; ++i)
    candidates.push_back(FirstRamp + kind * RampSize + i);
  int best = candidates[0];
  double bestDistance = 1e9;
  for (int i : candidates) {
    const Colour &p = pal[i];
    const double d = (p[0] - c[0]) * (p[0] - c[0]) + (p[1] - c[1]) * (p[1] - c[1]) +
                     (p[2] - c[2]) * (p[2] - c[2]);
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return std::uint8_t(best);
}

// The sprite sheet drawn at scale times its size. At scale 1 it is the game's own sheet, 8 bits
// per pixel with a palette; the larger sheets, for screens with more device pixels, keep every
// shade in 24 bits.
Bytes makeBalls(int scale) {
  const auto pal = makePalette();
  const int cell = Cell * scale, side = Sheet * scale;
  std::vector<Colour> colours(side * side, Colour{}); // the spare cells stay black
  std::vector<std::uint8_t> pixels(side * side, 0);
  const double radius = 8.75 * scale;
  const int sub = 4; // supersampling per axis for a smooth rim
  for (int k = 0; k < Kinds; ++k) {
    const int ox = (k % 3) * cell, oy = (k / 3) * cell;
    for (int y = 0; y < cell; ++y)
      for (int x = 0; x < cell; ++x) {
        Colour sum{};
        for (int s = 0; s < sub * sub; ++s) {
          const double px = x + (s % sub + 0.5) / sub - cell / 2.0;
          const double py = y + (s / sub + 0.5) / sub - cell / 2.0;
          const double t = brightness(px / radius, py / radius);
          const Colour c = t < 0 ? Ground : shade(BallColours[k], t);
          for (int i = 0; i < 3; ++i)
            sum[i] += c[i] / (sub * sub);
        }
        colours[(oy + y) * side + ox + x] = sum;
        pixels[(oy + y) * side + ox + x] = nearest(pal, sum, k);
      }
  }
  const bool indexed = scale == 1;
  const int rowBytes = indexed ? side : side * 3; // both multiples of 4: no row padding
  const int paletteBytes = indexed ? 1024 : 0;
  Bytes b{'B', 'M'};
  put32s(b, {std::uint32_t(54 + paletteBytes + rowBytes * side), 0,
             std::uint32_t(54 + paletteBytes), 40, std::uint32_t(side), std::uint32_t(side)});
  put16(b, 1);                // planes
  put16(b, indexed ? 8 : 24); // bits per pixel
  // Uncompressed, 72 dpi, the full palette or none.
  put32s(b, {0, std::uint32_t(rowBytes * side), 2835, 2835, indexed ? 256u : 0u, 0});
  if (indexed)
    for (const Colour &c : pal)
      b.insert(b.end(),
               {std::uint8_t(c[2] + 0.5), std::uint8_t(c[1] + 0.5), std::uint8_t(c[0] + 0.5), 0});
  for (int y = side - 1; y >= 0; --y) {
    if (indexed) {
      b.insert(b.end(), pixels.begin() + y * side, pixels.begin() + (y + 1) * side);
      continue;
    }
    for (int x = 0; x < side; ++x) {
      const Colour &c = colours[y * side + x];
      b.insert(b.end(),
               {std::uint8_t(c[2] + 0.5), std::uint8_t(c[1] + 0.5), std::uint8_t(c[0] + 0.5)});
    }
  }
  return b;
}

// The icon uses the 16-colour VGA palette; index 0 doubles as the transparent ground.
// clang-format off
constexpr std::array<std::uint8_t, 48> Vga{ // RGB, in the usual order of the 16 VGA colours
    0, 0, 0,       128, 0, 0,     0, 128, 0,     128, 128, 0,
    0, 0, 128,     128, 0, 128,   0, 128, 128,   192, 192, 192,
    128, 128, 128, 255, 0, 0,     0, 255, 0,     255, 255, 0,
    0, 0, 255,     255, 0, 255,   0, 255, 255,   255, 255, 255};
// clang-format on
constexpr int IconSize = 32;

// Four balls (red, yellow, blue, green) as VGA indices, -1 where transparent.
std::vector<int> iconPixels() {
  const std::array<std::array<int, 2>, 4> inks{{{1, 9}, {3, 11}, {4, 12}, {2, 10}}}; // dark, bright
  std::vector<int> out(IconSize * IconSize, -1);
  for (int y = 0; y < IconSize; ++y)
    for (int x = 0; x < IconSize; ++x) {
      const int ball = (y / 16) * 2 + x / 16;
      const double t = brightness((x % 16 + 0.5 - 8) / 7.3, (y % 16 + 0.5 - 8) / 7.3);
      if (t >= 0) out[y * IconSize + x] = t > 0.78 ? 15 : inks[ball][t < 0.3 ? 0 : 1];
    }
  return out;
}

Bytes makeIcon(const std::vector<int> &px) {
  const int xorSize = IconSize * IconSize / 2, andSize = IconSize * 4;
  Bytes b;
  put16(b, 0);
  put16(b, 1); // icon
  put16(b, 1); // one image
  b.insert(b.end(), {IconSize, IconSize, 16, 0});
  put16(b, 1); // planes
  put16(b, 4); // bits per pixel
  put32s(b, {40 + 64 + xorSize + andSize, 22});
  put32s(b, {40, IconSize, IconSize * 2}); // the height counts colour bitmap and mask
  put16(b, 1);
  put16(b, 4);
  put32s(b, {0, xorSize + andSize, 0, 0, 0, 0});
  for (int i = 0; i < 48; i += 3)
    b.insert(b.end(), {Vga[i + 2], Vga[i + 1], Vga[i], 0});
  for (int y = IconSize - 1; y >= 0; --y)
    for (int x = 0; x < IconSize; x += 2)
      b.push_back(std::max(px[y * IconSize + x], 0) << 4 | std::max(px[y * IconSize + x + 1], 0));
  for (int y = IconSize - 1; y >= 0; --y)
    for (int x = 0; x < IconSize; x += 8) {
      std::uint8_t mask = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (px[y * IconSize + x + bit] < 0) mask |= 0x80 >> bit;
      b.push_back(mask);
    }
  return b;
}

std::uint32_t crc32(const Bytes &data) {
  std::uint32_t c = 0xffffffff;
  for (std::uint8_t byte : data) {
    c ^= byte;
    for (int k = 0; k < 8; ++k)
      c = (c >> 1) ^ (0xedb88320 & (0 - (c & 1)));
  }
  return ~c;
}

void pngChunk(Bytes &png, const char *type, const Bytes &data) {
  put32be(png, data.size());
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  put32be(png, crc32(body));
}

// An RGBA PNG of size by size pixels. Level 0 stores the data uncompressed, as the first
// 32-pixel icon was written.
Bytes makePng(int size, const Bytes &rgba, int level) {
  Bytes raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0); // no filter
    raw.insert(raw.end(), rgba.begin() + y * size * 4, rgba.begin() + (y + 1) * size * 4);
  }
  uLongf length = compressBound(raw.size());
  Bytes idat(length);
  if (compress2(idat.data(), &length, raw.data(), raw.size(), level) != Z_OK) return {};
  idat.resize(length);
  Bytes ihdr;
  put32be(ihdr, size);
  put32be(ihdr, size);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA
  Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  pngChunk(png, "IHDR", ihdr);
  pngChunk(png, "IDAT", idat);
  pngChunk(png, "IEND", {});
  return png;
}

// The 32-pixel icon in its 16 VGA colours, as RGBA.
Bytes vgaRgba(const std::vector<int> &px) {
  Bytes rgba;
  for (int i : px) {
    const std::uint8_t *c = &Vga[3 * std::max(i, 0)];
    rgba.insert(rgba.end(), {c[0], c[1], c[2], std::uint8_t(i < 0 ? 0 : 255)});
  }
  return rgba;
}

// The same four balls drawn smoothly at any size, their rims blended into the transparent
// ground by coverage.
Bytes smoothIcon(int size) {
  const std::array<Colour, 4> inks{BallColours[2], BallColours[0], BallColours[1], BallColours[5]};
  const double quarter = size / 2.0, radius = quarter * 7.3 / 16;
  const int sub = 8;
  Bytes rgba;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      Colour sum{};
      int covered = 0;
      for (int s = 0; s < sub * sub; ++s) {
        const double px = x + (s % sub + 0.5) / sub, py = y + (s / sub + 0.5) / sub;
        const int ball = (py >= quarter) * 2 + (px >= quarter);
        const double cx = std::fmod(px, quarter) - quarter / 2;
        const double cy = std::fmod(py, quarter) - quarter / 2;
        const double t = brightness(cx / radius, cy / radius);
        if (t < 0) continue;
        const Colour c = shade(inks[ball], t);
        for (int i = 0; i < 3; ++i)
          sum[i] += c[i];
        ++covered;
      }
      for (int i = 0; i < 3; ++i)
        rgba.push_back(covered ? std::uint8_t(sum[i] / covered + 0.5) : 0);
      rgba.push_back(std::uint8_t(255.0 * covered / (sub * sub) + 0.5));
    }
  return rgba;
}

bool save(const std::string &path, const Bytes &data) {
  std::ofstream out(path, std::ios::binary);
  if (data.empty()) out.setstate(std::ios::failbit);
  out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
  if (out) return true;
  std::fprintf(stderr, "make_sprites: cannot write %s\n", path.c_str());
  return false;
}

} // namespace

int main(int argc, char **argv) {
  const std::string dir = argc > 1 ? argv[1] : "resources";
  const auto icon = iconPixels();
  bool ok = save(dir + "/Balls.bmp", makeBalls(1)) & save(dir + "/Balls@2x.bmp", makeBalls(2)) &
            save(dir + "/Balls@3x.bmp", makeBalls(3)) &
            save(dir + "/zanthorix.ico", makeIcon(icon)) &
            save(dir + "/zanthorix.png", makePng(IconSize, vgaRgba(icon), 0));
  std::filesystem::create_directories(dir + "/icons");
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const Bytes png = size == IconSize ? makePng(size, vgaRgba(icon), 0)
                                       : makePng(size, smoothIcon(size), Z_BEST_COMPRESSION);
    ok &= save(dir + "/icons/zanthorix-" + std::to_string(size) + ".png", png);
  }
  return ok ? 0 : 1;
}
