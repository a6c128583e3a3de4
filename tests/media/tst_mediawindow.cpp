// SPDX-License-Identifier: GPL-3.0-or-later
// Sound effects and background music as the main window plays them, on a
// silent device that a test ends pieces on.
#include "app/TestWindow.h"

#include "app/BoardArea.h"
#include "media/MediaPlayer.h"
#include "ui_Main.h"

#include <QFile>
#include <QTest>

using namespace zanthorix;

namespace {

const QString kWave = QStringLiteral("WaveAudio");
const QString kMidi = QStringLiteral("Sequencer");

void Touch(const QString &path, const QByteArray &bytes = "RIFF") {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

void Deliver() { QCoreApplication::sendPostedEvents(); }

class PaintCounter : public QObject {
public:
  int paints = 0;
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct MusicWindow : TestWindow {
  MusicWindow() {
    Deliver();
    media.Clear();
  }
  MciDeviceId Id() const { return media.OpenOf(kMidi); }
  QAction *Item() const { return window->ui()->mnuOptionsMusic; }
  void End() {
    media.End(Id());
    Deliver();
  }
};

} // namespace

class MediaWindowTest : public QObject {
  Q_OBJECT
private slots:
  void soundFxSwitch();
  void soundFxOffTouchesNoDevice();
  void soundsOnPressesAndClosedBetween();
  void missingSoundIsSilent();
  void badWaveReportedOnEveryPress();
  void repaintComesAfterTheSound();
  void musicLoadedButSilentAtStart();
  void musicLoopStepByStep();
  void offAndOnResumes();
  void offJustBeforeTheEndDoesNotRestart();
  void missingMusicFile();
  void failedMusicOpen();
  void refusedPlayIsQuiet();
  void closingStopsMusic();
  void closingBeforeAnySoundClosesNothing();
  void closingWithASoundsNotificationPending();
};

void MediaWindowTest::soundFxSwitch() {
  TestWindow t;
  QAction *item = t.window->ui()->mnuOptionsSoundFX;
  QVERIFY(!item->isChecked());
  item->trigger();
  QVERIFY(item->isChecked());
  item->trigger();
  QVERIFY(!item->isChecked());
  QVERIFY(t.media.Sent(kWave).isEmpty());
  // A new window (a new start) has it off again.
  item->trigger();
  TestWindow again;
  QVERIFY(!again.window->ui()->mnuOptionsSoundFX->isChecked());
}

void MediaWindowTest::soundFxOffTouchesNoDevice() {
  TestWindow t;
  Touch(t.folder.filePath("pop.wav"));
  Touch(t.folder.filePath("pop2.wav"));
  const QPoint group = GroupSquare(t.window->board);
  QVERIFY(group.x() > 0);
  Deliver();
  t.media.Clear();
  const QPoint at = Centre(group.x(), group.y());
  t.Press(at.x(), at.y());
  QVERIFY(t.window->board(group.x(), group.y()).Selected);
  t.Press(at.x(), at.y());
  QVERIFY(!t.window->board(group.x(), group.y()).Selected);
  Deliver();
  QVERIFY(t.media.commands.empty());
  QVERIFY(t.dialogs.boxes.empty());
}

void MediaWindowTest::soundsOnPressesAndClosedBetween() {
  TestWindow t;
  Touch(t.folder.filePath("pop.wav"));
  Touch(t.folder.filePath("pop2.wav"));
  t.window->ui()->mnuOptionsSoundFX->trigger();
  Deliver();
  t.media.Clear();
  const QPoint group = GroupSquare(t.window->board);
  const QPoint at = Centre(group.x(), group.y());

  // The sound's notification, delivered after the press, stops and closes it.
  t.Press(at.x(), at.y());
  Deliver();
  QCOMPARE(t.media.Sent(kWave),
           QStringList({"open+wait", "play+notify+wait", "stop+wait", "close+wait"}));
  QCOMPARE(t.media.commands[1].detail, t.folder.filePath("pop2.wav"));
  QCOMPARE(t.media.OpenOf(kWave), MciDeviceId(0));

  t.media.Clear();
  t.Press(at.x(), at.y());
  Deliver();
  QCOMPARE(t.media.Sent(kWave),
           QStringList({"open+wait", "play+notify+wait", "stop+wait", "close+wait"}));
  QCOMPARE(t.media.commands[1].detail, t.folder.filePath("pop.wav"));
  QVERIFY(t.dialogs.boxes.empty());

  // Presses that come before the last sound's notification was delivered:
  // the stale notifications must not close the newer sound's device.
  t.media.Clear();
  const QPoint next = Centre(GroupSquare(t.window->board).x(), GroupSquare(t.window->board).y());
  for (int press = 0; press < 2; ++press)
    QCoreApplication::postEvent(
        t.window->ui()->boardArea,
        new QMouseEvent(QEvent::MouseButtonPress, next, next, Qt::LeftButton, Qt::LeftButton, {}));
  Deliver(); // the presses, which post their notifications
  Deliver();
  QVERIFY(t.dialogs.boxes.empty());
  QCOMPARE(t.media.OpenOf(kWave), MciDeviceId(0));
  QCOMPARE(t.media.Sent(kWave).count("close+wait"), 2);

  // A device still playing when the next sound comes is stopped and closed first.
  t.media.Clear();
  t.window->PlaySound(QStringLiteral("pop"));
  t.media.devices[t.media.OpenOf(kWave)].mode = mpPlaying;
  t.window->PlaySound(QStringLiteral("pop2"));
  QCOMPARE(t.media.Sent(kWave), QStringList({"open+wait", "play+notify+wait", "stop+wait",
                                             "close+wait", "open+wait", "play+notify+wait"}));
}

void MediaWindowTest::missingSoundIsSilent() {
  TestWindow t;
  Touch(t.folder.filePath("pop.wav"));
  t.window->ui()->mnuOptionsSoundFX->trigger();
  Deliver();
  t.media.Clear();
  const QPoint group = GroupSquare(t.window->board);
  const QPoint at = Centre(group.x(), group.y());
  t.Press(at.x(), at.y());
  QVERIFY(t.window->board(group.x(), group.y()).Selected);
  QVERIFY(t.Panel(1).startsWith(QStringLiteral("Points: ")));
  QVERIFY(t.media.Sent(kWave).isEmpty());
  t.Press(at.x(), at.y()); // pop.wav is there
  Deliver();
  QCOMPARE(t.media.Sent(kWave).size(), 4);
  QVERIFY(t.dialogs.boxes.empty());
}

void MediaWindowTest::badWaveReportedOnEveryPress() {
  TestWindow t;
  Touch(t.folder.filePath("pop.wav"));
  Touch(t.folder.filePath("pop2.wav"));
  t.window->ui()->mnuOptionsSoundFX->trigger();
  Deliver();
  t.media.openError = kMciErrNotWaveFile;
  const QPoint group = GroupSquare(t.window->board);
  const QPoint at = Centre(group.x(), group.y());
  t.Press(at.x(), at.y());
  t.Press(at.x(), at.y());
  Deliver();
  QCOMPARE(t.dialogs.boxes.size(), size_t(2));
  for (const ShownBox &box : t.dialogs.boxes) {
    QCOMPARE(box.text,
             QStringLiteral("Error playing sound! The file is not a valid wave file (303)"));
    QCOMPARE(box.caption, QStringLiteral("Error!"));
    QCOMPARE(box.buttons, MsgButtons::Ok);
    QCOMPARE(box.icon, MsgIcon::None);
  }
  // The move went on: the group was highlighted, then removed.
  QVERIFY(t.window->Score > 0);
  QCOMPARE(t.media.OpenOf(kWave), MciDeviceId(0));
}

void MediaWindowTest::repaintComesAfterTheSound() {
  TestWindow t;
  Touch(t.folder.filePath("pop.wav"));
  Touch(t.folder.filePath("pop2.wav"));
  t.window->ui()->mnuOptionsSoundFX->trigger();
  Deliver();
  PaintCounter counter;
  t.window->ui()->boardArea->installEventFilter(&counter);
  const QPoint group = GroupSquare(t.window->board);
  const QPoint at = Centre(group.x(), group.y());

  for (int press = 0; press < 2; ++press) {
    const int before = counter.paints;
    const Board board = t.window->board;
    int paintsWhilePlaying = -1;
    bool boardUnchanged = false;
    bool notifiedWhilePlaying = true;
    t.media.onWaitingPlay = [&](MciDeviceId id) {
      paintsWhilePlaying = counter.paints;
      boardUnchanged = t.window->board == board;
      // The notification of an earlier sound cannot have closed this one.
      notifiedWhilePlaying = t.media.Find(id) == nullptr;
    };
    t.Press(at.x(), at.y());
    QCOMPARE(paintsWhilePlaying, before);
    QVERIFY(boardUnchanged);
    QVERIFY(!notifiedWhilePlaying);
    QVERIFY(counter.paints > before);
    Deliver();
  }
  QVERIFY(t.window->Score > 0);
}

void MediaWindowTest::musicLoadedButSilentAtStart() {
  TestWindow t;
  QCOMPARE(t.media.Sent(kMidi), QStringList({"open+wait"}));
  QCOMPARE(t.media.commands[0].detail, t.folder.filePath("bgmusic.mid"));
  QVERIFY(!t.window->ui()->mnuOptionsMusic->isChecked());
  QVERIFY(t.window->ui()->mnuOptionsMusic->isEnabled());
  QVERIFY(t.dialogs.boxes.empty());
}

void MediaWindowTest::musicLoopStepByStep() {
  MusicWindow t;
  // 1. On: a play with notify.
  t.Item()->trigger();
  QVERIFY(t.Item()->isChecked());
  QCOMPARE(t.media.Sent(kMidi), QStringList({"play+notify"}));
  Deliver();
  QCOMPARE(t.media.Sent(kMidi).size(), 1); // nothing happens until the end
  // 2. The end: back to the start and play again, then a request for notify.
  t.media.Clear();
  t.End();
  QCOMPARE(t.media.Sent(kMidi), QStringList({"seek+wait", "play+notify"}));
  QCOMPARE(t.media.commands[1].detail, QStringLiteral("0"));
  // 3. The next end: the pending request makes the seek notify too; that
  // notification finds the piece playing and only asks for notify again.
  for (int loop = 0; loop < 3; ++loop) {
    t.media.Clear();
    t.End();
    QCOMPARE(t.media.Sent(kMidi), QStringList({"seek+notify+wait", "play+notify"}));
    QCOMPARE(t.window->mpMusic->Mode(), mpPlaying);
  }
  // 4. Off: the stop carries the pending request; its own notification and
  // the aborted play's are handled without restarting.
  t.media.Clear();
  t.Item()->trigger();
  QVERIFY(!t.Item()->isChecked());
  Deliver();
  QCOMPARE(t.media.Sent(kMidi), QStringList({"stop+notify+wait"}));
  QCOMPARE(t.window->mpMusic->Mode(), mpStopped);
  QVERIFY(t.dialogs.boxes.empty());
  // The handler asked for notify once more: the next play takes it.
  t.media.Clear();
  t.Item()->trigger();
  QCOMPARE(t.media.Sent(kMidi), QStringList({"play+notify"}));
}

void MediaWindowTest::offAndOnResumes() {
  MusicWindow t;
  t.Item()->trigger();
  t.Item()->trigger();
  Deliver();
  t.Item()->trigger();
  Deliver();
  // No seek, rewind, close or open: play goes on where the stop left it.
  QCOMPARE(t.media.Sent(kMidi), QStringList({"play+notify", "stop+wait", "play+notify"}));
  QCOMPARE(t.window->mpMusic->Mode(), mpPlaying);
  // Ctrl+M does the same as the menu.
  t.window->activateWindow();
  QTest::keyClick(t.window.get(), Qt::Key_M, Qt::ControlModifier);
  QVERIFY(!t.Item()->isChecked());
  QCOMPARE(t.window->mpMusic->Mode(), mpStopped);
}

void MediaWindowTest::offJustBeforeTheEndDoesNotRestart() {
  MusicWindow t;
  t.Item()->trigger();
  Deliver();
  // The end is already on its way when the player turns music off.
  t.media.End(t.Id());
  t.Item()->trigger();
  t.media.Clear();
  Deliver();
  QVERIFY(t.media.Sent(kMidi).isEmpty());
  QCOMPARE(t.window->mpMusic->Mode(), mpStopped);
}

void MediaWindowTest::missingMusicFile() {
  TestWindow t(1, false);
  QVERIFY(QFile::remove(t.folder.filePath("bgmusic.mid")));
  // The music is looked for once the board is on screen behind the box.
  bool painted = false;
  t.dialogs.onBox = [&] { painted = t.Panel(0) == QStringLiteral("Score: 0"); };
  ShowWindow(*t.window);
  QVERIFY(painted);
  QCOMPARE(t.dialogs.boxes.size(), size_t(1));
  const ShownBox &box = t.dialogs.boxes[0];
  QCOMPARE(box.text,
           QStringLiteral("Error finding ") + t.folder.path() + QStringLiteral("/bgmusic.mid!"));
  QCOMPARE(box.caption, QStringLiteral("Error!"));
  QCOMPARE(box.icon, MsgIcon::None);
  QAction *item = t.window->ui()->mnuOptionsMusic;
  QVERIFY(!item->isEnabled());
  t.window->activateWindow();
  QTest::keyClick(t.window.get(), Qt::Key_M, Qt::ControlModifier);
  item->trigger();
  QVERIFY(!item->isChecked());
  QCOMPARE(t.dialogs.boxes.size(), size_t(1));
  QVERIFY(t.media.commands.empty());
  // It stays greyed out, even when the file turns up later.
  Touch(t.folder.filePath("bgmusic.mid"));
  t.window->hide();
  t.window->show();
  QVERIFY(!item->isEnabled());
}

void MediaWindowTest::failedMusicOpen() {
  TestWindow t(1, false);
  t.media.openError = kMciErrNotMidiFile;
  ShowWindow(*t.window);
  const QString message = QStringLiteral("Error code: 304\r\nThe file is not a valid MIDI file");
  QCOMPARE(t.dialogs.boxes.size(), size_t(1));
  QCOMPARE(t.dialogs.boxes[0].text, message);
  QCOMPARE(t.dialogs.boxes[0].caption, QStringLiteral("Error!"));
  QCOMPARE(t.dialogs.boxes[0].icon, MsgIcon::Exclamation);
  QAction *item = t.window->ui()->mnuOptionsMusic;
  QVERIFY(item->isEnabled());
  // Every choice toggles the mark and shows the open's error again.
  for (int choice = 1; choice <= 3; ++choice) {
    item->trigger();
    QCOMPARE(item->isChecked(), choice % 2 == 1);
    QCOMPARE(t.dialogs.boxes.size(), size_t(1 + choice));
    QCOMPARE(t.dialogs.boxes.back().text, message);
    QCOMPARE(t.dialogs.boxes.back().icon, MsgIcon::Exclamation);
  }
  QCOMPARE(t.media.Sent(kMidi), QStringList({"open+wait"}));
}

void MediaWindowTest::refusedPlayIsQuiet() {
  MusicWindow t;
  t.media.playError = kMciErrDeviceFailed;
  t.Item()->trigger();
  Deliver();
  QVERIFY(t.Item()->isChecked());
  QVERIFY(t.dialogs.boxes.empty());
  QCOMPARE(t.window->mpMusic->Error(), std::int32_t(kMciErrDeviceFailed));
}

void MediaWindowTest::closingStopsMusic() {
  MusicWindow t;
  t.Item()->trigger();
  const MciDeviceId id = t.Id();
  t.media.Clear();
  t.window->close();
  Deliver();
  QCOMPARE(t.media.Sent(kMidi), QStringList({"stop+wait", "close+wait"}));
  QVERIFY(t.media.Find(id) == nullptr);
  QVERIFY(t.media.Sent(kWave).isEmpty());
  QVERIFY(t.dialogs.boxes.empty());
}

void MediaWindowTest::closingBeforeAnySoundClosesNothing() {
  MusicWindow t; // music loaded, never played
  t.window->close();
  Deliver();
  // The open music is closed without a stop; the sound player has nothing to close.
  QCOMPARE(t.media.Sent(), QStringList({"close+wait"}));
  QVERIFY(t.dialogs.boxes.empty());
}

// A termination request closes the window while a sound plays, before the
// sound's notification is delivered: the closing reports no error of its own.
void MediaWindowTest::closingWithASoundsNotificationPending() {
  TestWindow t;
  Touch(t.folder.filePath("pop2.wav"));
  t.window->ui()->mnuOptionsSoundFX->trigger();
  Deliver();
  t.media.onWaitingPlay = [&](MciDeviceId) { t.window->close(); };
  const QPoint at = Centre(GroupSquare(t.window->board).x(), GroupSquare(t.window->board).y());
  t.Press(at.x(), at.y());
  Deliver();
  QCOMPARE(t.media.OpenOf(kWave), MciDeviceId(0));
  QVERIFY(t.dialogs.boxes.empty());
}

ZANTHORIX_GUI_TEST_MAIN(MediaWindowTest)
#include "tst_mediawindow.moc"
