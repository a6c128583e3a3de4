// SPDX-License-Identifier: GPL-3.0-or-later
#include "rules/Random.h"

#include <chrono>

namespace zanthorix {

std::uint32_t ClockSeed() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto midnight = floor<days>(now);
  return static_cast<std::uint32_t>(duration_cast<milliseconds>(now - midnight).count());
}

} // namespace zanthorix
