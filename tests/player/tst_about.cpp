// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TestWindow.h"

#include "player/About.h"
#include "ui_About.h"
#include "ui_Main.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

using namespace zanthorix;

namespace {

// The main window with its About window, made as the program makes them.
struct AboutFixture {
  TestWindow t;
  TfrmAbout about{*t.window};
  AboutFixture() { t.window->frmAbout = &about; }

  void ChooseAbout() { t.window->ui()->mnuHelpAbout->trigger(); }
  QString Player() { return about.ui()->lblPlayer->text(); }
};

} // namespace

class AboutTest : public QObject {
  Q_OBJECT
private slots:
  void layout();
  void hiddenUntilChosenAndModeless();
  void playerLabelIsWrittenOnEachShowing();
  void longNameIsNeitherWrappedNorCut();
  void enterClosesAndEscDoesNot();
};

void AboutTest::layout() {
  AboutFixture f;
  TfrmAbout &a = f.about;
  const Ui::TfrmAbout &ui = *a.ui();
  QCOMPARE(a.windowTitle(), QStringLiteral("About..."));
  QCOMPARE(a.size(), QSize(241, 193));
  QCOMPARE(a.minimumSize(), a.maximumSize());
  const Qt::WindowFlags flags = a.windowFlags();
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                     Qt::WindowContextHelpButtonHint)));

  QCOMPARE(ui.bvlAbout->geometry(), QRect(48, 8, 185, 145));
  QCOMPARE(ui.bvlAbout->frameShadow(), QFrame::Sunken);
  QCOMPARE(ui.imgIcon->geometry(), QRect(8, 56, 32, 32));
  QCOMPARE(ui.imgIcon->pixmap().size(), QSize(32, 32));
  QCOMPARE(ui.lblProduct->pos(), QPoint(56, 16));
  QCOMPARE(ui.lblProduct->text(), QStringLiteral("Zanthorix v1.0"));
  QCOMPARE(ui.lblProduct->size(), ui.lblProduct->sizeHint());
  QCOMPARE(ui.lblCredits->geometry(), QRect(56, 32, 169, 41));
  QCOMPARE(ui.lblCredits->text(),
           QStringLiteral("Warning! This game can be very addictive!  The player assumes all "
                          "responsibilites and consequences."));
  QVERIFY(ui.lblCredits->wordWrap());
  // The whole warning shows within its box.
  QVERIFY(ui.lblCredits->heightForWidth(169) <= 41);
  QCOMPARE(ui.lblPlayer->pos(), QPoint(56, 80));
  QCOMPARE(ui.lblPlayer->text(), QStringLiteral("Current Player:"));
  QCOMPARE(ui.btnOK->geometry(), QRect(88, 160, 73, 25));
  QCOMPARE(ui.btnOK->text(), QStringLiteral("OK"));
  QVERIFY(ui.btnOK->isDefault());
  // OK is the only button.
  QCOMPARE(a.findChildren<QPushButton *>().size(), 1);
}

void AboutTest::hiddenUntilChosenAndModeless() {
  AboutFixture f;
  QVERIFY(!f.about.isVisible());
  f.ChooseAbout();
  QVERIFY(f.about.isVisible());
  QVERIFY(!f.about.isModal());
  QCOMPARE(QApplication::activeModalWidget(), nullptr);
  QVERIFY(f.t.window->isEnabled());

  // The game goes on meanwhile: a press still reaches the board.
  f.t.Press(17, 17);
  QVERIFY(f.t.Panel(1).startsWith(QStringLiteral("Points: ")));

  // The close box hides the window and keeps it for the next showing.
  QVERIFY(f.about.close());
  QVERIFY(!f.about.isVisible());
  f.ChooseAbout();
  QVERIFY(f.about.isVisible());
}

void AboutTest::playerLabelIsWrittenOnEachShowing() {
  AboutFixture f;
  f.ChooseAbout();
  QCOMPARE(f.Player(), QStringLiteral("Current Player: ")); // no name stored yet

  f.about.ui()->btnOK->click();
  QVERIFY(!f.about.isVisible());
  f.t.window->PlayerName = QStringLiteral("Alice");
  f.ChooseAbout();
  QCOMPARE(f.Player(), QStringLiteral("Current Player: Alice"));

  // A new name while the window is open shows only after it is shown anew:
  // choosing About again only brings it to the front.
  f.t.window->PlayerName = QStringLiteral("Bob");
  f.ChooseAbout();
  QCOMPARE(f.Player(), QStringLiteral("Current Player: Alice"));
  f.about.ui()->btnOK->click();
  f.ChooseAbout();
  QCOMPARE(f.Player(), QStringLiteral("Current Player: Bob"));

  // Back to an empty name: nothing after the blank, and no trace of the old one.
  f.about.close();
  f.t.window->PlayerName.clear();
  f.ChooseAbout();
  QCOMPARE(f.Player(), QStringLiteral("Current Player: "));
  QCOMPARE(f.about.ui()->lblPlayer->size(), f.about.ui()->lblPlayer->sizeHint());
}

void AboutTest::longNameIsNeitherWrappedNorCut() {
  AboutFixture f;
  f.ChooseAbout();
  const int lineHeight = f.about.ui()->lblPlayer->height();
  f.about.close();
  f.t.window->PlayerName = QString(60, QLatin1Char('W'));
  f.ChooseAbout();
  QLabel *label = f.about.ui()->lblPlayer;
  QCOMPARE(label->text(), QStringLiteral("Current Player: ") + QString(60, QLatin1Char('W')));
  QVERIFY(!label->wordWrap());
  QCOMPARE(label->height(), lineHeight);
  QCOMPARE(label->width(), label->sizeHint().width());
  QVERIFY(label->geometry().right() > f.about.ui()->bvlAbout->geometry().right());
}

void AboutTest::enterClosesAndEscDoesNot() {
  AboutFixture f;
  f.ChooseAbout();
  QVERIFY(QTest::qWaitForWindowExposed(&f.about));
  QTest::keyClick(&f.about, Qt::Key_Escape);
  QVERIFY(f.about.isVisible());
  QTest::keyClick(&f.about, Qt::Key_Return);
  QVERIFY(!f.about.isVisible());

  f.ChooseAbout();
  QTest::keyClick(&f.about, Qt::Key_Enter); // the keypad's Enter too
  QVERIFY(!f.about.isVisible());
}

ZANTHORIX_GUI_TEST_MAIN(AboutTest)
#include "tst_about.moc"
