// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: its title, its help file, and the error box for
// an error that a handler lets through.
#pragma once

#include "gui/Guarded.h"

#include <QApplication>
#include <QIcon>
#include <QList>

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

// The program's icon in the given sizes, ascending, each read from its
// picture only when a size is asked for.
QIcon ProgramIcon(QList<int> sizes);
inline const QList<int> IconSizes{16, 22, 24, 32, 48, 64, 128, 256};
inline const QList<int> SmallIconSizes{16, 32};

// The error box's text: the message, with a full stop added when its last
// character sorts after one.
QString ErrorBoxText(const QString &message);

} // namespace zanthorix
