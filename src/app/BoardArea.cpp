// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BoardArea.h"

#include <QMouseEvent>
#include <QPainter>

namespace zanthorix {

BoardArea::BoardArea(QWidget *parent) : QWidget(parent) {
  setFixedSize(Side, Side);
  setAutoFillBackground(true); // the gaps between squares show the window colour
}

void BoardArea::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (OnPaint) OnPaint(painter);
}

void BoardArea::mousePressEvent(QMouseEvent *event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(event->button(), at.x(), at.y());
}

} // namespace zanthorix
