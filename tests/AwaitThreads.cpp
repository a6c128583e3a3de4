// SPDX-License-Identifier: GPL-3.0-or-later
// QtTest's watchdog thread can still be winding down when a test program
// exits on a loaded machine. QtCore then drops the thread-data key before
// the thread has let go of its data, and the leak checker reports it. Wait
// for the other threads to end before the libraries are finalized.
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

namespace {

struct AwaitThreads {
  ~AwaitThreads() {
    using namespace std::chrono_literals;
    for (int tries = 0; tries < 1000; ++tries) {
      std::error_code error;
      const std::filesystem::directory_iterator tasks("/proc/self/task", error);
      if (error || std::distance(begin(tasks), end(tasks)) <= 1) return;
      std::this_thread::sleep_for(5ms);
    }
  }
} awaitThreads;

} // namespace
