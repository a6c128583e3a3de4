// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TestWindow.h"

#include "player/HelpViewer.h"
#include "ui_Main.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextFrame>

#include <sys/stat.h>

using namespace zanthorix;

namespace {

struct HelpCall {
  QWidget *owner;
  QString fileName;
  std::uint32_t command;
  std::uintptr_t data;
};

class RecordingHelp : public HelpViewer {
public:
  std::vector<HelpCall> calls;
  std::function<void()> onCall;
  bool Help(QWidget *owner, const QString &fileName, std::uint32_t command,
            std::uintptr_t data) override {
    calls.push_back({owner, fileName, command, data});
    if (onCall) onCall();
    return true;
  }
};

QString ShippedHelpFile() {
  return qEnvironmentVariable("ZANTHORIX_DATA_DIR") + QStringLiteral("/Zanthorix.hlp");
}

void WriteFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

const QByteArray SmallHelp = R"(<html><head><title>Small</title>
<meta name="index" content="Apples#a"></head><body>
<h1><a name="a">Apples</a></h1><p>red</p></body></html>)";

// A real viewer whose program folder and working folder are empty
// temporary folders; the working folder is restored afterwards.
struct RealViewer {
  QTemporaryDir programFolder;
  QTemporaryDir workingFolder;
  QString oldWorkingFolder = QDir::currentPath();
  FakeDialogs dialogs;
  QtHelpViewer viewer{dialogs, programFolder.path() + QLatin1Char('/')};

  RealViewer() { QDir::setCurrent(workingFolder.path()); }
  ~RealViewer() { QDir::setCurrent(oldWorkingFolder); }

  QString InProgramFolder() const {
    return programFolder.filePath(QStringLiteral("Zanthorix.hlp"));
  }
  QString InWorkingFolder() const {
    return workingFolder.filePath(QStringLiteral("Zanthorix.hlp"));
  }
  bool Find() { return viewer.Help(nullptr, QStringLiteral("Zanthorix.hlp"), HELP_FINDER, 0); }
};

QStringList Items(const QListWidget *list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i)
    texts << list->item(i)->text().trimmed();
  return texts;
}

} // namespace

class HelpTest : public QObject {
  Q_OBJECT
private slots:
  void indexAndCloseSendTheirCommands();
  void f1OpensTheViewerOnTheContents();
  void closingTheGameClosesTheViewer();
  void closingWithoutHelpDoesNothingVisible();
  void missingFileIsReportedAndTheGameGoesOn();
  void programFolderComesBeforeWorkingFolder();
  void unreadableOrOversizedFileIsRefused();
  void playerClosedViewerOpensAgain();
  void unknownCommandIsRefused();
  void shippedDocumentHoldsTogether();
  void onlyJumpsWithinTheDocumentAreFollowed();
  void tooDeepDocumentOpensAsBareText();
  void picturesComeOnlyFromRegularFilesInTheGameFolder();
};

void HelpTest::indexAndCloseSendTheirCommands() {
  RecordingHelp help;
  TestWindow t(1, true, [&](TestWindow &w) { w.help = &help; });
  QTest::keyClick(t.window.get(), Qt::Key_F1);
  t.window->ui()->mnuHelpIndex->trigger();
  QCOMPARE(int(help.calls.size()), 2);
  for (const HelpCall &call : help.calls) {
    QCOMPARE(call.owner, t.window.get());
    QCOMPARE(call.fileName, QStringLiteral("Zanthorix.hlp")); // bare: the viewer finds it
    QCOMPARE(call.command, HELP_FINDER);
    QCOMPARE(call.data, std::uintptr_t(0));
  }

  bool sheetReleased = false;
  help.onCall = [&] { sheetReleased = t.window->BallSheet.isNull(); };
  t.window->close();
  QCOMPARE(int(help.calls.size()), 3);
  QCOMPARE(help.calls[2].command, HELP_QUIT);
  QCOMPARE(help.calls[2].data, std::uintptr_t(0));
  QCOMPARE(help.calls[2].fileName, QStringLiteral("Zanthorix.hlp"));
  QVERIFY(sheetReleased);
}

void HelpTest::f1OpensTheViewerOnTheContents() {
  RealViewer r;
  QVERIFY(QFile::copy(ShippedHelpFile(), r.InProgramFolder()));
  TestWindow t(1, true, [&](TestWindow &w) { w.help = &r.viewer; });
  QTest::keyClick(t.window.get(), Qt::Key_F1);

  HelpWindow *w = r.viewer.Window();
  QVERIFY(w);
  QVERIFY(w->isVisible());
  QCOMPARE(w->Path(), r.InProgramFolder());
  QCOMPARE(w->windowTitle(), QStringLiteral("Zanthorix Help"));
  QCOMPARE(w->tabs()->currentWidget(), w->contentsList());
  QCOMPARE(w->tabs()->tabText(0), QStringLiteral("Contents"));
  QCOMPARE(w->tabs()->tabText(1), QStringLiteral("Index"));
  QVERIFY(w->contentsList()->count() > 5);
  QVERIFY(w->indexList()->count() > 10);
  QVERIFY(w->browser()->toPlainText().contains(QStringLiteral("How to play")));
  QCOMPARE(w->browser()->verticalScrollBar()->value(), 0);
  QVERIFY(r.dialogs.boxes.empty());

  // F1 again brings the same window to the front, minimised or not; it was
  // opened centred on the screen, frame and all.
  QCOMPARE(w->frameGeometry().center(), w->screen()->availableGeometry().center());
  w->setWindowState(Qt::WindowMinimized);
  t.window->activateWindow();
  QTest::keyClick(t.window.get(), Qt::Key_F1);
  QCOMPARE(r.viewer.Window(), w);
  QVERIFY(w->isVisible());
  QVERIFY(!(w->windowState() & Qt::WindowMinimized));
}

void HelpTest::closingTheGameClosesTheViewer() {
  RealViewer r;
  WriteFile(r.InProgramFolder(), SmallHelp);
  TestWindow t(1, true, [&](TestWindow &w) { w.help = &r.viewer; });
  t.window->ui()->mnuHelpIndex->trigger();
  QVERIFY(r.viewer.Window() && r.viewer.Window()->isVisible());
  t.window->close();
  QVERIFY(!r.viewer.Window()->isVisible());
}

void HelpTest::closingWithoutHelpDoesNothingVisible() {
  RealViewer r;
  TestWindow t(1, true, [&](TestWindow &w) { w.help = &r.viewer; });
  const int windowsBefore = int(QApplication::topLevelWidgets().size());
  t.window->close();
  QCOMPARE(r.viewer.Window(), nullptr);
  QVERIFY(r.dialogs.boxes.empty());
  QVERIFY(t.dialogs.boxes.empty());
  QCOMPARE(int(QApplication::topLevelWidgets().size()), windowsBefore);
}

void HelpTest::missingFileIsReportedAndTheGameGoesOn() {
  RealViewer r; // neither folder holds the file
  TestWindow t(1, true, [&](TestWindow &w) { w.help = &r.viewer; });
  QTest::keyClick(t.window.get(), Qt::Key_F1);
  QCOMPARE(int(r.dialogs.boxes.size()), 1);
  QCOMPARE(r.dialogs.boxes[0].caption, QStringLiteral("Help"));
  QCOMPARE(r.dialogs.boxes[0].text, QStringLiteral("Cannot find the help file Zanthorix.hlp."));
  QCOMPARE(r.dialogs.boxes[0].buttons, MsgButtons::Ok);
  QCOMPARE(r.viewer.Window(), nullptr);
  QVERIFY(t.dialogs.boxes.empty()); // the game itself says nothing

  t.Press(17, 17);
  QVERIFY(t.Panel(1).startsWith(QStringLiteral("Points: ")));
  t.window->activateWindow();
  QTest::keyClick(t.window.get(), Qt::Key_F1);
  QCOMPARE(int(r.dialogs.boxes.size()), 2);
}

void HelpTest::programFolderComesBeforeWorkingFolder() {
  RealViewer r;
  WriteFile(r.InWorkingFolder(), SmallHelp);
  QCOMPARE(r.viewer.Locate(QStringLiteral("Zanthorix.hlp")),
           QDir::current().filePath(QStringLiteral("Zanthorix.hlp")));
  QVERIFY(r.Find());
  QCOMPARE(QFileInfo(r.viewer.Window()->Path()).canonicalFilePath(),
           QFileInfo(r.InWorkingFolder()).canonicalFilePath());

  WriteFile(r.InProgramFolder(), SmallHelp);
  QCOMPARE(r.viewer.Locate(QStringLiteral("Zanthorix.hlp")), r.InProgramFolder());
  // A name with a folder is taken as it stands.
  QCOMPARE(r.viewer.Locate(r.InWorkingFolder()), r.InWorkingFolder());
  QCOMPARE(r.viewer.Locate(r.workingFolder.filePath(QStringLiteral("none.hlp"))), QString());
}

void HelpTest::unreadableOrOversizedFileIsRefused() {
  RealViewer r;
  QVERIFY(QDir(r.programFolder.path()).mkdir(QStringLiteral("Zanthorix.hlp")));
  QVERIFY(!r.Find());
  QCOMPARE(int(r.dialogs.boxes.size()), 1);
  QCOMPARE(r.dialogs.boxes[0].caption, QStringLiteral("Help"));
  QVERIFY(r.dialogs.boxes[0].text.startsWith(QStringLiteral("Cannot read the help file ")));
  QCOMPARE(r.viewer.Window(), nullptr);

  QVERIFY(QDir(r.programFolder.path()).rmdir(QStringLiteral("Zanthorix.hlp")));
  WriteFile(r.InProgramFolder(), QByteArray(QtHelpViewer::MaxFileSize + 1, 'x'));
  QVERIFY(!r.Find());
  QCOMPARE(int(r.dialogs.boxes.size()), 2);
  QVERIFY(r.dialogs.boxes[1].text.contains(QStringLiteral("too large")));
  QCOMPARE(r.viewer.Window(), nullptr);

  // A FIFO is refused without waiting for a writer.
  QVERIFY(QFile::remove(r.InProgramFolder()));
  QCOMPARE(mkfifo(QFile::encodeName(r.InProgramFolder()).constData(), 0600), 0);
  QVERIFY(!r.Find());
  QCOMPARE(r.dialogs.boxes.back().text,
           QStringLiteral("Cannot read the help file %1.").arg(r.InProgramFolder()));
  QCOMPARE(r.viewer.Window(), nullptr);
  QVERIFY(QFile::remove(r.InProgramFolder()));

  // Right at the limit it is still shown.
  WriteFile(r.InProgramFolder(),
            SmallHelp + QByteArray(QtHelpViewer::MaxFileSize - SmallHelp.size(), ' '));
  QVERIFY(r.Find());
  QCOMPARE(int(r.dialogs.boxes.size()), 3);
}

void HelpTest::playerClosedViewerOpensAgain() {
  RealViewer r;
  WriteFile(r.InProgramFolder(), SmallHelp);
  QVERIFY(r.Find());
  HelpWindow *w = r.viewer.Window();
  w->tabs()->setCurrentIndex(1);
  w->close();
  // Quitting now has nothing left to close.
  QVERIFY(r.viewer.Help(nullptr, QStringLiteral("Zanthorix.hlp"), HELP_QUIT, 0));
  QVERIFY(!w->isVisible());

  // Shown again on the contents, and read afresh.
  WriteFile(r.InProgramFolder(), QByteArray(SmallHelp).replace("Apples", "Pears"));
  QVERIFY(r.Find());
  QVERIFY(w->isVisible());
  QCOMPARE(w->tabs()->currentWidget(), w->contentsList());
  QCOMPARE(Items(w->contentsList()), QStringList{QStringLiteral("Pears")});
}

void HelpTest::unknownCommandIsRefused() {
  RealViewer r;
  WriteFile(r.InProgramFolder(), SmallHelp);
  QVERIFY(!r.viewer.Help(nullptr, QStringLiteral("Zanthorix.hlp"), 1, 0));
  QCOMPARE(r.viewer.Window(), nullptr);
  QVERIFY(r.dialogs.boxes.empty());
}

void HelpTest::shippedDocumentHoldsTogether() {
  QFile file(ShippedHelpFile());
  QVERIFY(file.open(QIODevice::ReadOnly));
  const HelpDocument doc = ParseHelpDocument(QString::fromUtf8(file.readAll()));
  QVERIFY(!doc.plain); // well inside the budget: shown as written

  QStringList chapters;
  for (const HelpTopic &topic : doc.contents) {
    QVERIFY2(doc.anchors.contains(topic.anchor), qPrintable(topic.anchor));
    if (topic.level == 1) chapters << topic.title;
  }
  for (const char *wanted : {"How to play", "Scoring", "Choosing the number of colours",
                             "High scores", "Menus", "Sound and music", "Your player name"})
    QVERIFY2(chapters.contains(QString::fromLatin1(wanted)), wanted);
  QVERIFY(doc.index.size() >= 20);
  for (const HelpIndexEntry &entry : doc.index)
    QVERIFY2(doc.anchors.contains(entry.anchor), qPrintable(entry.term));
  // Every jump inside the text lands somewhere.
  static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
  for (auto it = link.globalMatch(doc.html); it.hasNext();) {
    const QString anchor = it.next().captured(1);
    QVERIFY2(doc.anchors.contains(anchor), qPrintable(anchor));
  }

  // Choosing an index entry moves the text to its topic.
  RealViewer r;
  QVERIFY(QFile::copy(ShippedHelpFile(), r.InProgramFolder()));
  QVERIFY(r.Find());
  HelpWindow *w = r.viewer.Window();
  QVERIFY(QTest::qWaitForWindowExposed(w));
  // The word is typed right after choosing the tab, by click or by key.
  QApplication::setActiveWindow(w);
  QTabBar *bar = w->tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ti"));
  bar->setFocus();
  QTest::keyClick(bar, Qt::Key_Left);
  QTest::keyClick(bar, Qt::Key_Right);
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("e"));
  QCOMPARE(w->indexFilter()->text(), QStringLiteral("tie"));
  QCOMPARE(w->indexList()->currentItem()->text(), QStringLiteral("Ties in the high scores"));
  QTest::keyClick(w->indexFilter(), Qt::Key_Return);
  QVERIFY(w->browser()->verticalScrollBar()->value() > 0);
}

void HelpTest::onlyJumpsWithinTheDocumentAreFollowed() {
  RealViewer r;
  WriteFile(r.InProgramFolder(), SmallHelp);
  QVERIFY(r.Find());
  QTextBrowser *browser = r.viewer.Window()->browser();
  const QString before = browser->toHtml();
  emit browser->anchorClicked(QUrl(QStringLiteral("http://example.org/")));
  emit browser->anchorClicked(QUrl::fromLocalFile(QStringLiteral("/etc/hostname")));
  QCOMPARE(browser->toHtml(), before);
  QVERIFY(browser->source().isEmpty());
}

// Shown as its bare text, a document too deep to lay out still leads from
// its contents to its anchors.
void HelpTest::tooDeepDocumentOpensAsBareText() {
  const QByteArray deep = "<h1><a name=\"top\">Top</a></h1>" +
                          QByteArray("<table><tr><td><ul><li>").repeated(40000) +
                          QByteArray("<p>A line of text to scroll past.").repeated(200) +
                          "<h2 id=\"deep\">Deep</h2>down here";
  RealViewer r;
  WriteFile(r.InProgramFolder(), deep);
  QVERIFY(r.Find());
  HelpWindow *w = r.viewer.Window();
  QVERIFY(w->browser()->toPlainText().endsWith("down here"));
  QVERIFY(w->browser()->document()->rootFrame()->childFrames().isEmpty()); // no tables
  QCOMPARE(Items(w->contentsList()), (QStringList{"Top", "Deep"}));
  w->GoTo(QStringLiteral("deep"));
  QVERIFY(w->browser()->verticalScrollBar()->value() > 0);
}

void HelpTest::picturesComeOnlyFromRegularFilesInTheGameFolder() {
  RealViewer r;
  QImage picture(3, 2, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QVERIFY(picture.save(r.programFolder.filePath(QStringLiteral("ok.png"))));
  QVERIFY(picture.save(r.workingFolder.filePath(QStringLiteral("outside.png"))));
  for (const QTemporaryDir *folder : {&r.programFolder, &r.workingFolder})
    QCOMPARE(mkfifo(QFile::encodeName(folder->filePath(QStringLiteral("fifo.png"))), 0600), 0);
  const QStringList refused{"/dev/zero", "file:///dev/zero", "fifo.png",
                            "../" + QDir(r.workingFolder.path()).dirName() + "/outside.png"};
  QByteArray html = SmallHelp + "<img src=\"ok.png\">";
  for (const QString &src : refused)
    html += "<img src=\"" + src.toUtf8() + "\">";
  WriteFile(r.InProgramFolder(), html);
  QVERIFY(r.Find());
  QTextDocument *document = r.viewer.Window()->browser()->document();
  const auto image = [&](const QString &src) {
    return document->resource(QTextDocument::ImageResource, QUrl(src)).value<QImage>();
  };
  QCOMPARE(image(QStringLiteral("ok.png")).size(), QSize(3, 2));
  for (const QString &src : refused)
    QVERIFY2(image(src).size() != picture.size(), qPrintable(src));
}

ZANTHORIX_GUI_TEST_MAIN(HelpTest)
#include "tst_help.moc"
