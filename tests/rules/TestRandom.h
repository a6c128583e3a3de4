// SPDX-License-Identifier: GPL-3.0-or-later
// Random sources for tests: one that plays back a script, one seeded.
#pragma once

#include "rules/Random.h"

#include <QByteArray>
#include <QTest>

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace zanthorix::test {

inline void FailRunningTest(const QByteArray &message) {
  QTest::qFail(message.constData(), __FILE__, __LINE__);
}

// Plays back the given values in order. Asking for more than was scripted,
// or being handed a value outside 0..n-1, fails the running test (and yields
// 0 so that the code under test can carry on).
class ScriptedRandom final : public Random {
public:
  explicit ScriptedRandom(std::vector<int> values) : values_(std::move(values)) {}

  int Next(int n) override {
    requests_.push_back(n);
    if (next_ >= values_.size()) {
      FailRunningTest("ScriptedRandom: script used up at Next(" + QByteArray::number(n) + ")");
      return 0;
    }
    const int value = values_[next_++];
    if (value < 0 || value >= n) {
      FailRunningTest("ScriptedRandom: scripted " + QByteArray::number(value) + " for Next(" +
                      QByteArray::number(n) + ")");
      return 0;
    }
    return value;
  }

  // The n of every call so far, in order.
  const std::vector<int> &Requests() const { return requests_; }
  bool UsedUp() const { return next_ == values_.size(); }

private:
  std::vector<int> values_;
  std::size_t next_ = 0;
  std::vector<int> requests_;
};

// Mersenne twister reduced by plain modulo rather than a distribution, so a
// seed gives the same sequence with every standard library and a failing seed
// can be replayed anywhere. The slight bias does not matter to tests.
class SeededRandom final : public Random {
public:
  explicit SeededRandom(std::uint32_t seed) : engine_(seed) {}

  int Next(int n) override {
    if (n <= 0) {
      FailRunningTest("SeededRandom: Next(" + QByteArray::number(n) + ")");
      return 0;
    }
    return static_cast<int>(engine_() % static_cast<std::uint32_t>(n));
  }

private:
  std::mt19937 engine_;
};

} // namespace zanthorix::test
