// SPDX-License-Identifier: GPL-3.0-or-later
// Press to the first sample of its pop, with Sound FX on, as the audio the
// game writes shows it. Through PulseAudio where a server can be had (a
// private one with a null sink is started when `pulseaudio` is installed and
// none is set), recorded with parec; otherwise SDL's disk driver writing into
// a pipe, which shows when a sample is mixed rather than when it is heard.
// Through PulseAudio the first pop after a pause is also set against a bare
// SDL2_mixer program's (bench_barepop), in the same run.
#include "BenchPlay.h"
#include "app/Application.h"
#include "app/BoardArea.h"
#include "app/DrawBoard.h"
#include "app/Main.h"
#include "app/QtDialogs.h"
#include "audio/SdlMediaDevice.h"
#include "rules/Deal.h"
#include "rules/Random.h"
#include "rules/Rules.h"
#include "scores/HighScoreTables.h"
#include "ui_Main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zanthorix;
using bench::FindGroup;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 44100;

pid_t Spawn(const std::vector<std::string> &command, int out = -1) {
  const pid_t pid = fork();
  // A failed fork's -1 must never reach kill(): it would signal every process.
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    if (out >= 0) dup2(out, 1);
    if (!freopen("/dev/null", "w", stderr)) _exit(126);
    std::vector<char *> argv;
    for (const std::string &arg : command)
      argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Reads mono 16-bit samples as they come and notes when each sound begins:
// a sample over -30 dBFS after 20 ms under it.
class OnsetReader {
public:
  void Run(const std::function<int()> &open) {
    thread_ = std::thread([this, open] {
      std::vector<std::int16_t> buffer(256);
      int quiet = kRate;
      while (!stop_) {
        const int fd = open();
        if (fd < 0) return;
        for (;;) {
          const ssize_t got = read(fd, buffer.data(), buffer.size() * 2);
          if (got <= 0) break;
          const auto now = Clock::now();
          const size_t n = size_t(got) / 2;
          for (size_t i = 0; i < n; ++i) {
            if (std::abs(int(buffer[i])) > 1000 && quiet >= kRate / 50) {
              // The sample came in n - i samples before the end of this read.
              const auto at =
                  now - std::chrono::microseconds(std::int64_t(n - i) * 1000000 / kRate);
              std::lock_guard lock(mutex_);
              onsets_.push_back(at);
            }
            quiet = std::abs(int(buffer[i])) > 1000 ? 0 : quiet + 1;
          }
        }
        close(fd);
      }
    });
  }
  // The first onset after the time, within a second.
  bool After(Clock::time_point from, double &ms) {
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    while (Clock::now() < deadline) {
      {
        std::lock_guard lock(mutex_);
        for (auto at : onsets_)
          if (at >= from) {
            ms = std::chrono::duration<double, std::milli>(at - from).count();
            return true;
          }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
  void Stop() {
    stop_ = true;
    thread_.detach();
  }

private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Clock::time_point> onsets_;
};

// The bare SDL2_mixer program beside this one, asked for a pop through a pipe.
class BarePop {
public:
  bool Start(const std::string &program, const std::string &wave) {
    int ask[2], told[2];
    if (pipe(ask) != 0 || pipe(told) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      dup2(ask[0], 0);
      dup2(told[1], 1);
      if (!freopen("/dev/null", "w", stderr)) _exit(126);
      execl(program.c_str(), program.c_str(), wave.c_str(), static_cast<char *>(nullptr));
      _exit(127);
    }
    close(ask[0]);
    close(told[1]);
    ask_ = ask[1];
    told_ = fdopen(told[0], "r");
    return told_ != nullptr;
  }
  void Ask() {
    if (write(ask_, "\n", 1) != 1) std::perror("bare pop");
  }
  // Its output is closed again.
  bool Done() {
    char line[16];
    return std::fgets(line, sizeof line, told_) != nullptr;
  }
  ~BarePop() {
    if (pid_ <= 0) return;
    close(ask_);
    waitpid(pid_, nullptr, 0);
    if (told_) fclose(told_);
  }

private:
  pid_t pid_ = 0;
  int ask_ = -1;
  FILE *told_ = nullptr;
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, size_t(std::ceil(p * double(v.size()))) - 1)];
}

} // namespace

int main(int argc, char **argv) {
  const QString data = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const int presses = argc > 2 ? std::max(10, std::atoi(argv[2])) : 60;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 20;
  QTemporaryDir folder;
  // With the music there, as in the game, which takes the output at start.
  for (const char *name : {"pop.wav", "pop2.wav", "bgmusic.mid"})
    QFile::copy(data + QLatin1Char('/') + QLatin1String(name), folder.filePath(name));

  // The output: a PulseAudio null sink, our own if none is given.
  pid_t daemon = 0;
  std::string via = "PulseAudio null sink, parec";
  if (qEnvironmentVariableIsEmpty("PULSE_SERVER") && qgetenv("SDL_AUDIODRIVER") != "disk" &&
      system("command -v pulseaudio >/dev/null 2>&1") == 0) {
    const QString runtime = folder.filePath("pulse");
    QDir().mkpath(runtime);
    QFile config(runtime + QStringLiteral("/default.pa"));
    if (config.open(QIODevice::WriteOnly))
      config.write("load-module module-native-protocol-unix socket=" + QFile::encodeName(runtime) +
                   "/native auth-anonymous=1\n"
                   "load-module module-null-sink sink_name=bench rate=44100\n"
                   "set-default-sink bench\n");
    config.close();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("HOME", QFile::encodeName(runtime));
    daemon = Spawn({"pulseaudio", "--system=false", "--daemonize=no", "--exit-idle-time=-1", "-n",
                    "-F", (runtime + QStringLiteral("/default.pa")).toStdString()});
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(runtime) + "/native");
    for (int i = 0; i < 100 && !QFile::exists(runtime + QStringLiteral("/native")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  OnsetReader reader;
  pid_t recorder = 0;
  const bool pulse =
      !qEnvironmentVariableIsEmpty("PULSE_SERVER") && system("pactl info >/dev/null 2>&1") == 0;
  if (pulse) {
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    int fds[2];
    if (pipe(fds) != 0) return 1;
    recorder = Spawn({"parec", "--raw", "--format=s16le", "--rate=44100", "--channels=1",
                      "--latency-msec=1", "-d", "@DEFAULT_MONITOR@"},
                     fds[1]);
    close(fds[1]);
    const int in = fds[0];
    reader.Run([in, used = false]() mutable { return std::exchange(used, true) ? -1 : in; });
  } else {
    via = "SDL disk driver, mixed";
    const QString fifo = folder.filePath("out.raw");
    mkfifo(QFile::encodeName(fifo).constData(), 0600);
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(fifo));
    const QByteArray path = QFile::encodeName(fifo);
    // The driver opens the file anew whenever the output is taken back.
    reader.Run([path] { return open(path.constData(), O_RDONLY); });
  }
  // Let the recorder settle.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  bench::BenchServices game(folder.path());
  app.SetDialogs(&game.dialogs);
  TfrmZanthorix window(game.services);
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  window.ui()->mnuOptionsSoundFX->trigger();
  QWindow *handle = window.windowHandle();
  BoardArea *area = window.ui()->boardArea;

  // A player's pace: a press every half second or so, and every tenth after
  // a pause of five seconds.
  std::vector<double> playing, paused;
  int missed = 0;
  StdRandom deal(2);
  // A fresh deal and a press on a group; when it was pressed.
  const auto press = [&]() -> std::optional<Clock::time_point> {
    DealBoard(window.board, window.BallKinds, deal);
    int column, row;
    if (!FindGroup(window.board, column, row)) return std::nullopt;
    window.DrawBoard();
    const QPoint at = area->mapTo(&window, SquareRect(column, row).center());
    const auto start = Clock::now();
    QTest::mouseClick(handle, Qt::LeftButton, {}, at);
    return start;
  };
  for (int i = 0; i < presses; ++i) {
    const bool pause = i % 10 == 0;
    QTest::qWait(pause ? 5000 : 300 + 50 * (i % 7));
    const auto start = press();
    if (!start) continue;
    double ms = 0;
    if (reader.After(*start, ms))
      (pause ? paused : playing).push_back(ms);
    else
      ++missed;
  }
  // The first pop after five seconds of quiet, the game's and the bare
  // program's taking turns, which goes first changing every round.
  std::vector<double> gameFirst, bareFirst;
  BarePop bare;
  const std::string barePath =
      (QCoreApplication::applicationDirPath() + QStringLiteral("/bench_barepop")).toStdString();
  if (pulse && rounds > 0 && bare.Start(barePath, (folder.filePath("pop2.wav")).toStdString())) {
    for (int i = 0; i < rounds; ++i)
      for (int turn = 0; turn < 2; ++turn) {
        const bool game = (turn == 0) == (i % 2 == 0);
        QTest::qWait(5000);
        std::optional<Clock::time_point> start;
        if (game) {
          start = press();
          if (!start) continue;
        } else {
          start = Clock::now();
          bare.Ask();
        }
        double ms = 0;
        if (reader.After(*start, ms)) (game ? gameFirst : bareFirst).push_back(ms);
        if (!game && !bare.Done()) break;
      }
  }

  // Then the player waits: once the output is let go nothing may run.
  if (recorder) kill(recorder, SIGTERM), waitpid(recorder, nullptr, 0), recorder = 0;
  QTest::qWait(3000);
  rusage before{}, after{};
  // The main thread sleeps: QTest::qWait itself would wake it every 10 ms.
  getrusage(RUSAGE_SELF, &before);
  std::this_thread::sleep_for(std::chrono::seconds(5));
  getrusage(RUSAGE_SELF, &after);
  const auto cpuMs = [](const rusage &u) {
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
  };
  window.close();

  std::vector<double> all = playing;
  all.insert(all.end(), paused.begin(), paused.end());
  const std::string label = "press to first sample (" + via + ")";
  std::printf("| %-52s | %9.1f | %9.1f | %9.1f | %-6s | %-13s |\n", (label.substr(0, 52)).c_str(),
              Percentile(all, 0.5), Percentile(all, 0.0001), Percentile(all, 1.0), "ms", "");
  std::printf("| %-52s | %9.1f | %9s | %9s | %-6s | %-13s |\n",
              "press to first sample, 95th percentile", Percentile(all, 0.95), "", "", "ms", "");
  std::printf("| %-52s | %9.1f | %9.1f | %9.1f | %-6s | %-13s |\n",
              "press to first sample, after a 5 s pause", Percentile(paused, 0.5),
              Percentile(paused, 0.0001), Percentile(paused, 1.0), "ms", "");
  std::printf("| %-52s | %9.1f | %9s | %9s | %-6s | %-13s |\n",
              "CPU in 5 s of waiting after the last pop", cpuMs(after) - cpuMs(before), "", "",
              "ms", "");
  if (missed) std::printf("| (%d presses gave no sound that was seen) |\n", missed);
  if (!gameFirst.empty() && !bareFirst.empty()) {
    const auto ratio = [](double game, double bare) {
      char text[32];
      std::snprintf(text, sizeof text, "%.2f x bare", bare > 0 ? game / bare : 0.0);
      return std::string(text);
    };
    // A pop lands in the output's first buffer or one buffer (11.6 ms) later.
    const auto early = [](const std::vector<double> &ms) {
      return double(std::count_if(ms.begin(), ms.end(), [](double v) { return v < 8.0; }));
    };
    const struct {
      const char *who;
      const std::vector<double> &ms;
    } sides[] = {{"game", gameFirst}, {"SDL2_mixer alone", bareFirst}};
    for (const auto &side : sides) {
      const bool game = &side.ms == &gameFirst;
      const std::string name = std::string("pop after 5 s quiet, ") + side.who;
      std::printf(
          "| %-52s | %9.1f | %9.1f | %9.1f | %-6s | %-13s |\n", name.c_str(),
          Percentile(side.ms, 0.5), Percentile(side.ms, 0.0001), Percentile(side.ms, 1.0), "ms",
          game ? ratio(Percentile(gameFirst, 0.5), Percentile(bareFirst, 0.5)).c_str() : "");
      std::printf("| %-52s | %9.1f | %9s | %9s | %-6s | %-13s |\n", (name + ", 95th pct.").c_str(),
                  Percentile(side.ms, 0.95), "", "", "ms",
                  game ? ratio(Percentile(gameFirst, 0.95), Percentile(bareFirst, 0.95)).c_str()
                       : "");
      std::printf("| %-52s | %9.0f | %9s | %9s | %-6s | %-13s |\n",
                  (name + ", first buffer").c_str(), early(side.ms), "", "",
                  ("of " + std::to_string(side.ms.size())).c_str(), "");
    }
  }
  std::fflush(stdout);

  reader.Stop();
  if (recorder) kill(recorder, SIGTERM), waitpid(recorder, nullptr, 0);
  if (daemon) kill(daemon, SIGTERM), waitpid(daemon, nullptr, 0);
  _exit(0); // the reader may still be blocked in a read
}
