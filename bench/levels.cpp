// SPDX-License-Identifier: GPL-3.0-or-later
// Output levels of the music and the pops, as the real device writes them:
// SDL's disk driver puts the raw 16-bit stereo samples in a file, and with no
// delay between its buffers it renders the whole piece in a moment.
#include "audio/SdlMediaDevice.h"
#include "media/MediaPlayer.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace zanthorix;

namespace {

std::vector<std::int16_t> Samples(const QString &path, qint64 from = 0) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || !file.seek(from)) return {};
  const QByteArray bytes = file.readAll();
  std::vector<std::int16_t> out(size_t(bytes.size()) / 2);
  std::memcpy(out.data(), bytes.constData(), out.size() * 2);
  return out;
}

double Db(double level) { return 20.0 * std::log10(std::max(level, 1e-9) / 32768.0); }

int Peak(const std::vector<std::int16_t> &s) {
  int peak = 0;
  for (std::int16_t v : s)
    peak = std::max(peak, std::abs(int(v)));
  return peak;
}

// Between the first and the last sample over -60 dBFS.
double Rms(const std::vector<std::int16_t> &s) {
  size_t first = 0, last = s.size();
  while (first < last && std::abs(int(s[first])) < 33)
    ++first;
  while (last > first && std::abs(int(s[last - 1])) < 33)
    --last;
  double sum = 0;
  for (size_t i = first; i < last; ++i)
    sum += double(s[i]) * s[i];
  return last > first ? std::sqrt(sum / double(last - first)) : 0.0;
}

void Row(const char *what, double value) {
  std::printf("| %-52s | %9.1f | %9s | %9s | %-6s | %-13s |\n", what, value, "", "", "dBFS", "");
}

// Plays a file through a player to its end and gives back what was written.
std::vector<std::int16_t> PlayToEnd(SdlMediaDevice &device, TMediaPlayer &player,
                                    const QString &out, const QString &file) {
  player.FileName = file;
  player.Open();
  const qint64 from = QFile(out).size();
  bool ended = false;
  player.OnNotify = [&](QObject *) { ended = true; };
  player.SetNotify(true);
  player.Play();
  while (!ended)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  // What the driver still had queued.
  QThread::msleep(200);
  player.Close();
  (void)device;
  return Samples(out, from);
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QString data = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QTemporaryDir dir;
  const QString out = dir.filePath("out.raw");
  qputenv("SDL_AUDIODRIVER", "disk");
  qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(out));
  qputenv("SDL_DISKAUDIODELAY", "0");

  SdlMediaDevice device;
  TMediaPlayer music(device, TMPDeviceTypes::dtSequencer);
  TMediaPlayer sound(device, TMPDeviceTypes::dtWaveAudio);
  const auto tune = PlayToEnd(device, music, out, data + QStringLiteral("/bgmusic.mid"));
  const auto pop = PlayToEnd(device, sound, out, data + QStringLiteral("/pop.wav"));
  const auto pop2 = PlayToEnd(device, sound, out, data + QStringLiteral("/pop2.wav"));

  Row("music RMS, whole piece", Db(Rms(tune)));
  Row("music peak", Db(Peak(tune)));
  Row("pop RMS", Db(Rms(pop)));
  Row("pop peak", Db(Peak(pop)));
  Row("pop2 peak", Db(Peak(pop2)));
  // The mixer adds the two: under full scale no passage can clip.
  Row("music peak + louder pop's peak", Db(Peak(tune) + std::max(Peak(pop), Peak(pop2))));
  return 0;
}
