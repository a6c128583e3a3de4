// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SessionEnd.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace zanthorix {

namespace {

int wakeFds[2] = {-1, -1};
constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};

// Only async-signal-safe calls here: hand the signal to the event loop.
extern "C" void OnSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
  RunSignalHook();
  errno = saved;
}

} // namespace

struct SessionEnd::Watch {
  QSocketNotifier *notifier = nullptr;
  struct sigaction before[std::size(Signals)];
  bool handled[std::size(Signals)];
};

// The process goes on after a signal has been handled: onFinal is not needed.
SessionEnd::SessionEnd(std::function<void()> onEnd, Afterwards afterwards,
                       std::function<void()> onFinal, QObject *parent)
    : QObject(parent), onEnd_(std::move(onEnd)), onFinal_(std::move(onFinal)),
      afterwards_(afterwards), watch_(std::make_unique<Watch>()) {
  // A file-size limit makes a write fail with EFBIG, reported like a full
  // disk, instead of ending the program in the middle of a save.
  ::signal(SIGXFSZ, SIG_IGN);
  if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto *notifier = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
  watch_->notifier = notifier;
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(wakeFds[0], bytes, sizeof bytes) > 0) {
    }
    if (onEnd_) onEnd_();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(Signals); ++i) {
    ::sigaction(Signals[i], nullptr, &watch_->before[i]);
    watch_->handled[i] = Signals[i] == SIGTERM || watch_->before[i].sa_handler != SIG_IGN;
    if (watch_->handled[i]) ::sigaction(Signals[i], &action, nullptr);
  }
}

SessionEnd::~SessionEnd() {
  if (!watch_->notifier) return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  for (std::size_t i = 0; i < std::size(Signals); ++i) {
    if (watch_->handled[i])
      ::sigaction(Signals[i], afterwards_ == Afterwards::Ignore ? &ignore : &watch_->before[i],
                  nullptr);
  }
  delete watch_->notifier;
  ::close(wakeFds[0]);
  ::close(wakeFds[1]);
  wakeFds[0] = wakeFds[1] = -1;
}

} // namespace zanthorix
