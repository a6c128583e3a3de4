#include "app/Entry.h"

#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/SessionEnd.h"
#include "media/LazyMediaDevice.h"
#include "player/About.h"
#include "player/HelpViewer.h"
#include "rules/Random.h"
#include "scores/HighScoreFile.h"
#include "scores/HighScoreTables.h"
#include "scores/HighScores.h"

namespace zanthorix {

int RunZanthorix(int argc, char **argv, const EntryHooks &hooks) {
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  app.HelpFile = QStringLiteral("Zanthorix.hlp");

  // Ended by the session: whatever box is open is answered as Cancel or No
  // would answer it, then the main window closes as the player would close
  // it, so that the scores are saved. A second request only closes boxes.
  // Where the process ends as soon as the request is answered (Windows), the
  // tables are saved then and there, as the high-score window's going would.
  TfrmZanthorix *main = nullptr;
  bool ending = false;
  std::function<void()> saveNow;
  const SessionEnd sessionEnd(
      [&main, &ending] {
        CloseOpenBoxes();
        if (ending) return;
        ending = true;
        // Not shown yet: a start-up box is open, and the entry ends after it.
        if (main && main->isVisible()) main->close();
      },
      [&saveNow] {
        if (saveNow) saveNow();
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
  saveNow = [&highScores, &folder] {
    Guarded([&] {
      SystemScoreFileSystem files;
      SaveHighScores(highScores, folder.toStdString(), files);
    });
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
