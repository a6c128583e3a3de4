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
  // onEnd runs on the UI thread, once per request. Where the system ends the
  // process as soon as the request has been answered (Windows), onFinal runs
  // right after onEnd, before the answer: it must leave nothing unsaved.
  // One instance at a time.
  explicit SessionEnd(std::function<void()> onEnd, std::function<void()> onFinal = {},
                      QObject *parent = nullptr);
  ~SessionEnd() override;

private:
  struct Watch; // how the system tells
  std::function<void()> onEnd_;
  std::function<void()> onFinal_;
  std::unique_ptr<Watch> watch_;
};

// Closes every open menu and box as Esc, Cancel or No would; the code that
// opened a box goes on once the event loop returns to it.
void CloseOpenBoxes();

} // namespace zanthorix
