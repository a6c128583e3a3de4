// SPDX-License-Identifier: GPL-3.0-or-later
// Painting the board: the frame, the 64 squares and their highlight outlines.
#pragma once

#include "rules/Board.h"

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <array>

class QPainter;

namespace zanthorix {

using SpriteOrigins = std::array<QPoint, MaxBallKinds + 1>; // indexed by kind 1..7

SpriteOrigins MakeSpriteOrigins();

QRect SquareRect(int column, int row);  // the 20 by 20 sprite square
QRect OutlineRect(int column, int row); // the 24 by 24 highlight outline
// The column and row of the square a point of the board area falls in; off
// the board (outside 1 to 8) beyond the frame.
QPoint SquareAt(int x, int y);

// The ball sheet also drawn at two and three times its size, for screens with
// more than one device pixel to a logical pixel. Each sprite is made once for
// the ratio last painted at, so every ball of a kind looks the same.
class LargeBallSheets {
public:
  // The resources "Balls@2x" and "Balls@3x" are decoded when first needed.
  void Release();

  // The sprite of kind, side by side device pixels, for ratio; taken from the
  // sheet whose scale is the next integer at or above ratio (sheet itself at 1).
  const QImage &Sprite(const QImage &sheet, const SpriteOrigins &origins, int kind, qreal ratio,
                       int side);

private:
  std::array<QImage, 2> sheets_; // 2x and 3x
  qreal ratio_ = 0;
  std::array<QImage, MaxBallKinds + 1> sprites_;
};

// Paints in device pixels: lines of a whole number of device pixels and
// sprites on device pixel boundaries. At a ratio of 1 this is the sheet's
// pixels in the geometry of the squares above.
void PaintBoard(QPainter &painter, const Board &board, const QImage &sheet,
                const SpriteOrigins &origins, const QColor &background, LargeBallSheets &large);

} // namespace zanthorix
