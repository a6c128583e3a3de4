// SPDX-License-Identifier: GPL-3.0-or-later
// The music's loop seam, in samples: the piece played into its end through
// the real device and started again as the game does on the end's
// notification. SDL's disk driver writes the raw samples at the pace of a
// sound card, so the answer of the UI thread counts as it would when heard.
//   bench_loopseam <data folder> [rounds]
#include "audio/SdlMediaDevice.h"
#include "media/MediaPlayer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

using namespace zanthorix;

namespace {

constexpr qint64 kRate = 44100;

// The length of a Standard MIDI File in ticks: that of its longest track.
int TotalTicks(const QByteArray &smf) {
  int total = 0;
  for (qsizetype at = 14; at + 8 <= smf.size();) {
    const qsizetype end =
        std::min(smf.size(), at + 8 + qsizetype(qFromBigEndian<quint32>(smf.constData() + at + 4)));
    qsizetype p = at + 8;
    auto number = [&] {
      int value = 0;
      while (p < end) {
        const auto c = std::uint8_t(smf[p++]);
        value = (value << 7) | (c & 0x7f);
        if (!(c & 0x80)) break;
      }
      return value;
    };
    int ticks = 0;
    std::uint8_t status = 0;
    while (smf.mid(at, 4) == "MTrk" && p < end) {
      ticks += number();
      if (p < end && std::uint8_t(smf[p]) & 0x80) status = std::uint8_t(smf[p++]);
      if (status == 0xff) {
        ++p; // the meta event's type
        p += number();
      } else if (status == 0xf0 || status == 0xf7) {
        p += number();
      } else {
        p += (status & 0xf0) == 0xc0 || (status & 0xf0) == 0xd0 ? 1 : 2;
      }
    }
    total = std::max(total, ticks);
    at = end;
  }
  return total;
}

bool Until(const std::function<bool()> &done) {
  const QDeadlineTimer bound(30000);
  while (!done()) {
    if (bound.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  return true;
}

void Row(const char *what, std::vector<double> values, const char *unit) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  std::printf("| %-52s | %9.0f | %9.0f | %9.0f | %-6s | %-13s |\n", what, median, values.front(),
              values.back(), unit, "");
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QString data = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  QFile midi(data + QStringLiteral("/bgmusic.mid"));
  if (!midi.open(QIODevice::ReadOnly)) return 1;
  const int total = TotalTicks(midi.readAll());
  QTemporaryDir dir;
  const QString out = dir.filePath("out.raw");
  qputenv("SDL_AUDIODRIVER", "disk");
  qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(out));
  qunsetenv("SDL_DISKAUDIODELAY"); // a buffer's duration between buffers
  const auto rendered = [&] { return QFileInfo(out).size() / 4; };

  SdlMediaDevice device;
  TMediaPlayer music(device, TMPDeviceTypes::dtSequencer);
  music.FileName = midi.fileName();
  music.Open();
  // The game's answer to every notification of its music player.
  std::vector<qint64> restarts;
  music.OnNotify = [&](QObject *) {
    if (music.Mode() == mpStopped) {
      music.Seek(music.StartPos);
      music.Play();
      restarts.push_back(rendered());
    }
    music.SetNotify(true);
  };
  // The last bar (2.4 s) and half a second of the new start, each round.
  for (int round = 0; round < rounds; ++round) {
    music.Seek(std::max(0, total - 1920));
    music.SetNotify(true);
    music.Play();
    if (!Until([&] { return restarts.size() > size_t(round); }) ||
        !Until([&] { return rendered() > restarts.back() + kRate / 2; })) {
      std::fprintf(stderr, "bench_loopseam: the music did not start again\n");
      return 1;
    }
  }
  music.Stop();
  music.Close();

  QFile file(out);
  if (!file.open(QIODevice::ReadOnly)) return 1;
  const QByteArray bytes = file.readAll();
  std::vector<std::int16_t> s(size_t(bytes.size()) / 2);
  std::memcpy(s.data(), bytes.constData(), s.size() * 2);
  const qint64 frames = qint64(s.size() / 2);
  const auto silent = [&](qint64 f) { return s[2 * f] == 0 && s[2 * f + 1] == 0; };
  const auto step = [&](qint64 f) {
    return std::max(std::abs(s[2 * f] - s[2 * f - 2]), std::abs(s[2 * f + 1] - s[2 * f - 1]));
  };

  // The seam is the longest stretch of digital silence within a tenth of a
  // second of where the restart was asked for; its steps are those within
  // 10 ms of it, the silence's edges included.
  std::vector<double> silence, seamStep;
  for (qint64 at : restarts) {
    const qint64 from = std::max<qint64>(1, at - kRate / 10),
                 to = std::min(frames, at + kRate / 10);
    qint64 best = 0, bestEnd = at;
    for (qint64 f = from, run = 0; f < to; ++f) {
      run = silent(f) ? run + 1 : 0;
      if (run > best) best = run, bestEnd = f + 1;
    }
    silence.push_back(double(best));
    int largest = 0;
    for (qint64 f = std::max<qint64>(1, bestEnd - best - kRate / 100);
         f < std::min(frames, bestEnd + kRate / 100); ++f)
      largest = std::max(largest, step(f));
    seamStep.push_back(largest);
  }
  // The music's own steps, from its first sound to its last.
  qint64 first = 1, last = frames;
  while (first < last && silent(first))
    ++first;
  while (last > first && silent(last - 1))
    --last;
  std::vector<int> steps;
  for (qint64 f = first + 1; f < last; ++f)
    steps.push_back(step(f));
  std::sort(steps.begin(), steps.end());
  const double p99 = steps.empty() ? 0 : steps[steps.size() * 99 / 100];

  Row("music loop seam, silence (44.1 kHz frames)", silence, "frames");
  Row("music loop seam, largest step between samples", seamStep, "LSB");
  Row("music, 99th percentile step between samples", {p99}, "LSB");
  return 0;
}
