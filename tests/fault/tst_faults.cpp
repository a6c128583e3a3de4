// SPDX-License-Identifier: GPL-3.0-or-later
// Faults of the real program: killed, terminated, out of disk space, fed
// damaged files. The game runs as a separate process from a folder of its own.
#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
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
  QString exe;             // another game's folder may be played from too
  bool keepErrors = false; // what the game says on stderr stays readable
  QByteArray said;         // what Total() has read of stderr so far

  Game() {
    const QString built = QStringLiteral(ZANTHORIX_EXE);
    const QString from = QFileInfo(built).absolutePath();
    for (const char *name :
         {"pop.wav", "pop2.wav", "bgmusic.mid", "Zanthorix.hlp", "libzanthorix_audio.so"})
      QFile::copy(from + QLatin1Char('/') + QLatin1String(name), folder.filePath(name));
    QFile::copy(built, folder.filePath("zanthorix"));
    exe = folder.filePath("zanthorix");
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
    process.setProcessChannelMode(keepErrors ? QProcess::SeparateChannels
                                             : QProcess::ForwardedErrorChannel);
    QStringList command{exe};
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

  // Plays one game to its end with the player's name, through the preloaded
  // commands; "play-hold" leaves the Game Over box open.
  void StartPlaying(const QByteArray &name, const char *how = "play", QStringList env = {},
                    bool asPlayer = false) {
    keepErrors = true;
    QDir(config.path()).mkpath("Mirrowdale");
    WriteAll(config.filePath("Mirrowdale/Zanthorix.conf"), "[v1.0]\nUser=" + name + "\n");
    if (asPlayer && ::geteuid() == 0)
      QVERIFY(::chown(qPrintable(config.filePath("Mirrowdale")), 65534, 65534) == 0 &&
              ::chown(qPrintable(config.filePath("Mirrowdale/Zanthorix.conf")), 65534, 65534) == 0);
    Start(QStringList{"LD_PRELOAD=" ZANTHORIX_COMMAND,
                      "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0",
                      QStringLiteral("ZANTHORIX_TEST_COMMAND=") + how} +
              env,
          asPlayer);
  }

  // The game's total once the Game Over box was shown (this waits for it).
  int Total() {
    const auto line = [this] { return said.indexOf('\n', said.indexOf("Total: ")); };
    for (int i = 0; i < 600 && (!said.contains("Total: ") || line() < 0); ++i) {
      process.waitForReadyRead(100);
      said += process.readAllStandardError();
    }
    const int at = said.indexOf("Total: ");
    return at < 0 || line() < 0 ? -1 : said.mid(at + 7, line() - at - 7).toInt();
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
    QVERIFY(process.state() == QProcess::NotRunning || process.waitForFinished(20000));
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

// The scores of one ball count's table in a high-score file, by name.
QMap<QByteArray, int> Table(const QByteArray &file, int ballKinds) {
  QMap<QByteArray, int> entries;
  for (int i = 0; i < 10; ++i) {
    const QByteArray record = file.mid(((ballKinds - 3) * 10 + i) * 108, 108);
    if (record.size() < 108) break;
    const auto *score = reinterpret_cast<const uchar *>(record.constData() + 104);
    entries.insert(record.mid(1, uchar(record[0])), score[0] | score[1] << 8 | score[2] << 16);
  }
  return entries;
}

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
  void damagedFilesNeverCrash();
  void twoCopiesKeepEachOthersScores();
  void noDisplaySaysSoInOneLine();
};

// A burst of requests until the game is gone still ends it with status 0. A
// hang-up or interrupt ignored at start (nohup, given negated) stays ignored.
// Root playing a player's own install (su without -) leaves the file it saves
// over, or makes, the player's.
void FaultTest::terminateDuringPlaySavesTables() {
  for (int signal : {SIGTERM, SIGHUP, SIGINT, -SIGHUP, -SIGINT}) {
    Game game;
    const bool players = ::geteuid() == 0 && signal > 0;
    if (signal == SIGHUP) WriteAll(game.scores, DefaultFile());
    if (players)
      QVERIFY(::chown(qPrintable(QFileInfo(game.scores).path()), 65534, 65534) == 0 &&
              (signal != SIGHUP || ::chown(qPrintable(game.scores), 65534, 65534) == 0));
    if (signal < 0) game.process.setChildProcessModifier([=] { ::signal(-signal, SIG_IGN); });
    game.Start();
    game.Settle();
    for (int i = 0; signal == SIGTERM && i < 9999 && !game.process.waitForFinished(2); ++i)
      game.Signal(SIGTERM);
    game.Signal(std::abs(signal));
    if (signal < 0) game.Settle(500);
    QVERIFY(signal > 0 || game.process.state() == QProcess::Running);
    game.End();
    QCOMPARE(ReadAll(game.scores), DefaultFile());
    if (players) QCOMPARE(QFileInfo(game.scores).ownerId(), 65534u);
  }
}

// The name prompt (a stored name that is not UTF-8; a store that cannot be
// written, or is too large to be one), a question, two start-up boxes: one
// request answers the open box
// as Cancel or No would and every later box at once, its text on stderr; the
// game ends and saves. Cancel leaves the stored name's bytes as they were.
void FaultTest::terminateWhileABoxIsOpen() {
  const std::tuple<const char *, QByteArray, const char *> cases[] = {
      {"mnuOptionsUser", "[v1.0]\nUser=Ren\xe9\n", ""},
      {"mnuOptionsUser", "" /* a FIFO */, "Zanthorix: Error writing user name to registry!\n"},
      {"mnuOptionsUser", "[v1.0]\nUser=Big\n[padding]\n" + QByteArray(1100000, 'p') + "=1\n",
       "Zanthorix: Error writing user name to registry!\n"},
      {"mnuBalls3", "[v1.0]\n", ""},
      {"", "[v1.0]\nUser=a, b\n",
       "Zanthorix: Invalid data type for 'User'\nZanthorix: Read beyond end of file.\n"}};
  for (const auto &[command, settings, said] : cases) {
    Game game;
    game.keepErrors = true;
    const QString conf = game.config.filePath("Mirrowdale/Zanthorix.conf");
    const bool startUp = *command == '\0';
    QVERIFY(QDir(game.config.path()).mkdir("Mirrowdale"));
    settings.isEmpty() ? void(::mkfifo(qPrintable(conf), 0666)) : WriteAll(conf, settings);
    if (startUp) WriteAll(game.scores, DefaultFile().left(300));
    game.Start({"LD_PRELOAD=" + QString(startUp ? "" : ZANTHORIX_COMMAND),
                "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0",
                QStringLiteral("ZANTHORIX_TEST_COMMAND=") + command});
    game.Settle(2500);
    game.End();
    QCOMPARE(ReadAll(game.scores),
             startUp ? DefaultFile().left(300) + QByteArray(FileSize - 300, 0) : DefaultFile());
    if (!settings.isEmpty()) QCOMPARE(ReadAll(conf), settings);
    QVERIFY(game.process.readAllStandardError().contains(said));
  }
}

// The X server or the Wayland compositor ends at logout (alone, or with a
// termination request) while the Game Over box is open: Qt ends the game at
// once; the tables are saved with that game's score.
void FaultTest::displayGoneSavesTables() {
  QTemporaryDir runtime;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", runtime.path());
  for (const QString server : {"Xvfb", "weston"}) {
    for (const bool request : {false, true}) {
      QProcess display;
      display.setProcessEnvironment(env);
      display.start(server, server == "Xvfb"
                                ? QStringList{"-displayfd", "1", "-nolisten", "tcp"}
                                : QStringList{"--backend=headless-backend.so", "--socket=zt"});
      if (!display.waitForStarted()) QSKIP("a display server is missing");
      QTRY_VERIFY_WITH_TIMEOUT(
          server == "Xvfb" ? display.canReadLine() : QFile::exists(runtime.filePath("zt")), 20000);
      Game game;
      game.StartPlaying("Cy", "play-hold",
                        {"QT_QPA_PLATFORM=" + QString(server == "Xvfb" ? "xcb" : "wayland"),
                         "DISPLAY=:" + display.readLine().trimmed(), "WAYLAND_DISPLAY=zt",
                         "QT_IM_MODULE=compose", "XDG_RUNTIME_DIR=" + runtime.path()});
      const int total = game.Total();
      QVERIFY(total > 10);
      display.terminate();
      if (request) game.Signal(SIGTERM);
      QVERIFY(game.process.waitForFinished(20000) && display.waitForFinished(20000));
      const QByteArray saved = ReadAll(game.scores);
      QCOMPARE(Table(saved, 4).value("Cy"), total);
      QCOMPARE(saved.left(10 * 108) + saved.mid(20 * 108), DefaultFile().remove(10 * 108, 1080));
    }
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

  // A lock on the shared file that another program never lets go: after one
  // short wait the new score goes to the player's own table, and stderr
  // says where.
  for (const int lock : {LOCK_SH, LOCK_EX}) {
    Game game;
    WriteAll(game.scores, lived);
    QFile held(game.scores);
    QVERIFY(::chmod(qPrintable(game.scores), 0666) == 0 && held.open(QIODevice::ReadOnly) &&
            ::flock(held.handle(), lock) == 0);
    game.StartPlaying("Flo", "play", {}, true);
    const int total = game.Total();
    game.End();
    QCOMPARE(Table(ReadAll(game.ownScores), 4).value("Flo"), total);
    QCOMPARE(ReadAll(game.scores), lived);
    QVERIFY(game.process.readAllStandardError().contains("saved in " + game.ownScores.toUtf8()));
  }

  // Nowhere to keep a new score, the player's own folder closed too: the
  // player is told, in the words for a denied file.
  Game game;
  WriteAll(game.scores, lived);
  const QString own = QFileInfo(game.ownScores).path();
  QVERIFY(::chmod(qPrintable(game.scores), 0444) == 0 && QDir().mkpath(own));
  for (const QString &made : {QFileInfo(own).path(), own})
    QVERIFY(::geteuid() != 0 || ::chown(qPrintable(made), 65534, 65534) == 0);
  QCOMPARE(::chmod(qPrintable(own), 0500), 0);
  game.StartPlaying("Di", "play", {}, true);
  QVERIFY(game.Total() > 10);
  game.End();
  QVERIFY(game.process.readAllStandardError().contains("Zanthorix: File access denied.\n"));
  QCOMPARE(ReadAll(game.scores), lived);
  QVERIFY(!QFile::exists(game.ownScores));
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
// file-size limit, or the disk fills part-way: the old file stays whole, also
// where it is written in place, and the error, which no one is left to
// answer once the session has asked the game to end, goes to stderr.
void FaultTest::fullDiskAtExitKeepsOldFile() {
  for (const auto &[limit, inPlace] :
       {std::pair(false, false), {true, false}, {true, true}, {false, true}}) {
    Game game;
    game.keepErrors = true;
    QByteArray old = DefaultFile() + "past the tables"; // so that the save has work to do
    old[104] = char(55);
    WriteAll(game.scores, old);
    if (inPlace) QCOMPARE(::chmod(qPrintable(game.scores), 0666), 0); // in a folder of root's
    if (limit) {
      game.process.setChildProcessModifier([inPlace] {
        const rlimit size{inPlace ? 4096u : 1000u, inPlace ? 4096u : 1000u};
        ::setrlimit(RLIMIT_FSIZE, &size);
      });
    }
    if (inPlace) { // a new score to save, the disk full after 4000 bytes of it
      game.StartPlaying("Eve", "play",
                        limit ? QStringList{}
                              : QStringList{"LD_PRELOAD=" ZANTHORIX_COMMAND ":" ZANTHORIX_FAILWRITE,
                                            "ZANTHORIX_FAILWRITE_AFTER=4000"},
                        true);
      QVERIFY(game.Total() > 10);
    } else {
      game.Start(limit ? QStringList{}
                       : QStringList{QStringLiteral("LD_PRELOAD=") + ZANTHORIX_FAILWRITE,
                                     "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"});
      game.Settle();
    }
    game.End();
    QCOMPARE(ReadAll(game.scores), old);
    QVERIFY(game.process.readAllStandardError().contains("Zanthorix: Disk full.\n"));
    QCOMPARE(QFileInfo(game.scores).dir().entryList({"HighScores.Dat*"}, QDir::Files),
             QStringList{"HighScores.Dat"});
  }
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

// Two copies of the game on one table, as one player with two windows has
// it, each with a new score: the copy that ends last keeps the other's.
void FaultTest::twoCopiesKeepEachOthersScores() {
  Game ann, bea;
  bea.exe = ann.exe;
  bea.scores = ann.scores;
  ann.StartPlaying("Ann");
  bea.StartPlaying("Bea");
  const int annTotal = ann.Total(), beaTotal = bea.Total();
  QVERIFY(annTotal > 10 && beaTotal > 10); // both earn a place in the default table
  ann.End();
  bea.End();
  const QMap<QByteArray, int> four = Table(ReadAll(ann.scores), 4);
  if (annTotal == beaTotal) // a tie never enters
    QVERIFY(four.value("Ann") == annTotal || four.value("Bea") == beaTotal);
  else
    QVERIFY(four.value("Ann") == annTotal && four.value("Bea") == beaTotal);
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
