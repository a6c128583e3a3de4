// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWindow.h"

#include "app/Application.h"
#include "app/BoardArea.h"
#include "app/StatusBar.h"
#include "ui_Main.h"

#include <QFile>
#include <QTest>

namespace zanthorix {

MsgResult FakeDialogs::MessageBox(const QString &text, const QString &caption, MsgButtons buttons,
                                  MsgIcon icon) {
  boxes.push_back({text, caption, buttons, icon});
  if (onBox) onBox();
  if (answers.empty()) return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
  const MsgResult answer = answers.front();
  answers.pop_front();
  return answer;
}

QString FakeDialogs::InputBox(const QString &caption, const QString &prompt,
                              const QString &initial) {
  inputCalls << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + initial;
  if (inputs.empty()) return initial;
  const QString typed = inputs.front();
  inputs.pop_front();
  return typed;
}

static QString Group(const RegistryKey &key) {
  return key.organisation + QLatin1Char('/') + key.application + QLatin1Char('/') + key.group;
}

bool MemorySettings::KeyOpenable(const RegistryKey &key) {
  return keys.count(Group(key)) > 0 && !failWrite;
}

bool MemorySettings::CreateKey(const RegistryKey &key) {
  if (failCreate) return false;
  keys[Group(key)];
  return true;
}

QVariant MemorySettings::Value(const RegistryKey &key, const QString &name, bool &failed) {
  failed = false;
  const auto group = keys.find(Group(key));
  if (group == keys.end()) return {};
  const auto value = group->second.find(name);
  return value == group->second.end() ? QVariant() : value->second;
}

bool MemorySettings::SetValue(const RegistryKey &key, const QString &name, const QString &text) {
  if (failWrite) return false;
  keys[Group(key)][name] = text;
  return true;
}

Services TestWindow::MakeServices() {
  Services services;
  services.rng = &rng;
  services.dialogs = &dialogs;
  services.programFolder = folder.path() + QLatin1Char('/');
  services.highScores = &highScores;
  services.settings = store;
  services.help = help;
  services.media = &media;
  services.terminate = [this] { ++terminated; };
  return services;
}

TestWindow::TestWindow(std::uint32_t seed, bool show,
                       const std::function<void(TestWindow &)> &prepare)
    : rng(seed) {
  if (auto *app = TApplication::instance()) app->SetDialogs(&dialogs);
  ResetHighScoreTables(highScores);
  // A stand-in tune, so that the music opens quietly.
  QFile music(folder.path() + QStringLiteral("/bgmusic.mid"));
  if (music.open(QIODevice::WriteOnly)) music.write("MThd");
  if (prepare) prepare(*this);
  window = std::make_unique<TfrmZanthorix>(MakeServices());
  if (show) ShowWindow(*window);
}

void ShowWindow(TfrmZanthorix &window) {
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  // The first paint, then what the window does once it is on screen.
  window.ui()->boardArea->repaint();
  QCoreApplication::processEvents();
}

TestWindow::~TestWindow() {
  if (window && window->isVisible()) window->close();
  window.reset();
  if (auto *app = TApplication::instance()) app->SetDialogs(nullptr);
}

static QPoint InWindow(const TfrmZanthorix &w, int x, int y) {
  return w.ui()->boardArea->mapTo(&w, QPoint(x, y));
}

void TestWindow::Press(int x, int y, Qt::MouseButton button) {
  QTest::mouseClick(window->windowHandle(), button, {}, InWindow(*window, x, y));
}

void TestWindow::DoubleClick(int x, int y) {
  QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {}, InWindow(*window, x, y));
}

QImage TestWindow::BoardImage(qreal ratio) const {
  BoardArea *area = window->ui()->boardArea;
  QImage image(area->size() * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::magenta);
  area->render(&image);
  return image;
}

QString TestWindow::Panel(int panel) const { return window->barStatus()->PanelText(panel); }

QPoint GroupSquare(const Board &board) {
  for (int c = 1; c <= BoardSize; ++c)
    for (int r = 1; r <= BoardSize; ++r) {
      const int kind = board(c, r).Kind;
      if (kind > 0 && ((c < BoardSize && board(c + 1, r).Kind == kind) ||
                       (r < BoardSize && board(c, r + 1).Kind == kind)))
        return {c, r};
    }
  return {};
}

} // namespace zanthorix
