// SPDX-License-Identifier: GPL-3.0-or-later
// The high-score file: its bytes, short and long files, and saves that fail.
#include "scores/HighScoreFile.h"
#include "scores/ReadOnlyGameFolder.h"
#include "scores/Windows1252.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace zanthorix;

namespace {

// The real files, with failures switched on by the test.
class FaultyFiles : public SystemScoreFileSystem {
public:
  std::string game, user;  // the game folder, the player's own
  bool readOnly = false;   // the game folder's file may be read but not written
  int readErrorAfter = -1; // bytes read before the system fails a read
  int readError = EIO;
  int writeShortAfter = -1; // bytes written before the disk is full
  int renameError = 0;
  std::vector<std::string> created;

  std::unique_ptr<Input> OpenRead(const std::string &path, int &error) override {
    auto real = SystemScoreFileSystem::OpenRead(path, error);
    if (!real || readErrorAfter < 0) return real;
    return std::make_unique<FailingInput>(std::move(real), readErrorAfter, readError);
  }
  // Permission bits do not stop root: the game folder's are played here.
  Access Probe(const std::string &path) override {
    const Access real = SystemScoreFileSystem::Probe(path);
    const bool inGame = path.rfind(game, 0) == 0;
    return readOnly && inGame && real == Access::ReadWrite ? Access::Refused : real;
  }
  std::string UserFolder() override { return user; }
  std::unique_ptr<Output> CreateBeside(const std::string &path, std::string &tempPath,
                                       int &error) override {
    auto real = SystemScoreFileSystem::CreateBeside(path, tempPath, error);
    if (real) created.push_back(tempPath);
    if (!real || writeShortAfter < 0) return real;
    return std::make_unique<ShortOutput>(std::move(real), writeShortAfter);
  }
  int Rename(const std::string &from, const std::string &to) override {
    return renameError ? renameError : SystemScoreFileSystem::Rename(from, to);
  }
  int holds = 0; // saves that kept other games' saves out
  std::unique_ptr<Held> HoldSaves(const std::string &path) override {
    ++holds;
    return SystemScoreFileSystem::HoldSaves(path);
  }

private:
  struct FailingInput : Input {
    FailingInput(std::unique_ptr<Input> real, int left, int error)
        : real(std::move(real)), left(left), error(error) {}
    std::size_t Read(void *data, std::size_t size, int &err) override {
      const std::size_t allowed = std::min<std::size_t>(size, std::size_t(left));
      const std::size_t got = real->Read(data, allowed, err);
      left -= int(got);
      if (got == allowed && allowed < size) err = error;
      return got;
    }
    std::unique_ptr<Input> real;
    int left;
    int error;
  };
  struct ShortOutput : Output {
    ShortOutput(std::unique_ptr<Output> real, int left) : real(std::move(real)), left(left) {}
    std::size_t Write(const void *data, std::size_t size, int &error) override {
      const std::size_t allowed = std::min<std::size_t>(size, std::size_t(left));
      const std::size_t done = real->Write(data, allowed, error);
      left -= int(done);
      return done; // short, with no system error: the disk is full
    }
    int Finish() override { return real->Finish(); }
    std::unique_ptr<Output> real;
    int left;
  };
};

QByteArray Record(const HighScoreEntry &e) {
  const auto r = e.ToRecord();
  return QByteArray(reinterpret_cast<const char *>(r.data()), int(r.size()));
}

// 50 records as another run may have left them: names of every length, and
// leftovers after each name and in the filler.
QByteArray LivedInFile(quint32 seed, int records = RecordCount) {
  QRandomGenerator random(seed);
  QByteArray bytes(records * int(RecordSize), '\0');
  for (int r = 0; r < records; ++r) {
    char *rec = bytes.data() + r * RecordSize;
    for (std::size_t i = 0; i < RecordSize; ++i)
      rec[i] = char(random.bounded(256));
    rec[0] = char(random.bounded(101));
  }
  return bytes;
}

QString Ex(const std::function<void()> &f) {
  try {
    f();
  } catch (const EInOutError &e) {
    return QString::fromUtf8(e.what());
  }
  return QString();
}

} // namespace

class HighScoreFileTest : public QObject {
  Q_OBJECT
private slots:
  void init();
  void defaultRecordBytes();
  void noFileGivesDefaultsAndSaveWritesFifty();
  void untouchedTablesAreWrittenBackByteForByte();
  void emptyFile();
  void threeAndAHalfRecords();
  void longerFileIsCutToFifty();
  void unwritableGameFolderGivesAPlayersOwnTable();
  void systemGameFolderIsNeverWritten();
  void folderInsteadOfFile();
  void savedThroughALink();
  void anotherCopysSaveIsKept();
  void failedSaveKeepsTheOldFile();
  void failedRenameKeepsTheOldFile();
  void systemReadErrorLeavesTheFileAlone();
  void errorTexts();
  void nameLengthAbove100();
  void windows1252Names();

private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<QTemporaryDir> home_;
  std::string folder_;
  QString path_;
  QString own_; // the player's own file
  HighScoreTables tables_;
  FaultyFiles files_;

  void Write(const QByteArray &bytes, const QString &path = {}) {
    QFile f(path.isEmpty() ? path_ : path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  QByteArray Read(const QString &path = {}) {
    QFile f(path.isEmpty() ? path_ : path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QString Load() {
    return Ex([this] { LoadHighScores(tables_, folder_, files_); });
  }
  QString Save() {
    return Ex([this] { SaveHighScores(tables_, folder_, files_); });
  }
  bool OnlyTheFileInFolder() { return QDir(dir_->path()).entryList(QDir::Files).size() == 1; }
};

void HighScoreFileTest::init() {
  dir_ = std::make_unique<QTemporaryDir>();
  folder_ = dir_->path().toStdString() + "/";
  path_ = dir_->path() + "/HighScores.Dat";
  tables_ = HighScoreTables{};
  home_ = std::make_unique<QTemporaryDir>();
  own_ = home_->path() + "/Mirrowdale/Zanthorix/HighScores.Dat";
  files_ = FaultyFiles{};
  files_.game = folder_;
  files_.user = home_->path().toStdString() + "/Mirrowdale/Zanthorix/";
}

void HighScoreFileTest::defaultRecordBytes() {
  ResetHighScoreTables(tables_);
  QByteArray expected(108, '\0');
  expected[0] = 0x12;
  expected.replace(1, 18, "This could be you!");
  expected[104] = 0x0A;
  QCOMPARE(Record(tables_.Tables[0][0]), expected);
  expected[104] = 0x01;
  QCOMPARE(Record(tables_.Tables[4][9]), expected);
}

void HighScoreFileTest::noFileGivesDefaultsAndSaveWritesFifty() {
  QCOMPARE(Load(), QString());
  for (const HighScoreTable &t : tables_.Tables)
    for (int i = 0; i < 10; ++i) {
      QCOMPARE(t[i].Name(), std::string(DefaultName));
      QCOMPARE(t[i].Score, 10 - i);
    }
  QVERIFY(!QFile::exists(path_)); // loading creates nothing
  QCOMPARE(Save(), QString());
  const QByteArray bytes = Read();
  QCOMPARE(bytes.size(), 50 * 108);
  QCOMPARE(bytes.mid(49 * 108, 108), Record(tables_.Tables[4][9]));
  QVERIFY(OnlyTheFileInFolder());
}

void HighScoreFileTest::untouchedTablesAreWrittenBackByteForByte() {
  const QByteArray original = LivedInFile(7);
  Write(original);
  QCOMPARE(Load(), QString());
  // Record 13 is entry 4 of the table for four kinds.
  QCOMPARE(Record(tables_.Tables[1][3]), original.mid(13 * 108, 108));
  // Scores are little-endian.
  const auto *rec = reinterpret_cast<const unsigned char *>(original.constData()) + 13 * 108;
  QCOMPARE(
      std::uint32_t(tables_.Tables[1][3].Score),
      std::uint32_t(rec[104] | rec[105] << 8 | rec[106] << 16 | std::uint32_t(rec[107]) << 24));
  QCOMPARE(Save(), QString());
  QVERIFY(files_.created.empty()); // the file already holds them: nothing written
  QVERIFY(QFile::remove(path_));
  QCOMPARE(Save(), QString());
  QCOMPARE(Read(), original);
  QVERIFY(OnlyTheFileInFolder());
}

void HighScoreFileTest::emptyFile() {
  Write(QByteArray());
  QCOMPARE(Load(), QStringLiteral("Read beyond end of file"));
  for (const HighScoreTable &t : tables_.Tables)
    for (const HighScoreEntry &e : t)
      QVERIFY(e == HighScoreEntry{});
  QVERIFY(!tables_.KeepFile);
  QCOMPARE(Save(), QString());
  QCOMPARE(Read(), QByteArray(50 * 108, '\0'));
}

void HighScoreFileTest::threeAndAHalfRecords() {
  const QByteArray lived = LivedInFile(3, 4);
  Write(lived.left(3 * 108));
  QCOMPARE(Load(), QStringLiteral("Read beyond end of file"));
  for (int i = 0; i < 3; ++i)
    QCOMPARE(Record(tables_.Tables[0][i]), lived.mid(i * 108, 108));
  QVERIFY(tables_.Tables[0][3] == HighScoreEntry{});
  QVERIFY(tables_.Tables[4][9] == HighScoreEntry{});

  // A record read in part keeps what it held in the rest.
  tables_ = HighScoreTables{};
  ResetHighScoreTables(tables_);
  const QByteArray defaultFourth = Record(tables_.Tables[0][3]);
  Write(lived.left(3 * 108 + 54));
  QCOMPARE(Load(), QStringLiteral("Read beyond end of file"));
  QCOMPARE(Record(tables_.Tables[0][3]), lived.mid(3 * 108, 54) + defaultFourth.mid(54));
  QCOMPARE(tables_.Tables[0][4].Score, 6); // untouched after the short record
}

void HighScoreFileTest::longerFileIsCutToFifty() {
  const QByteArray lived = LivedInFile(11, 60);
  Write(lived);
  QCOMPARE(Load(), QString());
  QCOMPARE(Record(tables_.Tables[4][9]), lived.mid(49 * 108, 108));
  QCOMPARE(Save(), QString());
  QCOMPARE(Read(), lived.left(50 * 108));
}

// A game folder this player may not write: the first load takes its table
// over; from then on the player's own file is the table.
void HighScoreFileTest::unwritableGameFolderGivesAPlayersOwnTable() {
  const QByteArray lived = LivedInFile(5);
  Write(lived);
  files_.readOnly = true;
  QCOMPARE(Load(), QString());
  InsertHighScore(tables_, 3, 1, "New", INT32_MAX);
  QCOMPARE(Save(), QString()); // silently
  QCOMPARE(Read(), lived);
  QVERIFY(OnlyTheFileInFolder());
  QCOMPARE(Read(own_).left(4), QByteArray("\x03New"));
  QCOMPARE(Read(own_).mid(108), lived.left(9 * 108) + lived.mid(10 * 108));
  tables_ = HighScoreTables{};
  QCOMPARE(Load(), QString());
  QCOMPARE(tables_.Tables[0][0].Name(), std::string("New"));
}

// Installed as system data, the game folder is never written, though this
// player (root too) could: with no home nothing is saved; a table found
// there only seeds the player's own.
void HighScoreFileTest::systemGameFolderIsNeverWritten() {
  ReadOnlyGameFolder system(files_, folder_);
  const auto load = [&] { return Ex([&] { LoadHighScores(tables_, folder_, system); }); };
  const auto save = [&] { return Ex([&] { SaveHighScores(tables_, folder_, system); }); };
  const std::string user = files_.user;
  for (const std::string &home : {std::string(), user}) { // none, then one
    files_.user = home;
    QCOMPARE(load(), QString());
    QCOMPARE(save(), QString());
  }
  QVERIFY(QDir(dir_->path()).isEmpty());
  QCOMPARE(Read(own_).size(), 50 * 108);
  const QByteArray lived = LivedInFile(5);
  Write(lived);
  QVERIFY(QFile::remove(own_));
  QCOMPARE(load(), QString());
  InsertHighScore(tables_, 3, 1, "New", 99);
  files_.holds = 0;
  QCOMPARE(save(), QString());
  QCOMPARE(files_.holds, 1);
  QCOMPARE(Read(), lived);
  QCOMPARE(Read(own_).left(4), QByteArray("\x03New"));
}

void HighScoreFileTest::folderInsteadOfFile() {
  QVERIFY(QDir(dir_->path()).mkdir("HighScores.Dat"));
  QCOMPARE(Load(), QString());
  QCOMPARE(tables_.Tables[0][0].Score, 10); // defaults
  QCOMPARE(Save(), QString());
  QVERIFY(QFileInfo(path_).isDir());
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 0);
  QCOMPARE(Read(own_).size(), 50 * 108); // kept in the player's own file
}

// Beside the file the link leads to, clearing what killed saves left there
// and nothing else. A link that someone else put in a folder that others may
// write (/tmp; a game folder shared by a group, sticky or not) is neither
// read nor written through: the player's own file keeps the score.
void HighScoreFileTest::savedThroughALink() {
  QVERIFY(QDir(dir_->path()).mkdir("shared"));
  const QString target = dir_->path() + "/shared/scores";
  Write(LivedInFile(8), target);
  QCOMPARE(::symlink("shared/scores", qPrintable(path_)), 0);
  for (const pid_t pid : {99999999, ::getppid()}) // above any process number; alive
    Write("left", target + ".zanthorix-save-" + QString::number(pid));
  Write("the player's", target + ".new99999999");
  QCOMPARE(Load(), QString());
  InsertHighScore(tables_, 3, 1, "New", INT32_MAX);
  QCOMPARE(Save(), QString());
  QVERIFY(QFileInfo(path_).isSymLink());
  QCOMPARE(Read(target).left(4), QByteArray("\x03New"));
  QCOMPARE(QDir(dir_->path() + "/shared").entryList(QDir::Files),
           QStringList({"scores", "scores.new99999999",
                        "scores.zanthorix-save-" + QString::number(::getppid())}));
  // Under this process's number, what is no copy of ours stays: the save goes
  // over the file itself.
  const QString mine = target + ".zanthorix-save-" + QString::number(::getpid());
  QCOMPARE(::symlink("scores", qPrintable(mine)), 0);
  InsertHighScore(tables_, 3, 1, "Two", INT32_MAX);
  QCOMPARE(Save(), QString());
  QVERIFY(QFileInfo(mine).isSymLink());
  QCOMPARE(Read(target).left(4), QByteArray("\x03Two"));

  if (::geteuid() != 0) QSKIP("a link of another user's needs root to make");
  const QString shared = dir_->path() + "/tmp", victim = dir_->path() + "/thesis.tex";
  const QByteArray work = LivedInFile(13);
  Write(work, victim);
  QVERIFY(QDir().mkdir(shared) && QFile::remove(path_) &&
          ::symlink("tmp/scores", qPrintable(path_)) == 0);
  QCOMPARE(::symlink(qPrintable(victim), qPrintable(shared + "/scores")), 0);
  QCOMPARE(::lchown(qPrintable(shared + "/scores"), 65534, 65534), 0);
  for (const mode_t mode : {01777, 0775, 01770}) {
    QCOMPARE(::chmod(qPrintable(shared), mode), 0);
    QFile::remove(own_);
    QCOMPARE(Load(), QString());
    QCOMPARE(tables_.Tables[0][0].Name(), std::string(DefaultName)); // not the victim's bytes
    InsertHighScore(tables_, 3, 1, "New", INT32_MAX);
    QCOMPARE(Save(), QString());
    QCOMPARE(Read(victim), work);
    QCOMPARE(Read(own_).left(4), QByteArray("\x03New"));
  }
  QCOMPARE(QDir(dir_->path()).entryList(QDir::Files),
           QStringList({"HighScores.Dat", "thesis.tex"}));
}

// Another copy saved since the load: its new entry stays, ranked with this
// run's; this run's erase still erases it.
void HighScoreFileTest::anotherCopysSaveIsKept() {
  for (const bool erase : {false, true}) {
    HighScoreTables other;
    QCOMPARE(Load(), QString());
    LoadHighScores(other, folder_, files_);
    InsertHighScore(other, 4, FindRank(other, 4, 30), "Other", 30);
    SaveHighScores(other, folder_, files_);
    if (erase) EraseHighScores(tables_);
    InsertHighScore(tables_, 4, FindRank(tables_, 4, 20), "Mine", 20);
    QCOMPARE(Save(), QString());
    const QByteArray four = Read().mid(10 * 108, 3 * 108);
    QCOMPARE(four.mid(1, erase ? 4 : 5), erase ? QByteArray("Mine") : QByteArray("Other"));
    QCOMPARE(four.mid(108 + 1, erase ? 18 : 4), erase ? QByteArray(DefaultName.data()) : "Mine");
    QCOMPARE(tables_.Tables[1][0].Score, erase ? 20 : 30); // what the file holds
    QVERIFY(QFile::remove(path_));
  }
}

void HighScoreFileTest::failedSaveKeepsTheOldFile() {
  const QByteArray lived = LivedInFile(9);
  Write(lived);
  QCOMPARE(Load(), QString());
  InsertHighScore(tables_, 3, 1, "New", INT32_MAX);
  files_.writeShortAfter = 20 * 108 + 50; // part-way through record 21
  QCOMPARE(Save(), QStringLiteral("Disk full"));
  QCOMPARE(Read(), lived);
  QVERIFY(OnlyTheFileInFolder()); // the half-written copy is gone

  // With room again the next save goes through.
  files_.writeShortAfter = -1;
  QCOMPARE(Save(), QString());
  QCOMPARE(Read().left(4), QByteArray("\x03New"));
}

void HighScoreFileTest::failedRenameKeepsTheOldFile() {
  const QByteArray lived = LivedInFile(10);
  Write(lived);
  QCOMPARE(Load(), QString());
  InsertHighScore(tables_, 3, 1, "New", INT32_MAX);
  files_.renameError = EACCES;
  QCOMPARE(Save(), QStringLiteral("File access denied"));
  QCOMPARE(Read(), lived);
  QVERIFY(OnlyTheFileInFolder());
}

void HighScoreFileTest::systemReadErrorLeavesTheFileAlone() {
  const QByteArray lived = LivedInFile(4);
  Write(lived);
  files_.readErrorAfter = 5 * 108 + 10;
  QCOMPARE(Load(), QStringLiteral("I/O error 5"));
  QVERIFY(tables_.KeepFile);
  QCOMPARE(Record(tables_.Tables[0][5]).left(10), lived.mid(5 * 108, 10));
  QCOMPARE(tables_.Tables[0][6].Score, 0);
  QCOMPARE(Save(), QString());
  QCOMPARE(Read(), lived);
  QVERIFY(files_.created.empty());

  // A good load later clears the mark.
  files_.readErrorAfter = -1;
  QCOMPARE(Load(), QString());
  QVERIFY(!tables_.KeepFile);
}

void HighScoreFileTest::errorTexts() {
  QCOMPARE(InOutErrorText(ENOENT), std::string("File not found"));
  QCOMPARE(InOutErrorText(ENOTDIR), std::string("Invalid filename"));
  QCOMPARE(InOutErrorText(EMFILE), std::string("Too many open files"));
  QCOMPARE(InOutErrorText(EACCES), std::string("File access denied"));
  QCOMPARE(InOutErrorText(ENOSPC), std::string("Disk full"));
  QCOMPARE(InOutErrorText(EIO), std::string("I/O error 5"));

  Write(LivedInFile(1));
  files_.readErrorAfter = 0;
  files_.readError = EACCES;
  QCOMPARE(Load(), QStringLiteral("File access denied"));
}

// A length byte only a foreign file can hold: the name stops at the field.
void HighScoreFileTest::nameLengthAbove100() {
  QByteArray bytes = LivedInFile(12);
  bytes[0] = char(200);
  bytes.replace(1, 100, QByteArray(100, 'n'));
  bytes.replace(101, 7, QByteArray("FFFSSSS", 7));
  bytes[108] = char(255);
  Write(bytes);
  QCOMPARE(Load(), QString());
  QCOMPARE(tables_.Tables[0][0].Name(), std::string(100, 'n'));
  QCOMPARE(tables_.Tables[0][1].Name().size(), std::size_t(100));
  QVERIFY(tables_.Tables[0][1].Name() == std::string(bytes.constData() + 109, 100));
  QCOMPARE(Save(), QString());
  QCOMPARE(Read(), bytes); // the length bytes as they were
}

void HighScoreFileTest::windows1252Names() {
  const std::u16string name = u"Zo\u00eb \u20acuro \u2713 \U0001F600!";
  const std::string bytes = ToWindows1252(name);
  QCOMPARE(bytes, std::string("Zo\xeb \x80uro ? ?!"));
  QCOMPARE(FromWindows1252("\x80\x9f\xff\x81"), std::u16string(u"\u20ac\u0178\u00ff\u0081"));
  // Every byte reads back as itself.
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(char(b));
  QCOMPARE(ToWindows1252(FromWindows1252(all)), all);
  // A lone surrogate is no character either.
  QCOMPARE(ToWindows1252(std::u16string(1, char16_t(0xD800))), std::string("?"));
}

QTEST_APPLESS_MAIN(HighScoreFileTest)
#include "tst_highscorefile.moc"
