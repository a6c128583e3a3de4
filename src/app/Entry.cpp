// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Entry.h"

#include "app/Application.h"
#include "app/Environment.h"
#include "app/GameRun.h"
#include "app/Main.h"
#include "app/QtDialogs.h"
#include "app/SessionEnd.h"
#include "media/LazyMediaDevice.h"
#include "player/About.h"
#include "player/HelpViewer.h"
#include "player/HighScores.h"
#include "rules/Random.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreTables.h"
#include "scores/ReadOnlyGameFolder.h"

#include <cstdio>

namespace zanthorix {

int RunZanthorix(int argc, char **argv, const EntryHooks &hooks) {
  if (const std::string problem = PrepareEnvironment(); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  GameRun run(hooks.noDisplay);
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  app.HelpFile = QStringLiteral("Zanthorix.hlp");
  // Where the process ends as soon as the request is answered (Windows), the
  // tables are saved then and there.
  const SessionEnd sessionEnd([&run] { run.EndRequested(); }, SessionEnd::Afterwards::Ignore,
                              [&run] { run.SaveOnce(); });

  QtDialogs dialogs;
  app.SetDialogs(&dialogs);
  StdRandom rng(ClockSeed());
  HighScoreTables highScores;
  const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  LazyMediaDevice media(folder); // outlives the window, whose players use it
  const SignalHook endWaits(&LazyMediaDevice::EndWaitsOf, &media);

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
  TfrmAbout frmAbout(frmZanthorix);
  frmZanthorix.frmAbout = &frmAbout;
  // Armed only while the High Scores window holds the tables.
  const GameRun::LastSave lastSave = run.KeepSaved(highScores, folder.toStdString(), *scoreFiles);
  TfrmHighScores frmHighScores(services, frmZanthorix);
  frmZanthorix.frmHighScores = &frmHighScores;
  return run.Play(frmZanthorix, [&] {
    if (hooks.started) hooks.started(frmZanthorix);
  });
}

} // namespace zanthorix
