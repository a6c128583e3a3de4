// SPDX-License-Identifier: GPL-3.0-or-later
// A main window on the offscreen platform with boxes that the test answers.
#pragma once

#include "app/Main.h"
#include "app/QtDialogs.h"
#include "media/FakeMediaDevice.h"
#include "player/HelpViewer.h"
#include "player/Registry.h"
#include "rules/Random.h"
#include "scores/HighScoreTables.h"

#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <map>
#include <memory>

namespace zanthorix {

// The centre of a square, in the board area's pixels.
inline QPoint Centre(int column, int row) { return SquareRect(column, row).center(); }

// A square (column, row) whose ball has a like neighbour to its right or
// below, so that a press selects a group; (0, 0) when there is none.
QPoint GroupSquare(const Board &board);

struct ShownBox {
  QString text;
  QString caption;
  MsgButtons buttons;
  MsgIcon icon;
};

// Records every box and answers from a queue (OK, or Yes when empty).
class FakeDialogs : public Dialogs {
public:
  std::vector<ShownBox> boxes;
  std::deque<MsgResult> answers;
  std::deque<QString> inputs;  // what the name prompt gives back
  QStringList inputCalls;      // caption|prompt|initial of each name prompt
  std::function<void()> onBox; // runs while a box is "open"

  MsgResult MessageBox(const QString &text, const QString &caption, MsgButtons buttons,
                       MsgIcon icon) override;
  QString InputBox(const QString &caption, const QString &prompt, const QString &initial) override;
};

// A settings store in memory; each failure can be switched on.
class MemorySettings : public SettingsStore {
public:
  std::map<QString, std::map<QString, QVariant>> keys; // by group
  bool failCreate = false;
  bool failWrite = false;

  bool KeyOpenable(const RegistryKey &key) override;
  bool CreateKey(const RegistryKey &key) override;
  QVariant Value(const RegistryKey &key, const QString &name, bool &failed) override;
  bool SetValue(const RegistryKey &key, const QString &name, const QString &text) override;
};

// Shows the window as the program does and lets it settle: painted, and
// what it does once on screen done.
void ShowWindow(TfrmZanthorix &window);

struct TestWindow {
  // prepare runs before the window is made, to set up what it is handed.
  explicit TestWindow(std::uint32_t seed = 1, bool show = true,
                      const std::function<void(TestWindow &)> &prepare = {});
  Services MakeServices();
  ~TestWindow();

  QTemporaryDir folder;
  FakeDialogs dialogs;
  StdRandom rng;
  MemorySettings settings;
  SettingsStore *store = &settings; // the store the window is handed
  HelpViewer *help = nullptr;       // the help viewer, if any
  HighScoreTables highScores;
  int terminated = 0; // times the game was told to end
  // Silent media; the folder holds a stand-in bgmusic.mid so that the
  // music opens quietly.
  FakeMediaDevice media;
  std::unique_ptr<TfrmZanthorix> window;

  // A press as the player makes it: through the window, at client pixel (x, y).
  void Press(int x, int y, Qt::MouseButton button = Qt::LeftButton);
  void DoubleClick(int x, int y);
  // The board rendered as a screen of ratio device pixels to a logical pixel shows it.
  QImage BoardImage(qreal ratio = 1) const;
  QString Panel(int panel) const;
};

} // namespace zanthorix

#include "app/Application.h"

#include <QTest>

// A test program whose application object is the game's own.
#define ZANTHORIX_GUI_TEST_MAIN(TestClass)                                                         \
  int main(int argc, char **argv) {                                                                \
    zanthorix::TApplication app(argc, argv);                                                       \
    app.Title = QStringLiteral("Zanthorix");                                                       \
    app.HelpFile = QStringLiteral("Zanthorix.hlp");                                                \
    TestClass test;                                                                                \
    return QTest::qExec(&test, argc, argv);                                                        \
  }
