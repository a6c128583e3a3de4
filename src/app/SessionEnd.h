// SPDX-License-Identifier: GPL-3.0-or-later
// A request from the desktop session to end (SIGTERM, SIGHUP, SIGINT; on
// Windows the session's end) closes the main window the orderly way, so that
// the high scores are saved.
#pragma once

#include <QObject>

#include <functional>
#include <memory>

namespace zanthorix {

class SessionEnd : public QObject {
  Q_OBJECT
public:
  // What becomes of a request that comes after this object is gone.
  enum class Afterwards {
    Restore, // as before it was made
    Ignore,  // the program is on its way out, its work saved
  };
  // onEnd runs on the UI thread, once per request. A hang-up or interrupt
  // that was ignored when the program started stays ignored, as nohup leaves
  // it. Where the system ends the process as soon as the request has been
  // answered (Windows), onFinal runs right after onEnd, before the answer: it
  // must leave nothing unsaved. One instance at a time.
  explicit SessionEnd(std::function<void()> onEnd, Afterwards afterwards = Afterwards::Restore,
                      std::function<void()> onFinal = {}, QObject *parent = nullptr);
  ~SessionEnd() override;

private:
  struct Watch; // how the system tells
  std::function<void()> onEnd_;
  std::function<void()> onFinal_;
  Afterwards afterwards_;
  std::unique_ptr<Watch> watch_;
};

// While it lives, hook(context) also runs inside the signal handler, before
// the event loop hears of the request (a sound that holds the thread must not
// hold the end too): it must be async-signal-safe. One at a time.
class SignalHook {
public:
  SignalHook(void (*hook)(void *), void *context);
  ~SignalHook();
  SignalHook(const SignalHook &) = delete;
  SignalHook &operator=(const SignalHook &) = delete;
};

// For the platform's watch: runs the hook, if any. Async-signal-safe.
void RunSignalHook();

// Closes every open menu and box as Esc, Cancel or No would; the code that
// opened a box goes on once the event loop returns to it. A message box's
// text goes to the standard error stream, so that it is not lost.
void CloseOpenBoxes();

// From now on every box or menu that opens is closed at once, as
// CloseOpenBoxes would close it. For the program's last moments.
void AnswerEveryBox();

} // namespace zanthorix
