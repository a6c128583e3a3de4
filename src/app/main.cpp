#include "app/Main.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "media/SdlMediaDevice.h"
#include "rules/Random.h"

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

  // Outlives the window, whose players use it.
  SdlMediaDevice media;

  Services services;
  services.rng = &rng;
  services.dialogs = &dialogs;
  services.programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  services.media = &media;

  TfrmZanthorix frmZanthorix(services);
  frmZanthorix.show();
  return app.exec();
}
