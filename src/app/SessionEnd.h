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
  // What becomes of a request that comes after this object is gone.
  enum class Afterwards {
    Restore, // as before it was made
    Ignore,  // the program is on its way out, its work saved
  };
  // onEnd runs on the UI thread, once per request. One instance at a time.
  // A hang-up or interrupt that was ignored when the program started stays
  // ignored, as nohup leaves it.
  explicit SessionEnd(std::function<void()> onEnd, Afterwards afterwards = Afterwards::Restore,
                      QObject *parent = nullptr);
  ~SessionEnd() override;

private:
  std::function<void()> onEnd_;
  QSocketNotifier *notifier_ = nullptr;
  Afterwards afterwards_;
};

// Also run inside the signal handler, before the event loop hears of the
// request (a sound that holds the thread must not hold the end too): it
// must be async-signal-safe.
void SetSignalHook(void (*hook)());

// Closes every open menu and box as Esc, Cancel or No would; the code that
// opened a box goes on once the event loop returns to it. A message box's
// text goes to the standard error stream, so that it is not lost.
void CloseOpenBoxes();

// From now on every box or menu that opens is closed at once, as
// CloseOpenBoxes would close it. For the program's last moments.
void AnswerEveryBox();

} // namespace zanthorix
