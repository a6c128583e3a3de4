// A request from the desktop session to end (SIGTERM, SIGHUP, SIGINT) closes
// the main window the orderly way, so that the high scores are saved.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace zanthorix {

class SessionEnd : public QObject {
  Q_OBJECT
public:
  // onEnd runs on the UI thread, once per request. One instance at a time.
  explicit SessionEnd(std::function<void()> onEnd, QObject *parent = nullptr);
  ~SessionEnd() override;

private:
  std::function<void()> onEnd_;
  QSocketNotifier *notifier_ = nullptr;
};

// Also run inside the signal handler, before the event loop hears of the
// request (a sound that holds the thread must not hold the end too): it
// must be async-signal-safe.
void SetSignalHook(void (*hook)());

// Closes every open menu and box as Esc, Cancel or No would; the code that
// opened a box goes on once the event loop returns to it.
void CloseOpenBoxes();

} // namespace zanthorix
