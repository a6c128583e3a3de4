#include "app/Application.h"

#include "app/Dialogs.h"

#include <QFont>
#include <QIcon>

namespace zanthorix {

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // An 11-pixel sans-serif face of narrow, familiar letters, so that the
  // fixed layouts fit.
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
  font.setPixelSize(11);
  setFont(font);

  // Every window offers the icon in each usual size, each drawn at its size. A
  // Wayland shell finds the icon through the desktop entry of this name instead.
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icon/zanthorix-%1.png").arg(size), QSize(size, size));
  setWindowIcon(icon);
  setDesktopFileName(QStringLiteral("zanthorix"));
}

TApplication *TApplication::instance() {
  return static_cast<TApplication *>(QCoreApplication::instance());
}

bool TApplication::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &error) {
    HandleException(error);
    return true;
  }
}

void TApplication::HandleException(const std::exception &error) {
  const QString text = ErrorBoxText(QString::fromUtf8(error.what()));
  if (dialogs_) {
    dialogs_->MessageBox(text, Title, MsgButtons::Ok, MsgIcon::Error);
  } else {
    QtDialogs().MessageBox(text, Title, MsgButtons::Ok, MsgIcon::Error);
  }
}

QString ErrorBoxText(const QString &message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
  return message;
}

} // namespace zanthorix
