// SPDX-License-Identifier: GPL-3.0-or-later
// One run of the game: how it shows and ends, the tables that must be saved
// however it ends, and what Qt says on the way.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

namespace zanthorix {

class HighScoreTables;
class ScoreFileSystem;
class TfrmZanthorix;

class GameRun {
public:
  // With noDisplay, what Qt says waits until the main window is up, and a
  // display that cannot be reached ends the run with that line instead of
  // Qt's abort. Made before the application object, so that its message
  // handler sees everything Qt says. One at a time.
  explicit GameRun(const char *noDisplay = nullptr);
  ~GameRun();
  GameRun(const GameRun &) = delete;
  GameRun &operator=(const GameRun &) = delete;

  // While the returned object lives, the tables get one last save if the
  // process ends without the orderly one: the display going away (Qt ends
  // the process with exit() or _exit() while the windows still exist), or
  // the Windows session's end, after which the process is killed.
  class LastSave {
  public:
    ~LastSave() { run_.Disarm(); }
    LastSave(const LastSave &) = delete;
    LastSave &operator=(const LastSave &) = delete;

  private:
    friend class GameRun;
    explicit LastSave(GameRun &run) : run_(run) {}
    GameRun &run_;
  };
  [[nodiscard]] LastSave KeepSaved(HighScoreTables &tables, std::string folder,
                                   ScoreFileSystem &files);
  // The last save, at most once; a second thread that asks waits for it.
  void SaveOnce();

  // A request from the session to end: whatever box is open, or opens from
  // then on, is answered as Cancel or No would answer it, then the main
  // window closes as the player would close it, so that the scores are
  // saved. A request after that changes nothing.
  void EndRequested();

  // Shows the main window and runs the event loop; started runs once the
  // window is shown. Ended before it was shown, the window closes unseen.
  int Play(TfrmZanthorix &main, const std::function<void()> &started);

private:
  struct Held {
    QtMsgType type;
    QByteArray category;
    QString text;
  };
  static void Handler(QtMsgType type, const QMessageLogContext &context, const QString &text);
  static void AtExit();
  void Release();
  void Disarm();

  // The message handler and atexit can reach the run only from here.
  static std::atomic<GameRun *> current_;

  const char *noDisplay_;
  QtMessageHandler previous_ = nullptr;
  std::atomic<bool> holding_;
  std::mutex heldLock_;
  QList<Held> held_;

  std::mutex saving_;
  std::atomic<HighScoreTables *> unsaved_ = nullptr;
  std::string folder_;
  ScoreFileSystem *files_ = nullptr;

  TfrmZanthorix *main_ = nullptr;
  bool ending_ = false;
};

} // namespace zanthorix
