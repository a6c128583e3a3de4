// The application object: its title, its help file, and the error box for
// an error that a handler lets through.
#pragma once

#include "gui/Guarded.h"

#include <QApplication>

#include <exception>

namespace zanthorix {

class Dialogs;

class TApplication : public QApplication, public ExceptionHandler {
public:
  TApplication(int &argc, char **argv);

  QString Title;
  QString HelpFile;

  // Where the error box goes; the program's real boxes unless a test says otherwise.
  void SetDialogs(Dialogs *dialogs) { dialogs_ = dialogs; }
  Dialogs *dialogs() const { return dialogs_; }

  bool notify(QObject *receiver, QEvent *event) override;

  // Shows the error box for the exception being handled.
  void HandleException(const std::exception &error) override;

  static TApplication *instance();

private:
  Dialogs *dialogs_ = nullptr;
};

// The error box's text: the message, with a full stop added when its last
// character sorts after one.
QString ErrorBoxText(const QString &message);

} // namespace zanthorix
