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

QRect FrameRect();                      // pixels 5..205 both ways
QRect SquareRect(int column, int row);  // the 20 by 20 sprite square
QRect OutlineRect(int column, int row); // the 24 by 24 highlight outline

void PaintBoard(QPainter &painter, const Board &board, const QImage &sheet,
                const SpriteOrigins &origins, const QColor &background);

} // namespace zanthorix
