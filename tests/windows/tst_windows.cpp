// SPDX-License-Identifier: GPL-3.0-or-later
// What only the Windows build has, against the system itself: MCI, the
// registry, the score file's folders and the session's end.
#include "app/SessionEnd.h"
#include "app/TestWindow.h"
#include "media/MciMediaDevice.h"
#include "media/MediaPlayer.h"
#include "player/Registry.h"
#include "scores/HighScoreFile.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <windows.h>

#include <mmsystem.h>

using namespace zanthorix;

namespace {

const wchar_t KeyPath[] = L"Software\\Mirrowdale\\Zanthorix\\v1.0";

// Records the notifications posted to it.
class Listener : public QObject {
public:
  std::vector<std::pair<MciNotifyOutcome, MciDeviceId>> got;
  bool event(QEvent *event) override {
    if (event->type() != MciNotifyEvent::EventType()) return QObject::event(event);
    const auto *notify = static_cast<MciNotifyEvent *>(event);
    got.emplace_back(notify->outcome, notify->device);
    return true;
  }
};

// The game's data files are in the build folder, above the tests.
QString Data(const char *name) {
  return QCoreApplication::applicationDirPath() + QStringLiteral("/../") + QLatin1String(name);
}

QString WriteFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
  return path;
}

// Ten seconds of 8 kHz silence: long enough for a stop always to come first.
QByteArray LongWave() {
  const int data = 10 * 8000 * 2;
  QByteArray wave;
  QDataStream out(&wave, QIODevice::WriteOnly);
  out.setByteOrder(QDataStream::LittleEndian);
  out.writeRawData("RIFF", 4);
  out << quint32(36 + data);
  out.writeRawData("WAVEfmt ", 8);
  out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
      << quint16(16);
  out.writeRawData("data", 4);
  out << quint32(data);
  return wave + QByteArray(data, '\0');
}

std::wstring RegistryText(DWORD &type) {
  wchar_t data[64] = {};
  DWORD size = sizeof data;
  if (::RegGetValueW(HKEY_CURRENT_USER, KeyPath, L"User", RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                     &size) != ERROR_SUCCESS)
    return L"<none>";
  return std::wstring(data, size / sizeof(wchar_t));
}

} // namespace

class WindowsTest : public QObject {
  Q_OBJECT
private slots:
  void waveAudioCommandsAndNotifications();
  void badFilesGiveTheSystemsCodesAndTexts();
  void scoresBesideTheProgramInAFolderOfAnyScript();
  void lockedGameFolderKeepsScoresPerUser();
  void registryKeyAndValue();
  void sessionEndSavesBeforeAnswering();
};

void WindowsTest::waveAudioCommandsAndNotifications() {
  MciMediaDevice mci;
  Listener listener;
  const MciFlags wait{false, true, &listener}, notify{true, false, &listener},
      both{true, true, &listener};
  MciDeviceId pop = 0;
  QCOMPARE(mci.Open("WaveAudio", Data("pop.wav"), wait, pop), MciError(0));
  TMPModes mode = mpNotReady;
  QCOMPARE(mci.Mode(pop, mode), MciError(0));
  QCOMPARE(mode, mpStopped);
  // A waiting play has ended when it returns; its notification follows.
  QCOMPARE(mci.Play(pop, both), MciError(0));
  QCOMPARE(mci.Mode(pop, mode), MciError(0));
  QCOMPARE(mode, mpStopped);
  QTRY_COMPARE(listener.got.size(), std::size_t(1));
  QCOMPARE(listener.got[0], std::pair(MciNotifyOutcome::Successful, pop));
  QCOMPARE(mci.Close(pop, wait), MciError(0));
  QCOMPARE(mci.Play(pop, wait), MciError(MCIERR_INVALID_DEVICE_ID));

  // A stop ends a play that notifies; a seek notifies when asked to. The
  // folder's name has a letter that no ANSI code page holds.
  const QTemporaryDir base;
  const QString folder = base.filePath(QStringLiteral("Zanthorix \u2603"));
  QVERIFY(QDir().mkpath(folder));
  MciDeviceId sound = 0;
  QCOMPARE(mci.Open("WaveAudio", WriteFile(folder + "/long.wav", LongWave()), wait, sound),
           MciError(0));
  QVERIFY(sound != pop); // every open has a number of its own
  QCOMPARE(mci.Play(sound, notify), MciError(0));
  QCOMPARE(mci.Mode(sound, mode), MciError(0));
  QCOMPARE(mode, mpPlaying);
  QCOMPARE(mci.Stop(sound, wait), MciError(0));
  QTRY_COMPARE(listener.got.size(), std::size_t(2));
  QCOMPARE(listener.got[1], std::pair(MciNotifyOutcome::Aborted, sound));
  QCOMPARE(mci.Seek(sound, 0, both), MciError(0));
  QTRY_COMPARE(listener.got.size(), std::size_t(3));
  QCOMPARE(listener.got[2], std::pair(MciNotifyOutcome::Successful, sound));
  // Closed while playing: the play's notification still reaches its player.
  QCOMPARE(mci.Play(sound, notify), MciError(0));
  QCOMPARE(mci.Close(sound, wait), MciError(0));
  QTRY_COMPARE(listener.got.size(), std::size_t(4));
  QCOMPARE(listener.got[3].second, sound);
  QVERIFY(listener.got[3].first != MciNotifyOutcome::Successful);
}

void WindowsTest::badFilesGiveTheSystemsCodesAndTexts() {
  MciMediaDevice mci;
  const QTemporaryDir folder;
  const QString noWave = WriteFile(folder.filePath("bad.wav"), "RIFF and then nothing of a wave");
  const QString noMidi = WriteFile(folder.filePath("bad.mid"), "MThd but nothing more");
  QVERIFY(!noWave.isEmpty() && !noMidi.isEmpty());
  for (const auto &[type, file, code] :
       {std::tuple(TMPDeviceTypes::dtWaveAudio, noWave, MCIERR_INVALID_FILE),
        std::tuple(TMPDeviceTypes::dtSequencer, noMidi, MCIERR_INVALID_FILE),
        std::tuple(TMPDeviceTypes::dtWaveAudio, folder.filePath("none.wav"),
                   MCIERR_FILE_NOT_FOUND)}) {
    TMediaPlayer player(mci, type);
    player.FileName = file;
    QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Open());
    QVERIFY(!player.IsOpen());
    QCOMPARE(player.Error(), int(code));
    // The system's own words, as the music error box shows them.
    QVERIFY(player.ErrorMessage().size() > 20);
  }
  QVERIFY(mci.ErrorText(MCIERR_INVALID_FILE) != mci.ErrorText(MCIERR_FILE_NOT_FOUND));
  QCOMPARE(mci.ErrorText(0xffff), QString());

  // The sequencer plays without a MIDI output, and a stop ends the play.
  Listener listener;
  MciDeviceId music = 0;
  QCOMPARE(mci.Open("Sequencer", Data("bgmusic.mid"), {false, true, &listener}, music),
           MciError(0));
  QCOMPARE(mci.Play(music, {true, false, &listener}), MciError(0));
  TMPModes mode = mpNotReady;
  QCOMPARE(mci.Mode(music, mode), MciError(0));
  QCOMPARE(mode, mpPlaying);
  QCOMPARE(mci.Stop(music, {false, true, &listener}), MciError(0));
  QTRY_COMPARE(listener.got.size(), std::size_t(1));
  QCOMPARE(listener.got[0], std::pair(MciNotifyOutcome::Aborted, music));
  QCOMPARE(mci.Close(music, {false, true, &listener}), MciError(0));
}

void WindowsTest::scoresBesideTheProgramInAFolderOfAnyScript() {
  const QTemporaryDir base;
  const QString folder = base.path() + QStringLiteral("/Ζάνθοριξ 遊戲 Игра/");
  QVERIFY(QDir().mkpath(folder));
  // What a killed save left goes; a file too large to be its copy stays.
  const QString copy = "HighScores.Dat.zanthorix-save-";
  QVERIFY(!WriteFile(folder + copy + "99999999", "left").isEmpty());
  QVERIFY(!WriteFile(folder + copy + "99999998", QByteArray(50 * 108 + 1, 'x')).isEmpty());
  SystemScoreFileSystem files;
  HighScoreTables tables;
  LoadHighScores(tables, folder.toStdString(), files);
  QCOMPARE(QString::fromStdString(tables.File), folder + "HighScores.Dat");
  for (const char *name : {"Ned", "Ola"}) {
    InsertHighScore(tables, 4, 1, name, 90);
    SaveHighScores(tables, folder.toStdString(), files); // the second replaces the first
  }
  QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
           QStringList({"HighScores.Dat", copy + "99999998"}));
  QFile file(folder + "HighScores.Dat");
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  QCOMPARE(bytes.size(), 50 * 108);
  QCOMPARE(bytes.mid(10 * 108, 4), QByteArray("\x03Ola"));
  QCOMPARE(bytes.mid(11 * 108, 4), QByteArray("\x03Ned"));
  HighScoreTables again;
  LoadHighScores(again, folder.toStdString(), files);
  QCOMPARE(again.Tables[1][1].Score, 90);
  // What the shared save code reports, in this system's codes and words.
  QCOMPARE(InOutErrorText(DiskFull), std::string("Disk full"));
  QCOMPARE(InOutErrorText(AccessDenied), std::string("File access denied"));
}

void WindowsTest::lockedGameFolderKeepsScoresPerUser() {
  // Program Files for a player; Wine runs as a user who may write there, so
  // its run names a folder that no one may add to.
  const QString locked = qEnvironmentVariable("ZANTHORIX_LOCKED_FOLDER", "C:/Program Files/");
  SystemScoreFileSystem files;
  QVERIFY(!files.CanCreateIn(locked.toStdString()));
  QVERIFY(files.CanCreateIn(QDir::tempPath().toStdString() + '/'));
  const QString user = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA")) +
                       "/Mirrowdale/Zanthorix/HighScores.Dat";
  QFile::remove(user);
  HighScoreTables tables;
  LoadHighScores(tables, locked.toStdString(), files);
  QCOMPARE(QString::fromStdString(tables.File).toLower(), user.toLower());
  InsertHighScore(tables, 3, 1, "Ned", 90);
  SaveHighScores(tables, locked.toStdString(), files);
  QFile file(user);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.size(), 50 * 108);
  QCOMPARE(file.read(4), QByteArray("\x03Ned"));
}

void WindowsTest::registryKeyAndValue() {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Mirrowdale");
  {
    // A first run reads an empty name and creates nothing.
    TRegistry registry;
    QVERIFY(!registry.OpenKey("Software\\Mirrowdale\\Zanthorix\\v1.0", false));
    QCOMPARE(registry.ReadString("User"), QString());
    HKEY key = nullptr;
    QCOMPARE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Mirrowdale", 0, KEY_READ, &key),
             LONG(ERROR_FILE_NOT_FOUND));
  }
  NativeSettingsStore real;
  TestWindow t(1, true, [&real](TestWindow &w) { w.store = &real; });
  t.dialogs.inputs.push_back(QStringLiteral("Ζωή Ned "));
  t.window->mnuOptionsUserClick();
  DWORD type = 0;
  QCOMPARE(RegistryText(type), std::wstring(L"Ζωή Ned \0", 9));
  QCOMPARE(type, DWORD(REG_SZ));

  // Another name put there by hand, as the registry editor would.
  const wchar_t expand[] = L"%TEMP%\\x";
  const auto put = [](DWORD kind, const void *bytes, DWORD size) {
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, KeyPath, L"User", kind, bytes, size);
  };
  QCOMPARE(put(REG_EXPAND_SZ, expand, sizeof expand), LONG(ERROR_SUCCESS));
  const auto read = [] {
    TRegistry registry;
    registry.OpenKey("Software\\Mirrowdale\\Zanthorix\\v1.0", false);
    return registry.ReadString("User");
  };
  QCOMPARE(read(), QStringLiteral("%TEMP%\\x"));
  // Any text is a name as stored, also one that Qt's own settings would
  // take for an escape.
  for (const wchar_t *text : {L"@@Bob", L"@Rect(1 2 3 4)"}) {
    QCOMPARE(put(REG_SZ, text, DWORD((wcslen(text) + 1) * sizeof(wchar_t))), LONG(ERROR_SUCCESS));
    QCOMPARE(read(), QString::fromWCharArray(text));
  }
  t.dialogs.inputs.push_back(QStringLiteral("@Bob"));
  t.window->mnuOptionsUserClick();
  QCOMPARE(RegistryText(type), std::wstring(L"@Bob\0", 5));
  // Bytes are not a name, even bytes that spell one; Cancel then writes text.
  const BYTE bytes[] = {0x41, 0, 0x42, 0};
  QCOMPARE(put(REG_BINARY, bytes, sizeof bytes), LONG(ERROR_SUCCESS));
  QVERIFY_THROWS_EXCEPTION(ERegistryException, read());
  t.dialogs.inputs.push_back(t.window->PlayerName);
  t.window->mnuOptionsUserClick();
  QCOMPARE(RegistryText(type), std::wstring(L"@Bob\0", 5));
  QCOMPARE(type, DWORD(REG_SZ));
  // Only the user's key counts: not the machine's beside an empty one.
  QCOMPARE(::RegDeleteKeyValueW(HKEY_CURRENT_USER, KeyPath, L"User"), LONG(ERROR_SUCCESS));
  const wchar_t machine[] = L"Machine";
  QCOMPARE(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, KeyPath, L"User", REG_SZ, machine, sizeof machine),
           LONG(ERROR_SUCCESS));
  QCOMPARE(read(), QString());
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Mirrowdale");
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Mirrowdale");
}

void WindowsTest::sessionEndSavesBeforeAnswering() {
  QStringList steps;
  const SessionEnd watcher([&steps] { steps << "close"; }, SessionEnd::Afterwards::Restore,
                           [&steps] { steps << "save"; });
  // As Windows asks: every top-level window of the program, one by one.
  std::vector<HWND> windows;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM list) {
        reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  QVERIFY(!windows.empty());
  for (const HWND window : windows)
    QVERIFY(::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) != 0);
  for (const HWND window : windows) // another program refused: the session goes on
    ::SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
  QVERIFY(steps.isEmpty());
  for (const HWND window : windows)
    ::SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  QCOMPARE(steps, QStringList({"close", "save"}));
}

ZANTHORIX_GUI_TEST_MAIN(WindowsTest)
#include "tst_windows.moc"
