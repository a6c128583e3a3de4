// Faults of the real program: killed, terminated, out of disk space, fed
// damaged files. The game runs as a separate process from a folder of its own.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>
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
  QString ownScores;       // the player's own table
  bool keepErrors = false; // what the game says on stderr stays readable

  Game() {
    const QString built = QStringLiteral(ZANTHORIX_EXE);
    const QString from = QFileInfo(built).absolutePath();
    for (const char *name :
         {"pop.wav", "pop2.wav", "bgmusic.mid", "Zanthorix.hlp", "libzanthorix_audio.so"})
      QFile::copy(from + QLatin1Char('/') + QLatin1String(name), folder.filePath(name));
    QFile::copy(built, folder.filePath("zanthorix"));
    scores = folder.filePath("HighScores.Dat");
    ownScores = data.filePath("Mirrowdale/Zanthorix/HighScores.Dat");
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
    process.setProcessChannelMode(keepErrors ? QProcess::SeparateChannels
                                             : QProcess::ForwardedErrorChannel);
    QStringList command{folder.filePath("zanthorix")};
    if (asPlayer) { // a game folder of root's, folders of the player's own
      QVERIFY(::chmod(qPrintable(folder.path()), 0755) == 0 &&
              ::chown(qPrintable(config.path()), 65534, 65534) == 0 &&
              ::chown(qPrintable(data.path()), 65534, 65534) == 0);
      command =
          QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    }
    process.start(command.takeFirst(), command);
    QVERIFY(process.waitForStarted());
  }

  // Lets the game come up (this paces the test; it asserts no duration).
  void Settle(int ms = 1500) { QTest::qWait(ms); }

  // Only ever the game itself, while it runs.
  void Signal(int signal) {
    if (process.state() == QProcess::Running && process.processId() > 0)
      ::kill(pid_t(process.processId()), signal);
  }

  // Ends it the orderly way; it must be gone in good time, with status 0.
  void End(int signal = SIGTERM, int times = 1) {
    for (int i = 0; i < times; ++i)
      Signal(signal);
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
  }

  ~Game() {
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished();
    }
  }
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
  void displayGoneSavesTables();
  void scoreFilesThePlayerCannotWrite();
  void killDuringSaveLeavesWholeFile();
  void fullDiskAtExitKeepsOldFile();
  void rootKeepsThePlayersFiles();
  void unnameablePlacesAreRefused();
  void damagedFilesNeverCrash();
  void noDisplaySaysSoInOneLine();
};

// A burst of requests that goes on until the game is gone still ends it
// with status 0. A hang-up or interrupt ignored at start (nohup) stays
// ignored.
void FaultTest::terminateDuringPlaySavesTables() {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    Game game;
    game.Start();
    game.Settle();
    if (signal == SIGTERM) {
      for (int i = 0; i < 10000 && !game.process.waitForFinished(2); ++i)
        game.Signal(SIGTERM);
    }
    game.End(signal);
    QCOMPARE(ReadAll(game.scores), DefaultFile());
  }
  for (int signal : {SIGHUP, SIGINT}) {
    Game game;
    game.process.setChildProcessModifier([signal] { ::signal(signal, SIG_IGN); });
    game.Start();
    game.Settle();
    game.Signal(signal);
    game.Settle(500);
    QCOMPARE(game.process.state(), QProcess::Running);
    game.End();
  }
}

// The name prompt (with a stored name that is not UTF-8; with a store that
// cannot be written), a question, two start-up boxes: one request answers
// the open box as Cancel or No would and every box after it at once, and the
// game ends and saves. Cancel leaves the stored name's bytes as they were.
void FaultTest::terminateWhileABoxIsOpen() {
  struct Case {
    const char *command;
    QByteArray settings; // empty: the settings file is a FIFO
    const char *said;
  };
  const Case cases[] = {
      {"mnuOptionsUser", "[v1.0]\nUser=Ren\xe9\n", ""},
      {"mnuOptionsUser", "", "Zanthorix: Error writing user name to registry!\n"},
      {"mnuBalls3", "[v1.0]\n", ""},
      {"", "[v1.0]\nUser=a, b\n",
       "Zanthorix: Invalid data type for 'User'\nZanthorix: Read beyond end of file.\n"},
  };
  for (const Case &c : cases) {
    Game game;
    game.keepErrors = true;
    QVERIFY(QDir(game.config.path()).mkdir("Mirrowdale"));
    const QString settings = game.config.filePath("Mirrowdale/Zanthorix.conf");
    if (c.settings.isEmpty())
      QCOMPARE(::mkfifo(qPrintable(settings), 0666), 0);
    else
      WriteAll(settings, c.settings);
    const bool startUp = *c.command == '\0';
    if (startUp) WriteAll(game.scores, DefaultFile().left(300));
    game.Start({"LD_PRELOAD=" + QString(startUp ? "" : ZANTHORIX_COMMAND),
                "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0",
                QStringLiteral("ZANTHORIX_TEST_COMMAND=") + c.command});
    game.Settle(2500);
    game.End();
    QCOMPARE(ReadAll(game.scores),
             startUp ? DefaultFile().left(300) + QByteArray(FileSize - 300, 0) : DefaultFile());
    if (!c.settings.isEmpty()) QCOMPARE(ReadAll(settings), c.settings);
    const QByteArray said = game.process.readAllStandardError();
    QVERIFY2(said.contains(c.said), said);
  }
}

// The display goes away under the game (the X server or the Wayland
// compositor ends at logout, alone or with a termination request): Qt ends
// the program at once, and the tables are saved all the same.
void FaultTest::displayGoneSavesTables() {
  QTemporaryDir runtime;
  QVERIFY(::chmod(qPrintable(runtime.path()), 0700) == 0);
  const QString xvfb = QStandardPaths::findExecutable("Xvfb");
  const QString weston = QStandardPaths::findExecutable("weston");
  if (xvfb.isEmpty() && weston.isEmpty()) QSKIP("neither Xvfb nor weston is installed");
  int rounds = 0;
  for (const bool wayland : {false, true}) {
    for (const int ending : {SIGKILL, SIGTERM, SIGTERM | 0x100}) {
      if ((wayland ? weston : xvfb).isEmpty()) continue;
      QProcess server;
      QStringList env;
      if (wayland) {
        server.setProcessEnvironment([&] {
          QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
          e.insert("XDG_RUNTIME_DIR", runtime.path());
          return e;
        }());
        server.start(weston, {"--backend=headless-backend.so", "--socket=zanthorix-test"});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.filePath("zanthorix-test")), 20000);
        env = QStringList{"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=zanthorix-test",
                          "XDG_RUNTIME_DIR=" + runtime.path(), "QT_IM_MODULE=compose"};
      } else {
        server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp"});
        QVERIFY(server.waitForReadyRead(20000));
        env = QStringList{"QT_QPA_PLATFORM=xcb", "DISPLAY=:" + server.readLine().trimmed()};
      }
      Game game;
      game.Start(env);
      game.Settle(2500);
      QCOMPARE(game.process.state(), QProcess::Running);
      if (server.state() == QProcess::Running && server.processId() > 0)
        ::kill(pid_t(server.processId()), ending & 0xff);
      if (ending & 0x100) game.Signal(SIGTERM);
      QVERIFY(game.process.waitForFinished(20000));
      QVERIFY(server.waitForFinished(20000));
      QCOMPARE(ReadAll(game.scores), DefaultFile());
      ++rounds;
    }
  }
  qInfo("%d displays went away", rounds);
}

// Installed for everyone, the game folder belongs to root; the player is
// nobody. No file, a FIFO (never opened: it would wait) or a read-only file:
// the player's own file is the table. A file the player may write stays
// shared, written in place.
void FaultTest::scoreFilesThePlayerCannotWrite() {
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
    QFile held(game.scores);
    if (kind == 0666) {
      // Another game reading the shared file: the save in place waits for it.
      QVERIFY(held.open(QIODevice::ReadOnly) && ::flock(held.handle(), LOCK_SH) == 0);
      game.Signal(SIGTERM);
      game.Settle(1000);
      QCOMPARE(ReadAll(game.scores), lived);
      held.close();
    }
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

// Every write to the high-score file fails, as on a full disk or beyond the
// file-size limit: the old file stays whole, and the error, which no one is
// left to answer once the session has asked the game to end, goes to stderr.
void FaultTest::fullDiskAtExitKeepsOldFile() {
  for (const bool limit : {false, true}) {
    Game game;
    game.keepErrors = true;
    QByteArray old = DefaultFile();
    old[104] = char(55);
    WriteAll(game.scores, old);
    if (limit) {
      game.process.setChildProcessModifier([] {
        const rlimit size{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &size);
      });
    }
    game.Start(limit ? QStringList{}
                     : QStringList{QStringLiteral("LD_PRELOAD=") + ZANTHORIX_FAILWRITE,
                                   "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"});
    game.Settle();
    game.End();
    QCOMPARE(ReadAll(game.scores), old);
    const QByteArray said = game.process.readAllStandardError();
    QVERIFY2(said.contains("Zanthorix: Disk full.\n"), said);
    const QStringList leftovers =
        QDir(game.folder.path()).entryList({QStringLiteral("HighScores.Dat*")}, QDir::Files);
    QCOMPARE(leftovers, QStringList{QStringLiteral("HighScores.Dat")});
  }
}

// Root playing a player's own install with the player's home (su without -):
// the file it saves over and the file it makes stay the player's.
void FaultTest::rootKeepsThePlayersFiles() {
  if (::geteuid() != 0) QSKIP("needs root");
  for (const bool existing : {true, false}) {
    Game game;
    for (const QString &path : {game.folder.path(), game.config.path(), game.data.path()})
      QCOMPARE(::chown(qPrintable(path), 65534, 65534), 0);
    if (existing) {
      WriteAll(game.scores, DefaultFile());
      QCOMPARE(::chown(qPrintable(game.scores), 65534, 65534), 0);
    }
    game.Start();
    game.Settle();
    game.End();
    struct stat info {};
    QCOMPARE(::stat(qPrintable(game.scores), &info), 0);
    QCOMPARE(info.st_uid, uid_t(65534));
    QCOMPARE(info.st_gid, gid_t(65534));
  }
}

// A game folder or a home whose name is not UTF-8 cannot be named to Qt: the
// game says so and writes nothing anywhere.
void FaultTest::unnameablePlacesAreRefused() {
  Game game;
  const QByteArray folder = QFile::encodeName(game.folder.path()) + "/caf\xe9";
  QCOMPARE(::mkdir(folder.constData(), 0755), 0);
  QCOMPARE(
      ::link(qPrintable(game.folder.filePath("zanthorix")), (folder + "/zanthorix").constData()),
      0);
  QCOMPARE(::symlink(folder.constData(), qPrintable(game.folder.filePath("named"))), 0);
  const auto created = [&](const char *name) {
    return ::access((folder + name).constData(), F_OK) == 0;
  };
  const QString home = "HOME=$(printf '" + game.data.path() + "/\\351') ";
  for (const QString &command :
       {"exec " + game.folder.filePath("named/zanthorix"),
        home + "XDG_CONFIG_HOME= XDG_DATA_HOME= exec " + game.folder.filePath("zanthorix")}) {
    game.process.setProcessChannelMode(QProcess::SeparateChannels);
    game.process.start("sh", {"-c", command});
    QVERIFY(game.process.waitForFinished(20000));
    QCOMPARE(game.process.exitCode(), 1);
    const QByteArray said = game.process.readAllStandardError();
    QVERIFY2(said.contains("not UTF-8"), said);
    QVERIFY(!created("/HighScores.Dat"));
  }
  QCOMPARE(QDir(game.folder.path()).entryList({"HighScores.Dat"}), QStringList{});
  // Qt cannot name it to remove it.
  QVERIFY(::unlink((folder + "/zanthorix").constData()) == 0 && ::rmdir(folder.constData()) == 0);
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
