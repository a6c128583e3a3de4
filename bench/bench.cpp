// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the benchmarks and prints one table. Start-up and memory are measured
// on whole processes, the game and the floor alternating; press latency and
// the cost of music in process; idle cost on whole processes.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Stats {
  double median = 0, min = 0, max = 0, p99 = 0;
};

Stats Summarise(std::vector<double> values) {
  Stats s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  s.min = values.front();
  s.max = values.back();
  s.p99 = values[std::min(n - 1, size_t(std::ceil(0.99 * double(n))) - 1)];
  return s;
}

pid_t Spawn(const std::vector<std::string> &command, const std::vector<std::string> &env) {
  const pid_t pid = fork();
  // A failed fork's -1 must never reach kill(): it would signal every process.
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    for (const std::string &assignment : env)
      putenv(strdup(assignment.c_str()));
    std::vector<char *> argv;
    for (const std::string &arg : command)
      argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    // Quiet children: their warnings are not the figures.
    if (!freopen("/dev/null", "w", stderr)) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

struct Run {
  double ms;    // wall time from start to exit
  double rssMb; // peak resident memory
  bool ok;
};

Run RunOnce(const std::vector<std::string> &command, const std::vector<std::string> &env) {
  const auto start = Clock::now();
  const pid_t pid = Spawn(command, env);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return {ms, double(usage.ru_maxrss) / 1024.0, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

// CPU time, user and system, of a running process in milliseconds.
double CpuMs(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

pid_t StartXvfb(const std::string &display) {
  const std::string socket = "/tmp/.X11-unix/X" + display.substr(1);
  const pid_t pid =
      Spawn({"/usr/bin/Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {});
  for (int i = 0; i < 100; ++i) {
    struct stat info {};
    if (stat(socket.c_str(), &info) == 0) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return pid;
}

void Row(const char *what, const Stats &s, const char *unit, const char *ratio = "") {
  std::printf("| %-52s | %9.2f | %9.2f | %9.2f | %-6s | %-13s |\n", what, s.median, s.min, s.max,
              unit, ratio);
}

std::string Ratio(double game, double floor) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f x floor", floor > 0 ? game / floor : 0.0);
  return text;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <game bench entry> <floor> <press bench> [runs]\n", argv[0]);
    return 2;
  }
  const std::string game = argv[1], floor = argv[2], press = argv[3];
  const int runs = argc > 4 ? std::max(10, std::atoi(argv[4])) : 10;

  std::printf("| %-52s | %9s | %9s | %9s | %-6s | %-13s |\n", "figure", "median", "min", "max",
              "unit", "ratio");
  std::printf("|%s|%s|%s|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(11, '-').c_str(),
              std::string(11, '-').c_str(), std::string(11, '-').c_str(),
              std::string(8, '-').c_str(), std::string(15, '-').c_str());

  // 1 and 2: start to first paint and peak memory, offscreen and under Xvfb.
  const std::string display = ":97";
  pid_t xvfb = StartXvfb(display);
  struct Platform {
    const char *name;
    std::vector<std::string> env;
  };
  const Platform platforms[] = {
      {"offscreen", {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy"}},
      {"Xvfb", {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + display, "SDL_AUDIODRIVER=dummy"}},
  };
  for (const Platform &platform : platforms) {
    std::vector<double> gameMs, floorMs, gameMb, floorMb;
    bool allOk = true;
    // One warm-up run of each fills the file cache.
    RunOnce({game, "first-paint"}, platform.env);
    RunOnce({floor}, platform.env);
    // Three times the rounds: a start takes a few tens of milliseconds, and
    // the machine's noise is of the same size.
    for (int i = 0; i < 3 * runs; ++i) {
      // Alternate which goes first, so that neither always follows the other.
      for (int which = 0; which < 2; ++which) {
        const bool gameTurn = (which == 0) == (i % 2 == 0);
        const Run run = gameTurn ? RunOnce({game, "first-paint"}, platform.env)
                                 : RunOnce({floor}, platform.env);
        allOk = allOk && run.ok;
        (gameTurn ? gameMs : floorMs).push_back(run.ms);
        (gameTurn ? gameMb : floorMb).push_back(run.rssMb);
      }
    }
    const Stats gs = Summarise(gameMs), fs = Summarise(floorMs);
    const Stats gm = Summarise(gameMb), fm = Summarise(floorMb);
    const std::string p = platform.name;
    Row(("start to first paint, game, " + p).c_str(), gs, "ms",
        Ratio(gs.median, fs.median).c_str());
    Row(("start to first paint, floor, " + p).c_str(), fs, "ms");
    Row(("peak memory, game, " + p).c_str(), gm, "MiB", Ratio(gm.median, fm.median).c_str());
    Row(("peak memory, floor, " + p).c_str(), fm, "MiB");
    if (!allOk) std::printf("| (some %s runs did not end cleanly) |\n", platform.name);
  }
  kill(xvfb, SIGTERM);
  waitpid(xvfb, nullptr, 0);

  // 3: press to painted window, in process; the press bench prints its rows.
  std::fflush(stdout);
  RunOnce({press}, {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy"});

  // 4: the sound of a press, the output levels and the music's loop seam,
  // each printing its rows.
  const std::string data = game.substr(0, game.rfind('/'));
  const std::string benches = press.substr(0, press.rfind('/') + 1);
  std::fflush(stdout);
  RunOnce({benches + "bench_clicksound", data, std::to_string(6 * runs), std::to_string(2 * runs)},
          {"QT_QPA_PLATFORM=offscreen"});
  RunOnce({benches + "bench_levels", data}, {});
  std::fflush(stdout);
  RunOnce({benches + "bench_loopseam", data, std::to_string(std::max(5, runs / 2))}, {});

  // 5: CPU while waiting, music off and on, whole processes side by side.
  for (const char *mode : {"idle", "music"}) {
    std::vector<pid_t> pids;
    for (int i = 0; i < runs; ++i)
      pids.push_back(Spawn({game, mode}, {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy"}));
    std::this_thread::sleep_for(std::chrono::seconds(3)); // past start-up
    std::vector<double> before;
    for (pid_t pid : pids)
      before.push_back(CpuMs(pid));
    std::this_thread::sleep_for(std::chrono::seconds(10));
    std::vector<double> used;
    for (size_t i = 0; i < pids.size(); ++i)
      used.push_back(CpuMs(pids[i]) - before[i]);
    for (pid_t pid : pids) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (std::string(mode) == "idle") {
      Row("CPU in 10 s of waiting, music off", Summarise(used), "ms");
    } else {
      for (double &ms : used)
        ms = ms / 10000.0 * 100.0;
      Row("share of one core while waiting, music on", Summarise(used), "%");
    }
  }
  return 0;
}
