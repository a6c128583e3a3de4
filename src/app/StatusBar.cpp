// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/StatusBar.h"

#include <QPainter>
#include <qdrawutil.h>

namespace zanthorix {

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent) {
  for (int i = 0; i < PanelCount; ++i)
    texts_.append(QString());
  setSizeGripEnabled(false);
  setFixedHeight(BarHeight);
}

void TStatusBar::SetPanelText(int panel, const QString &text) {
  if (texts_[panel] == text) return;
  texts_[panel] = text;
  update(QRect(panel * PanelWidth, 0, PanelWidth, height()));
}

void TStatusBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  for (int i = 0; i < PanelCount; ++i) {
    const QRect panel(i * PanelWidth, 2, PanelWidth - 2, height() - 2);
    qDrawShadePanel(&painter, panel, palette(), true, 1);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(panel.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, texts_[i]);
  }
}

} // namespace zanthorix
