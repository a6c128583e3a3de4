#include "player/InputBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace zanthorix {

namespace {

// a * b / c rounded half away from zero, as dialog-unit arithmetic does it.
int MulDiv(int a, int b, int c) {
  return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

} // namespace

TInputBox::TInputBox(const QString &caption, const QString &prompt, const QString &initial,
                     QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      initial_(initial) {
  setWindowTitle(caption);
  setWindowModality(Qt::ApplicationModal);

  const QFontMetrics metrics(font());
  averageWidth_ = metrics.horizontalAdvance(
                      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                  52;
  height_ = metrics.height();

  lblPrompt = new QLabel(prompt, this);
  lblPrompt->move(UnitsX(8), UnitsY(8));
  lblPrompt->adjustSize();

  txtValue = new QLineEdit(this);
  txtValue->setMaxLength(255);
  txtValue->setText(initial);
  txtValue->selectAll();
  txtValue->setGeometry(UnitsX(8), UnitsY(19), UnitsX(164), txtValue->sizeHint().height());

  btnOK = new QPushButton(tr("OK"), this);
  btnOK->setDefault(true);
  btnOK->setGeometry(UnitsX(38), UnitsY(41), UnitsX(50), UnitsY(14));
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

  // QDialog already takes Esc as a reject.
  btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setGeometry(UnitsX(92), UnitsY(41), UnitsX(50), UnitsY(14));
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(UnitsX(180), UnitsY(63));
  txtValue->setFocus();

  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

int TInputBox::UnitsX(int units) const { return MulDiv(units, averageWidth_, 4); }
int TInputBox::UnitsY(int units) const { return MulDiv(units, height_, 8); }

QString TInputBox::Value() const { return result() == Accepted ? txtValue->text() : initial_; }

QString InputBox(const QString &caption, const QString &prompt, const QString &initial) {
  TInputBox box(caption, prompt, initial);
  box.exec();
  return box.Value();
}

} // namespace zanthorix
