// SPDX-License-Identifier: GPL-3.0-or-later
// The media player's own rules: the flags of each command, one-shot
// requests, errors on a closed player and the mode query.
#include "FakeMediaDevice.h"
#include "media/MediaPlayer.h"

#include <QCoreApplication>
#include <QTest>

using namespace zanthorix;

class MediaPlayerTest : public QObject {
  Q_OBJECT
private slots:
  void defaultFlagsOfEachCommand();
  void requestsAreUsedOnce();
  void closedPlayerRaisesAndSendsNothing();
  void failedOpenStaysClosed();
  void openWhileOpenClosesFirst();
  void modeQuery();
  void notificationsOfTheDevice();
  void unknownErrorCode();
};

void MediaPlayerTest::defaultFlagsOfEachCommand() {
  FakeMediaDevice device;
  TMediaPlayer player(device, TMPDeviceTypes::dtSequencer);
  player.FileName = QStringLiteral("tune.mid");
  player.Open();
  player.Play();
  player.Stop();
  player.Seek(0);
  player.Close();
  QCOMPARE(device.Sent(),
           QStringList({"open+wait", "play+notify", "stop+wait", "seek+wait", "close+wait"}));
  QCOMPARE(device.commands[0].detail, QStringLiteral("tune.mid"));
  QCOMPARE(device.devices.size(), size_t(0));
  QVERIFY(!player.IsOpen());
  QCOMPARE(player.DeviceID(), MciDeviceId(0));
}

void MediaPlayerTest::requestsAreUsedOnce() {
  FakeMediaDevice device;
  TMediaPlayer player(device, TMPDeviceTypes::dtWaveAudio);
  // A request taken by the open, not by a later command.
  player.SetNotify(true);
  player.Open();
  // Both requests on one play; a false request leaves the default flag out.
  player.SetNotify(false);
  player.SetWait(true);
  player.Play();
  player.Play();
  // The mode query neither uses nor clears a request.
  player.SetNotify(true);
  player.SetWait(false);
  player.Mode();
  player.Stop();
  player.Stop();
  // Asking twice keeps the last value.
  player.SetNotify(true);
  player.SetNotify(false);
  player.Seek(0);
  QCOMPARE(device.Sent(), QStringList({"open+notify+wait", "play+wait", "play+notify",
                                       "stop+notify", "stop+wait", "seek+wait"}));
}

void MediaPlayerTest::closedPlayerRaisesAndSendsNothing() {
  FakeMediaDevice device;
  TMediaPlayer player(device, TMPDeviceTypes::dtSequencer);
  for (auto command : {+[](TMediaPlayer &p) { p.Play(); }, +[](TMediaPlayer &p) { p.Stop(); },
                       +[](TMediaPlayer &p) { p.Seek(0); }}) {
    try {
      command(player);
      QFAIL("no error raised");
    } catch (const EMCIDeviceError &error) {
      QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("No MCI device open"));
    }
  }
  player.Close();
  QVERIFY(device.commands.empty());
  // The raising commands left a pending request alone.
  player.SetNotify(true);
  QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Play());
  player.Open();
  QCOMPARE(device.Sent(), QStringList({"open+notify+wait"}));
}

void MediaPlayerTest::failedOpenStaysClosed() {
  FakeMediaDevice device;
  device.openError = kMciErrNotMidiFile;
  TMediaPlayer player(device, TMPDeviceTypes::dtSequencer);
  try {
    player.Open();
    QFAIL("no error raised");
  } catch (const EMCIDeviceError &error) {
    QCOMPARE(QString::fromUtf8(error.what()), MediaErrorText(kMciErrNotMidiFile));
  }
  QVERIFY(!player.IsOpen());
  QCOMPARE(player.Error(), std::int32_t(kMciErrNotMidiFile));
  QCOMPARE(player.ErrorMessage(), QStringLiteral("The file is not a valid MIDI file"));
  // Later commands fail as on any closed player and keep the open's code.
  QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Play());
  QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Stop());
  QCOMPARE(player.Error(), std::int32_t(kMciErrNotMidiFile));
  QCOMPARE(device.Sent(), QStringList({"open+wait"}));

  // A play that the device refuses is recorded, not raised.
  device.openError = kMciNoError;
  device.playError = kMciErrDeviceFailed;
  player.Open();
  player.Play();
  QCOMPARE(player.Error(), std::int32_t(kMciErrDeviceFailed));
  player.Stop();
  QCOMPARE(player.Error(), std::int32_t(kMciNoError));
}

void MediaPlayerTest::openWhileOpenClosesFirst() {
  FakeMediaDevice device;
  TMediaPlayer player(device, TMPDeviceTypes::dtWaveAudio);
  player.FileName = QStringLiteral("a.wav");
  player.Open();
  const MciDeviceId first = player.DeviceID();
  player.FileName = QStringLiteral("b.wav");
  player.Open();
  QCOMPARE(device.Sent(), QStringList({"open+wait", "close+wait", "open+wait"}));
  QCOMPARE(device.commands[1].id, first);
  QVERIFY(player.DeviceID() != first);
  QCOMPARE(device.devices.size(), size_t(1));
  QCOMPARE(device.devices.begin()->second.file, QStringLiteral("b.wav"));
  QCOMPARE(device.devices.begin()->second.type, QStringLiteral("WaveAudio"));
}

void MediaPlayerTest::modeQuery() {
  FakeMediaDevice device;
  TMediaPlayer player(device, TMPDeviceTypes::dtSequencer);
  QCOMPARE(player.Mode(), mpNotReady);
  player.Open();
  QCOMPARE(player.Mode(), mpStopped);
  QCOMPARE(player.Error(), std::int32_t(kMciNoError));
  player.Play();
  QCOMPARE(player.Mode(), mpPlaying);
  for (TMPModes mode : {mpNotReady, mpRecording, mpSeeking, mpPaused, mpOpen}) {
    device.devices[player.DeviceID()].mode = mode;
    QCOMPARE(player.Mode(), mode);
  }
  QCOMPARE(int(mpOpen), 6);
  // A player whose device is gone never says it is playing.
  device.devices[player.DeviceID()].mode = mpPlaying;
  player.Close();
  QCOMPARE(player.Mode(), mpNotReady);
  QCOMPARE(player.Error(), std::int32_t(kMciErrInvalidDeviceId));
}

void MediaPlayerTest::notificationsOfTheDevice() {
  FakeMediaDevice device;
  TMediaPlayer player(device, TMPDeviceTypes::dtSequencer);
  player.Open();
  player.Play();
  device.End(player.DeviceID());
  QCOMPARE(Deliver(player), 1);
  // A player that is gone closes its device and gets nothing of what was posted.
  {
    TMediaPlayer gone(device, TMPDeviceTypes::dtSequencer);
    gone.Open();
    gone.Play();
  }
  QCOMPARE(device.Sent().last(), QStringLiteral("close+wait"));
  QCoreApplication::sendPostedEvents();
}

void MediaPlayerTest::unknownErrorCode() {
  FakeMediaDevice device;
  device.openError = 9999;
  TMediaPlayer player(device, TMPDeviceTypes::dtWaveAudio);
  QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Open());
  QCOMPARE(player.ErrorMessage(), QStringLiteral("Unknown error code"));
  for (MciError code = kMciErrNoAudioOutput; code <= kMciErrDeviceFailed; ++code)
    QVERIFY2(!MediaErrorText(code).isEmpty(), qPrintable(QString::number(code)));
}

QTEST_GUILESS_MAIN(MediaPlayerTest)
#include "tst_mediaplayer.moc"
