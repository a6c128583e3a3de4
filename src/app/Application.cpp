// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Application.h"

#include "app/QtDialogs.h"

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace zanthorix {

namespace {

// The program's icon: one picture file for each size, each read only when a
// size is asked for. Reading all of them up front took more of the start-up
// than anything else of the game's own.
class IconFiles final : public QIconEngine {
public:
  explicit IconFiles(QList<int> sizes) : sizes_(std::move(sizes)) {}

  QIconEngine *clone() const override { return new IconFiles(*this); }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (const int size : sizes_)
      sizes << QSize(size, size);
    return sizes;
  }

  QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override {
    const int side = std::min({size.width(), size.height(), sizes_.back()});
    return QSize(side, side);
  }

  // The picture made for the size asked, or the next larger one scaled down.
  QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override {
    const QSize wanted = actualSize(size, mode, state);
    if (wanted.isEmpty()) return {};
    const auto file = std::lower_bound(sizes_.cbegin(), sizes_.cend(), wanted.width());
    QPixmap &picture = read_[*file];
    if (picture.isNull()) picture = QPixmap(QStringLiteral(":/icon/zanthorix-%1.png").arg(*file));
    QPixmap shown = picture.size() == wanted
                        ? picture
                        : picture.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (mode == QIcon::Normal || !qApp) return shown;
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, shown, &option);
  }

  void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device()->devicePixelRatio();
    QPixmap shown = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
    shown.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect.topLeft(), shown);
  }

private:
  QList<int> sizes_; // ascending
  QHash<int, QPixmap> read_;
};

} // namespace

QIcon ProgramIcon(QList<int> sizes) { return QIcon(new IconFiles(std::move(sizes))); }

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {
  // An 11-pixel sans-serif face of narrow, familiar letters, so that the
  // fixed layouts fit.
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Sans Serif")});
  font.setPixelSize(11);
  setFont(font);

  // Every window offers the icon in each usual size, each drawn at its size. A
  // Wayland shell finds the icon through the desktop entry of this name instead.
  setWindowIcon(ProgramIcon(IconSizes));
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
