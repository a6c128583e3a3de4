#include "app/SessionEnd.h"

#include <QSocketNotifier>

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
  errno = saved;
}

} // namespace

struct SessionEnd::Watch {
  QSocketNotifier *notifier = nullptr;
};

// The process goes on after a signal has been handled: onFinal is not needed.
SessionEnd::SessionEnd(std::function<void()> onEnd, std::function<void()> onFinal, QObject *parent)
    : QObject(parent), onEnd_(std::move(onEnd)), onFinal_(std::move(onFinal)),
      watch_(std::make_unique<Watch>()) {
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
  for (const int signal : Signals)
    ::sigaction(signal, &action, nullptr);
}

SessionEnd::~SessionEnd() {
  if (!watch_->notifier) return;
  for (const int signal : Signals)
    ::signal(signal, SIG_DFL);
  delete watch_->notifier;
  ::close(wakeFds[0]);
  ::close(wakeFds[1]);
  wakeFds[0] = wakeFds[1] = -1;
}

} // namespace zanthorix
