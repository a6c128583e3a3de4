// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWindow.h"

#include "app/BoardArea.h"
#include "app/StatusBar.h"
#include "gui/Frame.h"
#include "rules/Deal.h"
#include "ui_Main.h"

#include <QFontDatabase>
#include <QIcon>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <map>

using namespace zanthorix;

namespace {

QColor Background(const TestWindow &t) { return t.window->palette().color(QPalette::Window); }

// Every pixel of the outline of r (a 24 by 24 ring) has colour c.
bool RingIs(const QImage &image, const QRect &r, const QColor &c) {
  for (int x = r.left(); x <= r.right(); ++x)
    if (image.pixelColor(x, r.top()) != c || image.pixelColor(x, r.bottom()) != c) return false;
  for (int y = r.top(); y <= r.bottom(); ++y)
    if (image.pixelColor(r.left(), y) != c || image.pixelColor(r.right(), y) != c) return false;
  return true;
}

bool FilledWith(const QImage &image, const QRect &r, const QColor &c) {
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (image.pixelColor(x, y) != c) return false;
  return true;
}

// The smallest rectangle holding every pixel of r that is (or, with match
// false, is not) of colour c.
QRect BoxOf(const QImage &image, const QRect &r, const QColor &c, bool match = true) {
  QRect box;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if ((image.pixelColor(x, y) == c) == match) box |= QRect(x, y, 1, 1);
  return box;
}

// Every pixel of box within thickness of its edge is c, and none further in:
// one solid line all round.
bool SolidRing(const QImage &image, const QRect &box, int thickness, const QColor &c) {
  const QRect inner = box.adjusted(thickness, thickness, -thickness, -thickness);
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if ((image.pixelColor(x, y) == c) == inner.contains(x, y)) return false;
  return true;
}

} // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
private slots:
  void windowLayout();
  void menus();
  void statusPanelsAfterFirstPaintAndNew();
  void frameAndSprites();
  void emptyAndOddSquares();
  void highlightOutlines();
  void sharpAtDevicePixelRatios();
  void errorBoxText();
  void boxesAreWideEnoughForTheirCaption();
  void errorFromHandlerReachesErrorBox();
};

void MainWindowTest::windowLayout() {
  TestWindow t;
  TfrmZanthorix &w = *t.window;
  QCOMPARE(w.windowTitle(), QStringLiteral("Zanthorix v1.0"));
  QCOMPARE(w.ui()->boardArea->size(), QSize(210, 210));
  QCOMPARE(w.barStatus()->height(), 20);
  // The client area below the menu bar: the board, then the status bar.
  const QPoint boardTop = w.ui()->boardArea->mapTo(&w, QPoint(0, 0));
  const QPoint barTop = w.barStatus()->mapTo(&w, QPoint(0, 0));
  QCOMPARE(boardTop.x(), 0);
  QCOMPARE(barTop, boardTop + QPoint(0, 210));
  QCOMPARE(w.height() - boardTop.y(), 210 + w.barStatus()->height());
  QCOMPARE(w.width(), 210);
  QCOMPARE(w.minimumSize(), w.maximumSize()); // cannot be resized
  // The icon in every usual size; at 32 pixels the picture of the .ico as ever.
  const QIcon icon = w.windowIcon();
  QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
  QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
  QCOMPARE(icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
           QImage(QStringLiteral(":/icon/zanthorix.ico")).convertToFormat(QImage::Format_ARGB32));
  QVERIFY(!w.BallSheet.isNull());
  QCOMPARE(w.BallSheet.size(), QSize(60, 60));
}

void MainWindowTest::menus() {
  TestWindow t(1, false);
  Ui::TfrmZanthorix *ui = t.window->ui();
  QStringList titles;
  for (QAction *a : t.window->menuBar()->actions())
    titles << a->text();
  QCOMPARE(titles, QStringList({"&File", "&Options", "&Balls", "&Help"}));

  struct Item {
    QAction *action;
    const char *text;
    const char *shortcut;
    bool checked;
  };
  const Item items[] = {
      {ui->mnuFileNew, "&New", "Ctrl+N", false},
      {ui->mnuFileExit, "E&xit", "", false},
      {ui->mnuOptionsSoundFX, "&Sound FX", "Ctrl+S", false},
      {ui->mnuOptionsMusic, "&Music", "Ctrl+M", false},
      {ui->mnuOptionsUser, "&User...", "Ctrl+U", false},
      {ui->mnuBalls3, "3 Balls", "F3", false},
      {ui->mnuBalls4, "4 Balls", "F4", true},
      {ui->mnuBalls5, "5 Balls", "F5", false},
      {ui->mnuBalls6, "6 Balls", "F6", false},
      {ui->mnuBalls7, "7 Balls", "F7", false},
      {ui->mnuHelpIndex, "&Index", "F1", false},
      {ui->mnuHelpHighScores, "&High Scores...", "", false},
      {ui->mnuHelpAbout, "&About...", "", false},
  };
  for (const Item &item : items) {
    QCOMPARE(item.action->text(), QString::fromLatin1(item.text));
    QCOMPARE(item.action->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut)));
    QCOMPARE(item.action->isChecked(), item.checked);
    QVERIFY(item.action->isEnabled());
  }
  for (QAction *separator : {ui->N1, ui->N2, ui->N3})
    QVERIFY(separator->isSeparator());
  QCOMPARE(ui->mnuFile->actions(), QList<QAction *>({ui->mnuFileNew, ui->N1, ui->mnuFileExit}));
  QCOMPARE(ui->Options1->actions(), QList<QAction *>({ui->mnuOptionsSoundFX, ui->mnuOptionsMusic,
                                                      ui->N3, ui->mnuOptionsUser}));
  QCOMPARE(ui->mnuHelp->actions(),
           QList<QAction *>({ui->mnuHelpIndex, ui->N2, ui->mnuHelpHighScores, ui->mnuHelpAbout}));
}

void MainWindowTest::statusPanelsAfterFirstPaintAndNew() {
  TestWindow t;
  QCOMPARE(t.Panel(0), QStringLiteral("Score: 0"));
  QCOMPARE(t.Panel(1), QString());

  t.window->SetPosition(t.window->board, 37);
  t.window->barStatus()->SetPanelText(1, QStringLiteral("Points: 12"));
  const Board before = t.window->board;
  t.window->ui()->mnuFileNew->trigger();
  QCOMPARE(t.window->Score, 0);
  QCOMPARE(t.Panel(0), QStringLiteral("Score: 0"));
  QCOMPARE(t.Panel(1), QString());
  QVERIFY(!(t.window->board == before));

  // The panels sit exactly 100 pixels apart from the bar's left edge.
  QImage bar(t.window->barStatus()->size(), QImage::Format_RGB32);
  t.window->barStatus()->render(&bar);
  const QColor face = Background(t);
  QVERIFY(bar.pixelColor(0, 10) != face);   // panel 0 frame
  QVERIFY(bar.pixelColor(100, 10) != face); // panel 1 frame
  QCOMPARE(bar.pixelColor(205, 10), face);  // nothing beyond the panels
}

void MainWindowTest::frameAndSprites() {
  TestWindow t;
  const QImage image = t.BoardImage();
  for (int i = 5; i <= 205; ++i) {
    QCOMPARE(image.pixelColor(i, 5), QColor(Qt::black));
    QCOMPARE(image.pixelColor(i, 205), QColor(Qt::black));
    QCOMPARE(image.pixelColor(5, i), QColor(Qt::black));
    QCOMPARE(image.pixelColor(205, i), QColor(Qt::black));
  }
  QVERIFY(image.pixelColor(4, 100) != QColor(Qt::black));
  QVERIFY(image.pixelColor(206, 100) != QColor(Qt::black));

  const QImage sheet(QStringLiteral(":/Balls"));
  QCOMPARE(sheet.format(), QImage::Format_Indexed8);
  const SpriteOrigins origins = MakeSpriteOrigins();
  for (int row = 1; row <= 8; ++row) {
    for (int column = 1; column <= 8; ++column) {
      const int kind = t.window->board(column, row).Kind;
      const QRect square = SquareRect(column, row);
      QCOMPARE(square.topLeft(), QPoint((column - 1) * 25 + 8, (row - 1) * 25 + 8));
      for (int dy = 0; dy < 20; ++dy)
        for (int dx = 0; dx < 20; ++dx)
          QCOMPARE(image.pixel(square.x() + dx, square.y() + dy),
                   sheet.pixel(origins[kind].x() + dx, origins[kind].y() + dy));
      QVERIFY(RingIs(image, OutlineRect(column, row), Background(t)));
    }
  }
}

void MainWindowTest::emptyAndOddSquares() {
  TestWindow t;
  Board odd = t.window->board;
  odd(1, 1).Kind = 0;
  odd(8, 8).Kind = 9;
  odd(4, 5).Kind = -1;
  t.window->SetPosition(odd);
  t.window->DrawBoard();
  const QImage image = t.BoardImage();
  for (auto [c, r] : {std::pair{1, 1}, {8, 8}, {4, 5}})
    QVERIFY(FilledWith(image, SquareRect(c, r), Background(t)));
}

void MainWindowTest::highlightOutlines() {
  TestWindow t;
  t.window->board(3, 4).Selected = true;
  t.window->board(8, 1).Selected = true;
  t.window->board(8, 1).Kind = 0; // an empty square keeps its outline
  t.window->DrawBoard();
  QImage image = t.BoardImage();
  const QColor yellow(255, 255, 0);
  QVERIFY(RingIs(image, OutlineRect(3, 4), yellow));
  QVERIFY(RingIs(image, OutlineRect(8, 1), yellow));
  QCOMPARE(OutlineRect(8, 8).bottomRight(), QPoint(204, 204));
  QVERIFY(FilledWith(image, SquareRect(8, 1), Background(t)));
  QVERIFY(RingIs(image, OutlineRect(3, 5), Background(t)));

  t.window->board(3, 4).Selected = false;
  t.window->board(8, 1).Selected = false;
  t.window->DrawBoard();
  image = t.BoardImage();
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      QVERIFY2(image.pixelColor(x, y) != yellow || FilledWith(image, SquareRect(1, 1), yellow),
               "yellow left after the highlight was cleared");
}

void MainWindowTest::sharpAtDevicePixelRatios() {
  TestWindow t;
  t.window->board(3, 4).Selected = true;
  t.window->DrawBoard();
  const QColor yellow(255, 255, 0);
  for (qreal ratio : {1.0, 1.5, 2.0, 3.0}) {
    const QImage image = t.BoardImage(ratio);
    const auto device = [ratio](const QRectF &r) {
      return QRectF(r.topLeft() * ratio, r.size() * ratio).toAlignedRect();
    };
    const auto nearRatio = [ratio](qreal v, qreal logical) {
      return qAbs(v - logical * ratio) <= 1;
    };

    // The frame: one black line of the same thickness all round, in place.
    const QRect frame = BoxOf(image, image.rect(), Qt::black);
    const int line =
        BoxOf(image, QRect(frame.center().x(), 0, 1, frame.center().y()), Qt::black).height();
    QVERIFY(nearRatio(frame.left(), 5) && nearRatio(frame.right() + 1, 206));
    QVERIFY(qAbs(line - ratio) < 1); // whole device pixels, the nearest to one logical pixel
    QVERIFY(SolidRing(image, frame, line, Qt::black));

    // The highlight: a yellow ring of that thickness.
    const QRect outline = BoxOf(image, device(OutlineRect(3, 4).adjusted(-1, -1, 1, 1)), yellow);
    QVERIFY(nearRatio(outline.width(), 24));
    QVERIFY(SolidRing(image, outline, line, yellow));

    // Each ball of a kind, found as what differs from the background around its
    // square, is the same picture everywhere.
    std::map<int, QImage> first;
    for (int row = 1; row <= 8; ++row)
      for (int column = 1; column <= 8; ++column) {
        if (t.window->board(column, row).Selected) continue;
        const QRect around = device(QRectF(SquareRect(column, row)).adjusted(-1.5, -1.5, 1.5, 1.5));
        const QRect box = BoxOf(image, around, Background(t), false);
        QVERIFY(nearRatio(box.width(), 20) && box.width() == box.height());
        const QImage sprite = image.copy(box);
        auto [it, fresh] = first.try_emplace(t.window->board(column, row).Kind, sprite);
        QVERIFY2(
            fresh || it->second == sprite,
            qPrintable(QStringLiteral("ball at %1,%2 ratio %3").arg(column).arg(row).arg(ratio)));
      }
    if (ratio == 2) {
      // Drawn at this size, not pixels doubled.
      const QImage ball = first.begin()->second;
      const QImage half = ball.scaled(ball.size() / 2);
      QVERIFY(half.scaled(ball.size()) != ball);
    }
  }
}

void MainWindowTest::errorBoxText() {
  QCOMPARE(ErrorBoxText(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
  QCOMPARE(ErrorBoxText(QStringLiteral("I/O error 32")), QStringLiteral("I/O error 32."));
  // A closing quote sorts before the full stop, so none is added after it.
  QCOMPARE(ErrorBoxText(QStringLiteral("Invalid data type for 'User'")),
           QStringLiteral("Invalid data type for 'User'"));
  QCOMPARE(ErrorBoxText(QStringLiteral("Stop!")), QStringLiteral("Stop!"));
  QCOMPARE(ErrorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
  QCOMPARE(ErrorBoxText(QStringLiteral("(x)")), QStringLiteral("(x)"));
  QCOMPARE(ErrorBoxText(QString()), QString());
}

// A title bar shows its caption in the bold title font, beside its buttons and
// edges: 110 pixels under a common X window manager's default theme. Boxes are
// centred on the screen, as every window, not on the window they belong to.
void MainWindowTest::boxesAreWideEnoughForTheirCaption() {
  QFont title = QFontDatabase::systemFont(QFontDatabase::TitleFont);
  title.setBold(true);
  QWidget owner;
  owner.setGeometry(5, 5, 150, 100);
  owner.show();
  QApplication::setActiveWindow(&owner);
  QStringList narrow;
  QStringList offCentre;
  QTimer answer;
  connect(&answer, &QTimer::timeout, this, [&] {
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      if (box->width() < QFontMetrics(title).horizontalAdvance(box->windowTitle()) + 110)
        narrow << box->windowTitle();
      const QPoint off =
          box->frameGeometry().center() - box->screen()->availableGeometry().center();
      if (off.manhattanLength() > 2) offCentre << box->windowTitle();
      box->done(0);
    }
  });
  answer.start(10);
  for (const char *caption : {"Game Over...", "Error!", "Are you sure?", "Zanthorix"})
    QtDialogs().MessageBox("Total: 4", caption, MsgButtons::YesNo, MsgIcon::None);
  answer.stop();
  QCOMPARE(narrow, QStringList());
  QCOMPARE(offCentre, QStringList());

  // A window larger than the screen's free area shrinks to fit it; one that
  // cannot shrink still keeps its top-left corner, and so its title bar, on it.
  const QRect area = owner.screen()->availableGeometry();
  QWidget large;
  large.resize(area.width() + 300, area.height() + 200);
  CentreOnScreen(&large);
  QCOMPARE(large.geometry(), area);
  large.setFixedSize(area.width() + 300, area.height() + 200);
  CentreOnScreen(&large);
  QCOMPARE(large.pos(), area.topLeft());
}

namespace {
class Thrower : public QObject {
public:
  bool event(QEvent *e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("No MCI device open");
    return QObject::event(e);
  }
};
} // namespace

void MainWindowTest::errorFromHandlerReachesErrorBox() {
  TestWindow t(1, false);
  Thrower thrower;
  QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
  QCoreApplication::processEvents();
  QCOMPARE(t.dialogs.boxes.size(), size_t(1));
  QCOMPARE(t.dialogs.boxes[0].text, QStringLiteral("No MCI device open."));
  QCOMPARE(t.dialogs.boxes[0].caption, QStringLiteral("Zanthorix"));
  QCOMPARE(t.dialogs.boxes[0].icon, MsgIcon::Error);
  // and the program goes on
  t.window->ui()->mnuFileNew->trigger();
  QCOMPARE(t.Panel(0), QStringLiteral("Score: 0"));
}

ZANTHORIX_GUI_TEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
