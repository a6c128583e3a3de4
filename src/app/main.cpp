#include "app/Main.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/SessionEnd.h"
#include "player/About.h"
#include "player/HelpViewer.h"
#include "media/SdlMediaDevice.h"
#include "rules/Random.h"
#include "scores/HighScoreTables.h"
#include "scores/HighScores.h"

#include <QFont>

int main(int argc, char **argv) {
  using namespace zanthorix;
  TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  app.HelpFile = QStringLiteral("Zanthorix.hlp");
  QApplication::setApplicationDisplayName(app.Title);

  QFont font(QStringLiteral("Sans Serif"));
  font.setPixelSize(11);
  QApplication::setFont(font);

  QtDialogs dialogs;
  app.SetDialogs(&dialogs);
  StdRandom rng(ClockSeed());
  HighScoreTables highScores;

  // Outlives the window, whose players use it.
  SdlMediaDevice media;

  Services services;
  services.rng = &rng;
  services.dialogs = &dialogs;
  services.programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  services.highScores = &highScores;
  QtHelpViewer help(dialogs, services.programFolder);
  services.help = &help;
  services.media = &media;

  TfrmZanthorix frmZanthorix(services);
  TfrmAbout frmAbout(frmZanthorix);
  frmZanthorix.frmAbout = &frmAbout;
  TfrmHighScores frmHighScores(services, frmZanthorix);
  frmZanthorix.frmHighScores = &frmHighScores;

  // Ended by the session: close as the player would, so the scores are saved.
  const SessionEnd sessionEnd([&frmZanthorix] { frmZanthorix.close(); });

  frmZanthorix.show();
  return app.exec();
}
