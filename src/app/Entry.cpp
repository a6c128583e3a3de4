#include "app/Entry.h"

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/SessionEnd.h"
#include "media/LazyMediaDevice.h"
#include "player/About.h"
#include "player/HelpViewer.h"
#include "rules/Random.h"
#include "scores/HighScoreTables.h"
#include "scores/HighScores.h"

namespace zanthorix {

int RunZanthorix(int argc, char **argv, const EntryHooks &hooks) {
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  app.HelpFile = QStringLiteral("Zanthorix.hlp");

  // Ended by the session: close as the player would, so the scores are saved.
  TfrmZanthorix *main = nullptr;
  const SessionEnd sessionEnd([&main] {
    if (main) main->close();
  });

  QtDialogs dialogs;
  app.SetDialogs(&dialogs);
  StdRandom rng(ClockSeed());
  HighScoreTables highScores;
  const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  LazyMediaDevice media(folder); // outlives the window, whose players use it

  Services services;
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
  TfrmHighScores frmHighScores(services, frmZanthorix);
  frmZanthorix.frmHighScores = &frmHighScores;

  frmZanthorix.show();
  if (hooks.started) hooks.started(frmZanthorix);
  const int result = app.exec();
  main = nullptr;
  return result;
}

} // namespace zanthorix
