// SPDX-License-Identifier: GPL-3.0-or-later
// Synthesises the game's two sound effects as 16-bit mono WAV files.
//
//   make_sounds [output-folder]     (default: data)
//
// pop.wav  - played when a group is removed: a round, bubbly pop.
// pop2.wav - played when a group is highlighted: a light, short blip.
//
// The output is fully deterministic so regenerating gives identical files.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// -3 dBFS leaves headroom for the mixer when both effects overlap.
const double kPeak = std::pow(10.0, -3.0 / 20.0);

// Small fixed-seed generator: std::rand's sequence differs between libraries.
class Noise {
public:
  double next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / static_cast<double>(1ULL << 53) * 2.0 - 1.0;
  }

private:
  std::uint64_t state_ = 0x5eed1234abcdULL;
};

struct Voice {
  double startHz;  // pitch at the attack
  double endHz;    // pitch the sweep settles to
  double sweepTau; // seconds for the sweep to fall by 1/e
  double attack;   // seconds of rise from silence
  double decayTau; // seconds for the body to fall by 1/e
  double overtone; // frequency ratio of an extra partial, 0 for none
  double overtoneLevel;
  double overtoneTau;
  double clickLevel; // band-limited noise burst on the attack
  double clickTau;
  double clickLowHz; // noise band edges
  double clickHighHz;
  double length;  // seconds
  double fadeOut; // seconds of final taper so the file ends at zero
};

double onePoleCoeff(double hz) { return 1.0 - std::exp(-kTwoPi * hz / kRate); }

std::vector<double> synth(const Voice &v) {
  const int n = static_cast<int>(std::lround(v.length * kRate));
  std::vector<double> out(n, 0.0);
  Noise noise;
  const double lowA = onePoleCoeff(v.clickHighHz);
  const double highA = onePoleCoeff(v.clickLowHz);
  double lowState = 0.0, highState = 0.0;
  double phase = 0.0, overPhase = 0.0;

  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = v.endHz + (v.startHz - v.endHz) * std::exp(-t / v.sweepTau);
    // Raised-cosine attack starts at exactly zero and avoids a step.
    const double rise = t < v.attack ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / v.attack) : 1.0;

    double s = std::sin(phase) * std::exp(-t / v.decayTau);
    if (v.overtone > 0.0) s += v.overtoneLevel * std::sin(overPhase) * std::exp(-t / v.overtoneTau);

    // Low-pass then subtract a lower low-pass: a cheap band-pass for the click.
    const double white = noise.next();
    lowState += lowA * (white - lowState);
    highState += highA * (lowState - highState);
    s += v.clickLevel * (lowState - highState) * std::exp(-t / v.clickTau);

    out[i] = s * rise;
    phase = std::fmod(phase + kTwoPi * hz / kRate, kTwoPi);
    overPhase = std::fmod(overPhase + kTwoPi * hz * v.overtone / kRate, kTwoPi);
  }

  // Taper the tail so the last sample is exactly zero: no click when it stops.
  const int fade = static_cast<int>(std::lround(v.fadeOut * kRate));
  for (int k = 0; k < fade && k < n; ++k) {
    const double x = static_cast<double>(k) / (fade - 1);
    out[n - 1 - k] *= 0.5 - 0.5 * std::cos(std::numbers::pi * x);
  }

  // Remove any DC with a Hann-shaped correction, which keeps both ends at zero.
  double mean = 0.0, windowSum = 0.0;
  std::vector<double> window(n);
  for (int i = 0; i < n; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(kTwoPi * i / (n - 1));
    mean += out[i];
    windowSum += window[i];
  }
  for (int i = 0; i < n; ++i)
    out[i] -= mean / windowSum * window[i];

  double peak = 0.0;
  for (double s : out)
    peak = std::max(peak, std::abs(s));
  for (double &s : out)
    s *= kPeak / peak;
  return out;
}

void put16(std::ofstream &f, std::uint16_t v) {
  const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
  f.write(b, 2);
}

void put32(std::ofstream &f, std::uint32_t v) {
  put16(f, static_cast<std::uint16_t>(v & 0xffff));
  put16(f, static_cast<std::uint16_t>(v >> 16));
}

bool writeWav(const std::filesystem::path &path, const std::vector<double> &samples) {
  std::ofstream f(path, std::ios::binary);
  if (!f) return false;
  const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
  f.write("RIFF", 4);
  put32(f, 36 + dataBytes);
  f.write("WAVEfmt ", 8);
  put32(f, 16);        // fmt chunk size
  put16(f, 1);         // PCM
  put16(f, 1);         // mono
  put32(f, kRate);     // sample rate
  put32(f, kRate * 2); // byte rate
  put16(f, 2);         // block align
  put16(f, 16);        // bits per sample
  f.write("data", 4);
  put32(f, dataBytes);
  for (double s : samples) {
    const long q = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
    put16(f, static_cast<std::uint16_t>(static_cast<std::int16_t>(q)));
  }
  return static_cast<bool>(f);
}

} // namespace

int main(int argc, char **argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "data";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  // A low, quickly falling sine with a soft noise click reads as a bubble bursting.
  const Voice pop{.startHz = 950.0,
                  .endHz = 260.0,
                  .sweepTau = 0.016,
                  .attack = 0.002,
                  .decayTau = 0.032,
                  .overtone = 2.0,
                  .overtoneLevel = 0.18,
                  .overtoneTau = 0.012,
                  .clickLevel = 0.9,
                  .clickTau = 0.004,
                  .clickLowHz = 1200.0,
                  .clickHighHz = 5000.0,
                  .length = 0.13,
                  .fadeOut = 0.03};

  // Higher, shorter and with a woody inharmonic partial: a tick that
  // acknowledges the selection without competing with the removal pop.
  const Voice pop2{.startHz = 2100.0,
                   .endHz = 1500.0,
                   .sweepTau = 0.008,
                   .attack = 0.0012,
                   .decayTau = 0.016,
                   .overtone = 2.76,
                   .overtoneLevel = 0.3,
                   .overtoneTau = 0.006,
                   .clickLevel = 0.35,
                   .clickTau = 0.002,
                   .clickLowHz = 2500.0,
                   .clickHighHz = 8000.0,
                   .length = 0.075,
                   .fadeOut = 0.02};

  bool ok = writeWav(dir / "pop.wav", synth(pop));
  ok = writeWav(dir / "pop2.wav", synth(pop2)) && ok;
  if (!ok) {
    std::fprintf(stderr, "make_sounds: could not write to %s\n", dir.string().c_str());
    return 1;
  }
  return 0;
}
