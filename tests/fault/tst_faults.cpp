// Faults of the real program: killed, terminated, out of disk space, fed
// damaged files. The game runs as a separate process from a folder of its own.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int FileSize = 50 * 108;

QByteArray ReadAll(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray RandomBytes(QRandomGenerator &rng, int size) {
  QByteArray bytes(size, Qt::Uninitialized);
  for (char &c : bytes)
    c = char(rng.bounded(256));
  return bytes;
}

// A game folder: the executable with its data files beside it, and a
// settings folder of its own.
struct Game {
  QTemporaryDir folder;
  QTemporaryDir config;
  QTemporaryDir data;
  QProcess process;
  QString scores;
  QString ownScores; // the player's own table

  Game() {
    const QString built = QStringLiteral(ZANTHORIX_EXE);
    const QString from = QFileInfo(built).absolutePath();
    for (const char *name :
         {"pop.wav", "pop2.wav", "bgmusic.mid", "Zanthorix.hlp", "libzanthorix_audio.so"})
      QFile::copy(from + QLatin1Char('/') + QLatin1String(name), folder.filePath(name));
    QFile::copy(built, folder.filePath("zanthorix"));
    scores = folder.filePath("HighScores.Dat");
    ownScores = data.filePath("Mirrowdale/Zanthorix/HighScores.Dat");
#ifdef ZANTHORIX_READ_ONLY_GAME_FOLDER // the game folder is never written
    QDir(data.path()).mkpath("Mirrowdale/Zanthorix");
    scores = ownScores;
#endif
  }

  void Start(const QStringList &extraEnv = {}, bool asPlayer = false) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("XDG_DATA_HOME", data.path());
    for (const QString &assignment : extraEnv)
      env.insert(assignment.section('=', 0, 0), assignment.section('=', 1));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList command{folder.filePath("zanthorix")};
    if (asPlayer && ::geteuid() == 0) { // a game folder of root's, folders of nobody's own
      QVERIFY(::chmod(qPrintable(folder.path()), 0755) == 0 &&
              ::chown(qPrintable(config.path()), 65534, 65534) == 0 &&
              ::chown(qPrintable(data.path()), 65534, 65534) == 0);
      command =
          QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    } else if (asPlayer) { // only root may run it as another user: a folder we may not write
      QVERIFY(::chmod(qPrintable(folder.path()), 0555) == 0);
      lockedFolder = true;
    }
    process.start(command.takeFirst(), command);
    QVERIFY(process.waitForStarted());
  }

  // Lets the game come up (this paces the test; it asserts no duration).
  void Settle(int ms = 1500) { QTest::qWait(ms); }

  // Only ever the game this test started: a process id of 0 or below would
  // signal the whole process group or every process we may signal.
  void Signal(int signal) {
    const pid_t pid = pid_t(process.processId());
    if (process.state() != QProcess::NotRunning && pid > 0) ::kill(pid, signal);
  }

  // Ends it the orderly way; it must be gone in good time, with status 0.
  void End(int signal = SIGTERM, int times = 1) {
    for (int i = 0; i < times; ++i)
      Signal(signal);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
  }

  ~Game() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished();
    }
    if (lockedFolder) ::chmod(qPrintable(folder.path()), 0755); // so that it can be removed
  }

  bool lockedFolder = false;
};

QByteArray DefaultFile() {
  // What the game writes with no file at start: every table "This could be
  // you!" with 10 down to 1.
  QByteArray bytes;
  for (int table = 0; table < 5; ++table)
    for (int i = 1; i <= 10; ++i) {
      QByteArray record(108, '\0');
      record[0] = 18;
      record.replace(1, 18, "This could be you!");
      record[104] = char(11 - i);
      bytes += record;
    }
  return bytes;
}

} // namespace

class FaultTest : public QObject {
  Q_OBJECT
private slots:
  void terminateDuringPlaySavesTables();
  void terminateWhileABoxIsOpen();
  void scoreFilesThePlayerCannotWrite();
  void killDuringSaveLeavesWholeFile();
  void fullDiskAtExitKeepsOldFile();
  void damagedFilesNeverCrash();
  void noDisplaySaysSoInOneLine();
};

void FaultTest::terminateDuringPlaySavesTables() {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    Game game;
    game.Start();
    game.Settle();
    game.End(signal);
    QCOMPARE(ReadAll(game.scores), DefaultFile());
  }
}

// The name prompt, a question, a start-up box: each is answered as Cancel or
// No would answer it, the game ends and saves. A second request does no harm.
void FaultTest::terminateWhileABoxIsOpen() {
  for (const QString command : {"mnuOptionsUser", "mnuBalls3", ""}) {
    Game game;
    if (command.isEmpty()) WriteAll(game.scores, DefaultFile().left(300)); // a box at start-up
    game.Start({"LD_PRELOAD=" + QString(command.isEmpty() ? "" : ZANTHORIX_COMMAND),
                "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0",
                "ZANTHORIX_TEST_COMMAND=" + command});
    game.Settle(2500);
    game.End(SIGTERM, command.isEmpty() ? 1 : 2);
    QCOMPARE(ReadAll(game.scores), command.isEmpty()
                                       ? DefaultFile().left(300) + QByteArray(FileSize - 300, 0)
                                       : DefaultFile());
  }
}

// Installed for everyone, the game folder belongs to root; the player is
// nobody. Without root the player is our own user, kept out of a read-only
// folder. No file, a FIFO (never opened: it would wait) or a read-only file:
// the player's own file is the table. A file the player may write stays
// shared, written in place.
void FaultTest::scoreFilesThePlayerCannotWrite() {
#ifdef ZANTHORIX_READ_ONLY_GAME_FOLDER
  QSKIP("This build never writes in the game folder");
#endif
  if (::geteuid() != 0) qInfo("Not root: played by this user in a read-only folder, not by nobody");
  QByteArray lived = DefaultFile() + DefaultFile().left(10 * 108);
  lived[104] = char(66);
  for (const int kind : {0, 1, 0444, 0666}) {
    Game game;
    if (kind == 1) { // and the settings file too
      QVERIFY(QDir(game.config.path()).mkdir("Mirrowdale"));
      QCOMPARE(::mkfifo(qPrintable(game.scores), 0666), 0);
      QCOMPARE(::mkfifo(qPrintable(game.config.filePath("Mirrowdale/Zanthorix.conf")), 0666), 0);
    }
    if (kind > 1) {
      WriteAll(game.scores, lived);
      QCOMPARE(::chmod(qPrintable(game.scores), kind), 0);
    }
    game.Start({}, true);
    game.Settle();
    game.End();
    QCOMPARE(ReadAll(kind == 0666 ? game.scores : game.ownScores),
             kind > 1 ? lived.left(FileSize) : DefaultFile());
    QCOMPARE(QFile::exists(game.ownScores), kind != 0666);
    if (kind == 0444) QCOMPARE(ReadAll(game.scores), lived);
    QCOMPARE(QFileInfo(game.scores).isFile(), kind > 1); // none made, no FIFO replaced
  }
}

// A file of 60 records is cut to 50 by the save: killed at any moment, the
// game leaves either the whole old file or the whole new one.
void FaultTest::killDuringSaveLeavesWholeFile() {
  QRandomGenerator rng(1207);
  QByteArray old = DefaultFile() + DefaultFile().left(10 * 108);
  old[104] = char(77); // a score of the game's own
  const QByteArray saved = old.left(FileSize);
  const int rounds = qEnvironmentVariableIntValue("ZANTHORIX_KILL_ROUNDS") > 0
                         ? qEnvironmentVariableIntValue("ZANTHORIX_KILL_ROUNDS")
                         : 12;
  int oldKept = 0, newWritten = 0;
  for (int round = 0; round < rounds; ++round) {
    Game game;
    WriteAll(game.scores, old);
    game.Start();
    game.Settle(1000);
    game.Signal(SIGTERM);
    // Somewhere in the orderly way out, the save included.
    QThread::usleep(rng.bounded(6000));
    game.Signal(SIGKILL);
    QVERIFY(game.process.waitForFinished(20000));
    const QByteArray now = ReadAll(game.scores);
    QVERIFY2(
        now == old || now == saved,
        qPrintable(QString("round %1: %2 bytes, neither old nor new").arg(round).arg(now.size())));
    ++(now == old ? oldKept : newWritten);
  }
  qInfo("%d kills: %d left the old file, %d the new one", rounds, oldKept, newWritten);
}

// Every write to the high-score file fails as on a full disk: the old file
// stays whole and the game reports the error instead of ending.
void FaultTest::fullDiskAtExitKeepsOldFile() {
  Game game;
  QByteArray old = DefaultFile();
  old[104] = char(55);
  WriteAll(game.scores, old);
  game.Start({QStringLiteral("LD_PRELOAD=") + QStringLiteral(ZANTHORIX_FAILWRITE),
              QStringLiteral("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0")});
  game.Settle();
  game.Signal(SIGTERM);
  // The error box waits for the player: the game is still there, its main
  // window closed, the save refused.
  QVERIFY(!game.process.waitForFinished(3000));
  QCOMPARE(ReadAll(game.scores), old);
  game.End(); // a second request closes that box
  const QStringList leftovers =
      QFileInfo(game.scores).dir().entryList({QStringLiteral("HighScores.Dat*")}, QDir::Files);
  QCOMPARE(leftovers, QStringList{QStringLiteral("HighScores.Dat")});
}

// Random high-score files of random length and a garbled settings file: the
// game starts and stays up (boxes may wait for the player).
void FaultTest::damagedFilesNeverCrash() {
  QRandomGenerator rng(42);
  for (int round = 0; round < 8; ++round) {
    Game game;
    const int sizes[] = {0, 1, 107, 108 * 3 + 5, FileSize - 1, FileSize, FileSize + 333};
    const int size = round < 7 ? sizes[round] : int(rng.bounded(12000));
    WriteAll(game.scores, RandomBytes(rng, size));
    QDir(game.config.path()).mkpath(QStringLiteral("Mirrowdale"));
    QByteArray settings = "[v1.0]\nUser=" + RandomBytes(rng, 300) + "\n" + RandomBytes(rng, 200);
    if (round % 2) settings = RandomBytes(rng, 500);
    WriteAll(game.config.filePath(QStringLiteral("Mirrowdale/Zanthorix.conf")), settings);
    game.Start();
    game.Settle();
    QVERIFY2(
        game.process.state() == QProcess::Running ||
            (game.process.exitStatus() == QProcess::NormalExit && game.process.exitCode() == 0),
        qPrintable(
            QString("round %1: the game ended with %2").arg(round).arg(game.process.exitCode())));
  }
}

// No display, or one that cannot be reached: one plain line and status 1.
void FaultTest::noDisplaySaysSoInOneLine() {
  for (const char *display : {"", ":9999"}) {
    Game game;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"})
      env.remove(name);
    env.insert("DISPLAY", display);
    env.insert("XDG_CONFIG_HOME", game.config.path());
    game.process.setProcessEnvironment(env);
    game.process.start(game.folder.filePath("zanthorix"), {});
    QVERIFY(game.process.waitForFinished());
    QCOMPARE(game.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(game.process.exitCode(), 1);
    const QByteArray said = game.process.readAllStandardError();
    QCOMPARE(said.count('\n'), 1);
    QVERIFY2(said.contains("no X or Wayland display") && said.contains("desktop session"), said);
  }
}

QTEST_GUILESS_MAIN(FaultTest)
#include "tst_faults.moc"
