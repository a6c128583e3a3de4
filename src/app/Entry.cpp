// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Entry.h"

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/Environment.h"
#include "app/Main.h"
#include "app/SessionEnd.h"
#include "media/LazyMediaDevice.h"
#include "player/About.h"
#include "player/HelpViewer.h"
#include "rules/Random.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreTables.h"
#include "scores/HighScores.h"
#include "scores/ReadOnlyGameFolder.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zanthorix {

namespace {

// When the display goes away (the X server or the Wayland compositor ending
// at logout), Qt ends the process at once, with exit() or _exit(), while the
// windows still exist, so the orderly save never comes: the tables get a
// last save when Qt says the connection broke, or on the way out of exit().
// Armed only while the High Scores window holds them; once at most, and a
// second thread that ends the process waits for the save to finish.
std::mutex saving;
std::atomic<HighScoreTables *> unsaved = nullptr;
std::string unsavedFolder;
ScoreFileSystem *unsavedFiles = nullptr;
QtMessageHandler qtHandler = nullptr;

void SaveOnExit() {
  const std::lock_guard lock(saving);
  HighScoreTables *tables = unsaved.exchange(nullptr);
  if (!tables || tables->File.empty()) return; // not loaded yet: nothing to keep
  try {
    SaveHighScores(*tables, unsavedFolder, *unsavedFiles);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "Zanthorix: %s\n",
                 qPrintable(ErrorBoxText(QString::fromUtf8(error.what()))));
  }
}

void WatchForLostDisplay(QtMsgType type, const QMessageLogContext &context, const QString &text) {
  if (text.startsWith(QLatin1String("The X11 connection")) ||
      text.startsWith(QLatin1String("The Wayland connection")))
    SaveOnExit();
  qtHandler(type, context, text);
}

struct LastSave {
  LastSave(HighScoreTables &tables, const std::string &folder, ScoreFileSystem &files) {
    static const bool registered = std::atexit(SaveOnExit) == 0;
    if (!registered) return;
    unsavedFolder = folder;
    unsavedFiles = &files;
    unsaved = &tables;
    qtHandler = qInstallMessageHandler(WatchForLostDisplay);
  }
  ~LastSave() {
    const std::lock_guard lock(saving);
    unsaved = nullptr;
    if (qtHandler) qInstallMessageHandler(qtHandler);
  }
  LastSave(const LastSave &) = delete;
  LastSave &operator=(const LastSave &) = delete;
};

} // namespace

int RunZanthorix(int argc, char **argv, const EntryHooks &hooks) {
  if (const std::string problem = PrepareEnvironment(); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  app.HelpFile = QStringLiteral("Zanthorix.hlp");

  // Ended by the session: whatever box is open, or opens from then on, is
  // answered as Cancel or No would answer it, then the main window closes as
  // the player would close it, so that the scores are saved. A request after
  // the save changes nothing. Where the process ends as soon as the request
  // is answered (Windows), the tables are saved then and there, as the
  // high-score window's going would.
  TfrmZanthorix *main = nullptr;
  bool ending = false;
  std::function<void()> saveNow;
  const SessionEnd sessionEnd(
      [&main, &ending] {
        AnswerEveryBox();
        CloseOpenBoxes();
        if (ending) return;
        ending = true;
        // Not shown yet: a start-up box is open, and the entry ends after it.
        if (main && main->isVisible()) main->close();
      },
      SessionEnd::Afterwards::Ignore,
      [&saveNow] {
        if (saveNow) saveNow();
      });

  QtDialogs dialogs;
  app.SetDialogs(&dialogs);
  StdRandom rng(ClockSeed());
  HighScoreTables highScores;
  const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  LazyMediaDevice media(folder); // outlives the window, whose players use it
  SetSignalHook(&LazyMediaDevice::EndAllWaits);

  Services services;
  // Every save goes through the same files as the High Scores window's.
  SystemScoreFileSystem systemFiles;
  ScoreFileSystem *scoreFiles = &systemFiles;
#ifdef ZANTHORIX_READ_ONLY_GAME_FOLDER
  ReadOnlyGameFolder systemData(systemFiles, folder.toStdString());
  services.scoreFiles = scoreFiles = &systemData;
#endif
  services.rng = &rng;
  services.dialogs = &dialogs;
  services.programFolder = folder;
  services.highScores = &highScores;
  services.media = &media;
  QtHelpViewer help(dialogs, services.programFolder);
  services.help = &help;

  TfrmZanthorix frmZanthorix(services);
  main = &frmZanthorix;
  TfrmAbout frmAbout(frmZanthorix);
  frmZanthorix.frmAbout = &frmAbout;
  const LastSave lastSave(highScores, folder.toStdString(), *scoreFiles);
  TfrmHighScores frmHighScores(services, frmZanthorix);
  frmZanthorix.frmHighScores = &frmHighScores;
  saveNow = [&highScores, &folder, scoreFiles] {
    Guarded([&] { SaveHighScores(highScores, folder.toStdString(), *scoreFiles); });
  };

  if (ending) {
    // Never a board on screen that cannot be painted: its closing steps run
    // unseen, and the tables are saved on the way out.
    frmZanthorix.close();
    main = nullptr;
    saveNow = nullptr;
    return 0;
  }
  frmZanthorix.show();
  if (hooks.started) hooks.started(frmZanthorix);
  const int result = app.exec();
  main = nullptr;
  saveNow = nullptr;
  return result;
}

} // namespace zanthorix
