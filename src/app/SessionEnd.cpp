// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SessionEnd.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>

#include <atomic>
#include <cstdio>

namespace zanthorix {

namespace {

// What a signal handler may reach: set before the hook, cleared after it.
std::atomic<void *> hookContext = nullptr;
std::atomic<void (*)(void *)> hookFunction = nullptr;

// A box answered for the player: its text is not lost.
void Report(QDialog *box) {
  if (auto *message = qobject_cast<QMessageBox *>(box))
    std::fprintf(stderr, "Zanthorix: %s\n", qPrintable(message->text()));
}

// Answers each box as it is shown; the box's own event loop then ends it.
class BoxAnswerer : public QObject {
public:
  using QObject::QObject;

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (auto *box = qobject_cast<QDialog *>(widget)) {
      Report(box);
      QMetaObject::invokeMethod(box, &QDialog::reject, Qt::QueuedConnection);
    } else if (widget->windowType() == Qt::Popup) {
      QMetaObject::invokeMethod(widget, &QWidget::close, Qt::QueuedConnection);
    }
    return false;
  }
};

} // namespace

void CloseOpenBoxes() {
  for (int popups = 0; popups < 16 && QApplication::activePopupWidget(); ++popups)
    QApplication::activePopupWidget()->close();
  for (QWidget *window : QApplication::topLevelWidgets()) {
    if (auto *box = qobject_cast<QDialog *>(window); box && box->isVisible()) {
      Report(box);
      box->reject();
    }
  }
}

void AnswerEveryBox() {
  static QPointer<QObject> answerer;
  if (answerer || !qApp) return;
  answerer = new BoxAnswerer(qApp);
  qApp->installEventFilter(answerer);
}

SignalHook::SignalHook(void (*hook)(void *), void *context) {
  hookContext = context;
  hookFunction = hook;
}

SignalHook::~SignalHook() {
  hookFunction = nullptr;
  hookContext = nullptr;
}

void RunSignalHook() {
  if (const auto hook = hookFunction.load()) hook(hookContext.load());
}

} // namespace zanthorix
