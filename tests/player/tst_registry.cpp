// SPDX-License-Identifier: GPL-3.0-or-later
// The player's name in the settings store, and the box that asks for it.
#include "app/TestWindow.h"
#include "player/InputBox.h"
#include "player/Registry.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

using namespace zanthorix;

namespace {

QSettings Store() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Mirrowdale", "Zanthorix");
}

QString ConfigHome() { return qEnvironmentVariable("XDG_CONFIG_HOME"); }

} // namespace

class RegistryTest : public QObject {
  Q_OBJECT
private slots:
  void init();
  void firstRunCreatesNothing();
  void cancelWithNoKeyWritesEmptyName();
  void typedNameIsStoredAsTyped();
  void valueThatIsNotText();
  void embeddedNulCutsTheName();
  void keyThatCannotBeCreatedEndsTheGame();
  void valueThatCannotBeWritten();
  void accessorKeepsItsKeyOnFailure();
  void inputBoxLayout();
  void inputBoxAnswers();
  void realInputBoxUnderATimer();
};

// Each test starts with no store at all.
void RegistryTest::init() {
  {
    QSettings s = Store();
    s.clear();
    s.sync();
  }
  QDir(ConfigHome() + "/Mirrowdale").removeRecursively();
}

void RegistryTest::firstRunCreatesNothing() {
  NativeSettingsStore real;
  TestWindow t(1, false, [&real](TestWindow &w) { w.store = &real; });
  QCOMPARE(t.window->PlayerName, QString());
  QVERIFY(t.dialogs.boxes.empty());
  QVERIFY(!QDir(ConfigHome() + "/Mirrowdale").exists());

  t.window->mnuOptionsUserClick();
  QCOMPARE(t.dialogs.inputCalls, QStringList("User Name|Enter a name to use for the high scores|"));
}

void RegistryTest::cancelWithNoKeyWritesEmptyName() {
  NativeSettingsStore real;
  TestWindow t(1, false, [&real](TestWindow &w) { w.store = &real; });
  t.window->mnuOptionsUserClick(); // no typed answer: Cancel
  const QString file = ConfigHome() + "/Mirrowdale/Zanthorix.conf";
  QVERIFY(QFile::exists(file));
  QSettings s = Store();
  QCOMPARE(s.childGroups(), QStringList("v1.0"));
  QVERIFY(s.contains("v1.0/User"));
  QCOMPARE(s.value("v1.0/User").toString(), QString());
  QCOMPARE(t.terminated, 0);
}

void RegistryTest::typedNameIsStoredAsTyped() {
  NativeSettingsStore real;
  {
    TestWindow t(1, false, [&real](TestWindow &w) { w.store = &real; });
    t.dialogs.inputs.push_back("  Zoë \u20ac ");
    t.window->mnuOptionsUserClick();
    QCOMPARE(t.window->PlayerName, QString("  Zoë \u20ac "));
  }
  TestWindow next(2, false, [&real](TestWindow &w) { w.store = &real; });
  QCOMPARE(next.window->PlayerName, QString("  Zoë \u20ac "));
  // Opening the next time shows the stored name in the box.
  next.window->mnuOptionsUserClick();
  QVERIFY(next.dialogs.inputCalls.at(0).endsWith("|  Zoë \u20ac "));
}

void RegistryTest::valueThatIsNotText() {
  {
    QSettings s = Store();
    s.setValue("v1.0/User", QByteArray("\x01\x02", 2));
    s.sync();
  }
  NativeSettingsStore real;
  TestWindow t(1, false, [&real](TestWindow &w) { w.store = &real; });
  QCOMPARE(t.window->PlayerName, QString());
  QCOMPARE(t.dialogs.boxes.size(), std::size_t(1));
  QCOMPARE(t.dialogs.boxes[0].text, QString("Invalid data type for 'User'"));
  QCOMPARE(t.dialogs.boxes[0].caption, QString("Zanthorix"));
  QCOMPARE(t.dialogs.boxes[0].icon, MsgIcon::Error);
  QVERIFY(t.window->board(1, 1).Kind != 0); // the rest of the start went before
}

void RegistryTest::embeddedNulCutsTheName() {
  {
    QSettings s = Store();
    s.setValue("v1.0/User", QString("Ann") + QChar(0) + QString("Other"));
    s.sync();
  }
  NativeSettingsStore real;
  TestWindow t(1, false, [&real](TestWindow &w) { w.store = &real; });
  QCOMPARE(t.window->PlayerName, QString("Ann"));
  QVERIFY(t.dialogs.boxes.empty());
}

void RegistryTest::keyThatCannotBeCreatedEndsTheGame() {
  TestWindow t(1, false);
  t.settings.failCreate = true;
  t.dialogs.inputs.push_back("Bea");
  t.window->mnuOptionsUserClick();
  QCOMPARE(t.dialogs.boxes.size(), std::size_t(1));
  QCOMPARE(t.dialogs.boxes[0].text, QString("Error writing user name to registry!"));
  QCOMPARE(t.dialogs.boxes[0].caption, QString("Error!"));
  QCOMPARE(t.dialogs.boxes[0].icon, MsgIcon::None);
  QCOMPARE(t.terminated, 1);
  QVERIFY(t.settings.keys.empty());
  QCOMPARE(t.window->PlayerName, QString("Bea"));
}

void RegistryTest::valueThatCannotBeWritten() {
  TestWindow t(1, false);
  t.settings.keys["Mirrowdale/Zanthorix/v1.0"]["User"] = QString("Old");
  t.settings.failWrite = true;
  t.dialogs.inputs.push_back("New");
  // Reached through the menu the application's error box reports it.
  QString message;
  try {
    t.window->mnuOptionsUserClick();
  } catch (const std::exception &e) {
    message = QString::fromUtf8(e.what());
  }
  QCOMPARE(message, QString("Failed to set data for 'User'"));
  QCOMPARE(ErrorBoxText(message), QString("Failed to set data for 'User'"));
  QCOMPARE(t.window->PlayerName, QString("New"));
  QCOMPARE(t.settings.keys["Mirrowdale/Zanthorix/v1.0"]["User"].toString(), QString("Old"));
  QCOMPARE(t.terminated, 0);
}

void RegistryTest::accessorKeepsItsKeyOnFailure() {
  MemorySettings store;
  store.keys["Mirrowdale/Zanthorix/v1.0"]["User"] = QString("Cy");
  TRegistry registry(&store);
  QVERIFY(registry.OpenKey("Software\\Mirrowdale\\Zanthorix\\v1.0", false));
  QVERIFY(!registry.OpenKey("Software\\Mirrowdale\\Zanthorix\\v2.0", false));
  QVERIFY(!registry.OpenKey("Mirrowdale", true));
  QCOMPARE(registry.CurrentPath(), QString("Software\\Mirrowdale\\Zanthorix\\v1.0"));
  QCOMPARE(registry.ReadString("User"), QString("Cy"));
  QCOMPARE(registry.ReadString("Missing"), QString());
  registry.CloseKey();
  QCOMPARE(registry.ReadString("User"), QString()); // no key open
  QVERIFY_THROWS_EXCEPTION(ERegistryException, registry.WriteString("User", "x"));

  store.keys["Mirrowdale/Zanthorix/v1.0"]["User"] = 42;
  QVERIFY(registry.OpenKey("Software\\Mirrowdale\\Zanthorix\\v1.0", false));
  QVERIFY_THROWS_EXCEPTION(ERegistryException, registry.ReadString("User"));
}

void RegistryTest::inputBoxLayout() {
  TInputBox box("User Name", "Enter a name to use for the high scores", "Dee");
  const QFontMetrics fm(box.font());
  const int avg = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
  QVERIFY(avg > 0);
  QCOMPARE(box.UnitsX(4), avg);
  QCOMPARE(box.UnitsY(8), fm.height());
  QCOMPARE(box.size(), QSize(box.UnitsX(180), box.UnitsY(63)));
  QCOMPARE(box.minimumSize(), box.maximumSize());
  QCOMPARE(box.windowTitle(), QString("User Name"));
  QCOMPARE(box.lblPrompt->pos(), QPoint(box.UnitsX(8), box.UnitsY(8)));
  QCOMPARE(box.lblPrompt->text(), QString("Enter a name to use for the high scores"));
  QCOMPARE(box.txtValue->geometry().topLeft(), QPoint(box.UnitsX(8), box.UnitsY(19)));
  QCOMPARE(box.txtValue->width(), box.UnitsX(164));
  QCOMPARE(box.btnOK->geometry(),
           QRect(box.UnitsX(38), box.UnitsY(41), box.UnitsX(50), box.UnitsY(14)));
  QCOMPARE(box.btnCancel->geometry(),
           QRect(box.UnitsX(92), box.UnitsY(41), box.UnitsX(50), box.UnitsY(14)));
  QVERIFY(box.btnOK->isDefault());
  QCOMPARE(box.txtValue->maxLength(), 255);
  QCOMPARE(box.txtValue->selectedText(), QString("Dee"));
}

void RegistryTest::inputBoxAnswers() {
  {
    TInputBox box("User Name", "Prompt", "Old");
    box.open();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClicks(box.txtValue, QString(300, 'z'));
    QCOMPARE(box.txtValue->text().size(), 255); // typing replaced the selection
    QTest::keyClick(box.txtValue, Qt::Key_Return);
    QCOMPARE(box.result(), int(QDialog::Accepted));
    QCOMPARE(box.Value(), QString(255, 'z'));
  }
  {
    TInputBox box("User Name", "Prompt", "Old");
    box.open();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClicks(box.txtValue, "Other");
    QTest::keyClick(box.txtValue, Qt::Key_Escape);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.Value(), QString("Old"));
  }
  {
    TInputBox box("User Name", "Prompt", "Old");
    box.open();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.txtValue->clear();
    QTest::mouseClick(box.btnOK, Qt::LeftButton);
    QCOMPARE(box.Value(), QString()); // an empty name is a name
  }
  // A stored name past the typing limit is held whole and given back whole,
  // unless edited; it can be shortened but not lengthened.
  const QString longName = QString(200, 'a') + QString(100, 'b');
  for (const bool edit : {false, true}) {
    TInputBox box("User Name", "Prompt", longName);
    box.open();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.txtValue->text(), longName);
    QTest::keyClick(box.txtValue, Qt::Key_End);
    QTest::keyClick(box.txtValue, Qt::Key_X);
    if (edit) QTest::keyClicks(box.txtValue, "\bx");
    QTest::keyClick(box.txtValue, Qt::Key_Return);
    QCOMPARE(box.Value(), edit ? longName.chopped(1) : longName);
  }
}

// The real prompt, answered by a timer that the test removes afterwards.
void RegistryTest::realInputBoxUnderATimer() {
  QTimer answer;
  answer.setInterval(20);
  int tries = 0;
  connect(&answer, &QTimer::timeout, this, [&] {
    auto *box = qobject_cast<TInputBox *>(QApplication::activeModalWidget());
    if (box) {
      box->txtValue->setText("Eve");
      box->btnOK->click();
    } else if (++tries > 250) {
      // Never leave the test waiting on a box.
      for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QDialog *>(w)) d->reject();
    }
  });
  answer.start();
  QtDialogs dialogs;
  const QString got = dialogs.InputBox("User Name", "Prompt", "Old");
  answer.stop();
  QCOMPARE(got, QString("Eve"));
}

int main(int argc, char **argv) {
  // A store of our own, whatever the environment says.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  zanthorix::TApplication app(argc, argv);
  app.Title = QStringLiteral("Zanthorix");
  RegistryTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_registry.moc"
