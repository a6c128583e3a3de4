// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <random>

namespace zanthorix {

// Uniform integers from 0 to n - 1. The program seeds one from the clock;
// tests hand in a seeded or scripted one.
class Random {
public:
  virtual ~Random() = default;
  virtual int Next(int n) = 0;
};

// The program's one generator; seeded once, never reseeded.
class StdRandom final : public Random {
public:
  explicit StdRandom(std::uint32_t seed) : engine_(seed) {}
  int Next(int n) override { return std::uniform_int_distribution<int>(0, n - 1)(engine_); }

private:
  std::mt19937 engine_;
};

// Milliseconds since midnight UTC: the seed the game starts from.
std::uint32_t ClockSeed();

} // namespace zanthorix
