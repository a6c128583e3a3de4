#include "app/DrawBoard.h"

#include <QPainter>

namespace zanthorix {

namespace {
constexpr int Pitch = 25;
constexpr int SquareSide = 20;
const QColor Highlight(255, 255, 0);
} // namespace

SpriteOrigins MakeSpriteOrigins() {
  SpriteOrigins origins{};
  for (int k = 1; k <= MaxBallKinds; ++k)
    origins[k] = QPoint(((k - 1) % 3) * SquareSide, ((k - 1) / 3) * SquareSide);
  return origins;
}

QRect FrameRect() { return QRect(QPoint(5, 5), QPoint(205, 205)); }

QRect SquareRect(int column, int row) {
  return QRect((column - 1) * Pitch + 8, (row - 1) * Pitch + 8, SquareSide, SquareSide);
}

QRect OutlineRect(int column, int row) { return SquareRect(column, row).adjusted(-2, -2, 2, 2); }

// A QRect's right and bottom are its last pixels; an aliased one-pixel pen
// outlines a rectangle of width w from x to x + w, hence the one less.
static void Outline(QPainter &painter, const QRect &r) {
  painter.drawRect(r.x(), r.y(), r.width() - 1, r.height() - 1);
}

void PaintBoard(QPainter &painter, const Board &board, const QImage &sheet,
                const SpriteOrigins &origins, const QColor &background) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 0));
  Outline(painter, FrameRect());

  for (int row = 1; row <= BoardSize; ++row) {
    for (int column = 1; column <= BoardSize; ++column) {
      const Cell &cell = board(column, row);
      const QRect square = SquareRect(column, row);
      if (cell.Kind >= 1 && cell.Kind <= MaxBallKinds) {
        painter.drawImage(square.topLeft(), sheet,
                          QRect(origins[cell.Kind], QSize(SquareSide, SquareSide)));
      } else {
        painter.fillRect(square, background);
      }
      painter.setPen(QPen(cell.Selected ? Highlight : background, 0));
      Outline(painter, OutlineRect(column, row));
    }
  }
}

} // namespace zanthorix
