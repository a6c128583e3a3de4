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

TestWindow::TestWindow(std::uint32_t seed, bool show) : rng(seed) {
  if (auto *app = TApplication::instance()) app->SetDialogs(&dialogs);
  Services services;
  services.rng = &rng;
  services.dialogs = &dialogs;
  services.programFolder = folder.path() + QLatin1Char('/');
  services.media = &media;
  QFile music(services.programFolder + QStringLiteral("bgmusic.mid"));
  if (music.open(QIODevice::WriteOnly)) music.write("MThd");
  window = std::make_unique<TfrmZanthorix>(services);
  if (show) {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }
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

QImage TestWindow::BoardImage() const {
  BoardArea *area = window->ui()->boardArea;
  QImage image(area->size(), QImage::Format_RGB32);
  image.fill(Qt::magenta);
  area->render(&image);
  return image;
}

QString TestWindow::Panel(int panel) const { return window->barStatus()->PanelText(panel); }

} // namespace zanthorix
