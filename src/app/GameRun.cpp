// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GameRun.h"

#include "app/Application.h"
#include "app/Main.h"
#include "app/SessionEnd.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreTables.h"

#include <cstdio>
#include <cstdlib>

namespace zanthorix {

std::atomic<GameRun *> GameRun::current_ = nullptr;

GameRun::GameRun(const char *noDisplay) : noDisplay_(noDisplay), holding_(noDisplay != nullptr) {
  GameRun *none = nullptr;
  current_.compare_exchange_strong(none, this);
  previous_ = qInstallMessageHandler(Handler);
}

GameRun::~GameRun() {
  Disarm();
  if (holding_) Release();
  qInstallMessageHandler(previous_);
  GameRun *self = this;
  current_.compare_exchange_strong(self, nullptr);
}

void GameRun::Handler(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  GameRun *run = current_.load();
  if (!run) return qt_message_output(type, context, text);
  // Qt says this just before it ends the process for a lost display.
  if (text.startsWith(QLatin1String("The X11 connection")) ||
      text.startsWith(QLatin1String("The Wayland connection")))
    run->SaveOnce();
  if (run->holding_) {
    if (type == QtFatalMsg && text.contains(QLatin1String("no Qt platform plugin"))) {
      std::fputs(run->noDisplay_, stderr);
      std::_Exit(1);
    }
    std::unique_lock lock(run->heldLock_);
    if (run->holding_ && type != QtFatalMsg) {
      run->held_.append({type, QByteArray(context.category ? context.category : "default"), text});
      return;
    }
    lock.unlock();
    if (run->holding_) run->Release(); // what came before a fatal message goes first
  }
  run->previous_(type, context, text);
}

void GameRun::Release() {
  const std::lock_guard lock(heldLock_);
  holding_ = false;
  for (const Held &m : held_) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.constData());
    previous_(m.type, context, m.text);
  }
  held_.clear();
}

GameRun::LastSave GameRun::KeepSaved(HighScoreTables &tables, std::string folder,
                                     ScoreFileSystem &files) {
  static const bool registered = std::atexit(AtExit) == 0;
  if (registered) {
    const std::lock_guard lock(saving_);
    folder_ = std::move(folder);
    files_ = &files;
    unsaved_ = &tables;
  }
  return LastSave(*this);
}

void GameRun::AtExit() {
  if (GameRun *run = current_.load()) run->SaveOnce();
}

void GameRun::SaveOnce() {
  const std::lock_guard lock(saving_);
  HighScoreTables *tables = unsaved_.exchange(nullptr);
  if (!tables || tables->File.empty()) return; // not loaded yet: nothing to keep
  try {
    SaveHighScores(*tables, folder_, *files_);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "Zanthorix: %s\n",
                 qPrintable(ErrorBoxText(QString::fromUtf8(error.what()))));
  }
}

void GameRun::Disarm() {
  const std::lock_guard lock(saving_);
  unsaved_ = nullptr;
}

void GameRun::EndRequested() {
  AnswerEveryBox();
  CloseOpenBoxes();
  if (ending_) return;
  ending_ = true;
  // Not shown yet: a start-up box is open, and the run ends after it.
  if (main_ && main_->isVisible()) main_->close();
}

int GameRun::Play(TfrmZanthorix &main, const std::function<void()> &started) {
  if (ending_) {
    // Never a board on screen that cannot be painted: its closing steps run
    // unseen, and the tables are saved on the way out.
    main.close();
    return 0;
  }
  main_ = &main;
  main.show();
  if (holding_) Release();
  if (started) started();
  const int result = QApplication::exec();
  main_ = nullptr;
  return result;
}

} // namespace zanthorix
