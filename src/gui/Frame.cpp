// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/Frame.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace zanthorix {

namespace {

// Room in a title bar besides the caption: the frame's edges, the window
// icon and the minimise, maximise and close buttons. Measured on an X window
// manager's default theme, which centres the caption in the whole bar: it
// shows "Game Over..." whole from 110 pixels more than the text's width.
constexpr int TitleBarAllowance = 110;

// The frame of the last window that a window manager framed, the best guess
// for a window that is not framed yet, is kept by the application object.
constexpr auto LastFrame = "zanthorixLastFrame";
// Set on a window while BringToFront shows it afresh.
constexpr auto ShowingAgain = "zanthorixShowingAgain";

QMargins FrameOf(const QWidget *window) {
  const QWindow *handle = window->windowHandle();
  return handle ? handle->frameMargins() : QMargins();
}

// Room to keep clear at each edge of the screen beyond the frame. At a
// scale other than 1, Qt rounds the screen, the frame and the window to
// whole logical pixels separately, each up to half a pixel off: the frame
// can be a pixel and more larger on screen than it reads.
int RoundingSlack(const QScreen *screen) {
  const qreal ratio = screen->devicePixelRatio();
  return qFuzzyCompare(ratio, 1.0) || ratio <= 0 ? 0 : int(std::ceil(1 + 1 / ratio));
}

// Puts the client area where a frame of the given size around it is centred.
// A window too large for the screen's free area shrinks to fit as far as it
// can, and its title bar never starts above or left of that area.
void Place(QWidget *window, const QMargins &frame) {
  const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const int slack = RoundingSlack(screen);
  const QMargins room = frame + slack;
  const QSize size =
      window->size().boundedTo(area.size().shrunkBy(room)).expandedTo(window->minimumSize());
  const QSize outer = size.grownBy(frame);
  // Centred; near an edge only when the window is too large to keep clear of it.
  const auto start = [](int from, int length, int outer, int before, int after, int inner,
                        int slack) {
    const int centred = from + (length - outer) / 2 + before;
    return std::max(std::min(centred, from + length - after - slack - inner),
                    from + before + slack);
  };
  const QPoint client(start(area.x(), area.width(), outer.width(), frame.left(), frame.right(),
                            size.width(), slack),
                      start(area.y(), area.height(), outer.height(), frame.top(), frame.bottom(),
                            size.height(), slack));
  if (window->geometry() != QRect(client, size)) window->setGeometry(QRect(client, size));
}

// Watches a window until its frame is known, then centres it again. It goes
// when that is done, or when the window is hidden without ever being framed.
class FrameWatch : public QObject {
public:
  explicit FrameWatch(QWidget *window) : QObject(window) { window->installEventFilter(this); }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    auto *window = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::Hide:
      if (seen_) deleteLater();
      break;
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Paint:
    case QEvent::WindowActivate: {
      seen_ = true;
      const QMargins frame = FrameOf(window);
      if (frame.isNull()) break;
      qApp->setProperty(LastFrame, QVariant::fromValue(frame));
      Place(window, frame);
      window->removeEventFilter(this);
      deleteLater();
      break;
    }
    default:
      break;
    }
    return false;
  }

private:
  bool seen_ = false;
};

// Qt minimises a Wayland window from its own title bar, or when asked to,
// and reports it only as the state asked for: the compositor never tells a
// window that it was minimised, nor that it came back. A press on the title
// bar of a window behind others activates it just after it is minimised, so
// only an activation after it has lost the focus tells that it came back.
constexpr auto MinimisedFlag = "zanthorixMinimised";
enum Minimising { NotMinimised, MinimisedNow, MinimisedAway };

bool Minimised(const QWidget *window) {
  const QWindow *handle = window->windowHandle();
  return handle && handle->property(MinimisedFlag).toInt() != NotMinimised;
}

void WatchMinimising(QWidget *window) {
  QWindow *handle = window->windowHandle();
  if (!handle || handle->property(MinimisedFlag).isValid()) return;
  handle->setProperty(MinimisedFlag, NotMinimised);
  QObject::connect(handle, &QWindow::windowStateChanged, handle, [handle](Qt::WindowState state) {
    if (state == Qt::WindowMinimized) handle->setProperty(MinimisedFlag, MinimisedNow);
  });
  QObject::connect(handle, &QWindow::activeChanged, handle, [handle] {
    const int now = handle->property(MinimisedFlag).toInt();
    if (!handle->isActive() && now == MinimisedNow)
      handle->setProperty(MinimisedFlag, MinimisedAway);
    else if (handle->isActive() && now == MinimisedAway)
      handle->setProperty(MinimisedFlag, NotMinimised);
  });
  QObject::connect(handle, &QWindow::visibleChanged, handle, [handle](bool visible) {
    if (!visible) handle->setProperty(MinimisedFlag, NotMinimised);
  });
}

} // namespace

void CentreOnScreen(QWidget *window) {
  const QMargins known = FrameOf(window);
  Place(window, known.isNull() ? qApp->property(LastFrame).value<QMargins>() : known);
  if (known.isNull()) new FrameWatch(window);
}

void BringToFront(QWidget *window) {
  // show() and raise() leave a minimised window as it is.
  if (window->windowState() & Qt::WindowMinimized)
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  // A Wayland client cannot restore a window: one that was minimised is shown
  // afresh, where the compositor chooses. One that is only behind others keeps
  // its place; activating it asks the compositor to bring it forward
  // (xdg-activation), which some do.
  const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  if (wayland && window->isVisible() && Minimised(window)) {
    window->setProperty(ShowingAgain, true);
    window->hide();
    window->show();
    window->setProperty(ShowingAgain, QVariant());
  }
  window->show();
  window->raise();
  window->activateWindow();
  if (wayland) WatchMinimising(window);
}

bool ShownAgain(const QWidget *window) { return window->property(ShowingAgain).toBool(); }

int CaptionWidth(const QString &caption) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(caption) + TitleBarAllowance;
}

void FitCaption(QMessageBox &box) {
  // The box sizes itself to its layout, so the room goes into the layout.
  auto *grid = qobject_cast<QGridLayout *>(box.layout());
  if (!grid) {
    box.setMinimumWidth(CaptionWidth(box.windowTitle()));
    return;
  }
  const QMargins margins = grid->contentsMargins();
  const int inner = CaptionWidth(box.windowTitle()) - margins.left() - margins.right();
  grid->addItem(new QSpacerItem(inner, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(),
                0, 1, grid->columnCount());
}

} // namespace zanthorix
