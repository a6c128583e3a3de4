// SPDX-License-Identifier: GPL-3.0-or-later
// The 210 by 210 board at the top of the main window: hands its paint events
// and mouse presses to the window.
#pragma once

#include <QWidget>

#include <functional>

namespace zanthorix {

class BoardArea : public QWidget {
  Q_OBJECT
public:
  static constexpr int Side = 210;

  explicit BoardArea(QWidget *parent = nullptr);

  std::function<void(QPainter &)> OnPaint;
  std::function<void(Qt::MouseButton, int x, int y)> OnMouseDown;

protected:
  void paintEvent(QPaintEvent *event) override;
  // A double-click arrives as a second press through QWidget's own
  // mouseDoubleClickEvent, which must stay as it is.
  void mousePressEvent(QMouseEvent *event) override;
};

} // namespace zanthorix
