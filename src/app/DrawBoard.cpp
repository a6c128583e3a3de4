// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DrawBoard.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace zanthorix {

namespace {
constexpr int Pitch = 25;
constexpr int FrameInset = 5; // the frame's outer edge, from the board area's
constexpr int SquareSide = 20;
const QColor Highlight(255, 255, 0);

// A ring of the given thickness just inside r.
void Ring(QPainter &painter, const QRect &r, int thickness, const QColor &colour) {
  painter.fillRect(QRect(r.left(), r.top(), r.width(), thickness), colour);
  painter.fillRect(QRect(r.left(), r.bottom() + 1 - thickness, r.width(), thickness), colour);
  painter.fillRect(QRect(r.left(), r.top(), thickness, r.height()), colour);
  painter.fillRect(QRect(r.right() + 1 - thickness, r.top(), thickness, r.height()), colour);
}
} // namespace

SpriteOrigins MakeSpriteOrigins() {
  SpriteOrigins origins{};
  for (int k = 1; k <= MaxBallKinds; ++k)
    origins[k] = QPoint(((k - 1) % 3) * SquareSide, ((k - 1) / 3) * SquareSide);
  return origins;
}

QRect SquareRect(int column, int row) {
  constexpr int first = FrameInset + 3;
  return QRect((column - 1) * Pitch + first, (row - 1) * Pitch + first, SquareSide, SquareSide);
}

QPoint SquareAt(int x, int y) {
  // Integer division rounds toward zero, so x from 0 to 4 is column 1 too.
  return {(x - FrameInset) / Pitch + 1, (y - FrameInset) / Pitch + 1};
}

QRect OutlineRect(int column, int row) { return SquareRect(column, row).adjusted(-2, -2, 2, 2); }

void LargeBallSheets::Release() {
  sheets_ = {};
  sprites_ = {};
  ratio_ = 0;
}

const QImage &LargeBallSheets::Sprite(const QImage &sheet, const SpriteOrigins &origins, int kind,
                                      qreal ratio, int side) {
  if (ratio != ratio_) {
    sprites_ = {};
    ratio_ = ratio;
  }
  QImage &sprite = sprites_[kind];
  if (sprite.isNull()) {
    int scale = std::clamp(int(std::ceil(ratio - 1e-6)), 1, 3);
    // Decoded on first need: a screen at scale 1 never pays for the large sheets.
    if (scale > 1 && sheets_[scale - 2].isNull())
      sheets_[scale - 2] =
          QImage(scale == 2 ? QStringLiteral(":/Balls@2x") : QStringLiteral(":/Balls@3x"))
              .convertToFormat(QImage::Format_RGB32);
    if (scale > 1 && sheets_[scale - 2].isNull()) scale = 1;
    const QImage &from = scale == 1 ? sheet : sheets_[scale - 2];
    sprite = from.copy(QRect(origins[kind] * scale, QSize(SquareSide, SquareSide) * scale));
    if (sprite.width() != side)
      sprite = sprite.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    sprite.setDevicePixelRatio(1); // "@2x" in a name sets it; here it is drawn in device pixels
  }
  return sprite;
}

void PaintBoard(QPainter &painter, const Board &board, const QImage &sheet,
                const SpriteOrigins &origins, const QColor &background, LargeBallSheets &large) {
  // Everything below is placed in device pixels. Squares start where their
  // logical corner falls; every size is fixed, so that like things look alike.
  const qreal ratio = std::max<qreal>(1, painter.deviceTransform().m11());
  const auto device = [ratio](int v) { return int(std::floor(v * ratio + 0.5)); };
  const int side = qRound(SquareSide * ratio);
  const int line = std::max(1, qRound(ratio));
  const int gap = std::max(1, int(std::floor(ratio))); // square to outline
  const int reach = gap + line;                        // square to outline's outer edge

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio), true);

  // The frame runs next to the outermost outlines, as at a ratio of 1.
  const int first = device(SquareRect(1, 1).x()) - reach - line;
  const int last = device(SquareRect(BoardSize, 1).x()) + side + reach + line;
  Ring(painter, QRect(first, first, last - first, last - first), line, Qt::black);

  for (int row = 1; row <= BoardSize; ++row) {
    for (int column = 1; column <= BoardSize; ++column) {
      const Cell &cell = board(column, row);
      const QRect logical = SquareRect(column, row);
      const QRect square(device(logical.x()), device(logical.y()), side, side);
      if (cell.Kind >= 1 && cell.Kind <= MaxBallKinds) {
        painter.drawImage(square.topLeft(), large.Sprite(sheet, origins, cell.Kind, ratio, side));
      } else {
        painter.fillRect(square, background);
      }
      Ring(painter, square.adjusted(-reach, -reach, reach, reach), line,
           cell.Selected ? Highlight : background);
    }
  }
  painter.restore();
}

} // namespace zanthorix
