// SPDX-License-Identifier: GPL-3.0-or-later
// Boards drawn as text, for tests that build positions.
#pragma once

#include "rules/Board.h"

#include <QString>
#include <QStringList>

namespace zanthorix::test {

// Boards are drawn as rows of eight characters, row 1 first: '.' empty,
// '1'..'7' a ball, 'a'..'g' a selected ball of kind 1..7, '*' a selected empty
// square. A picture of fewer than eight rows is the bottom of the board, the
// rows above it empty.
inline QStringList Rows(const QString &picture) {
  QStringList rows = picture.simplified().split(u' ', Qt::SkipEmptyParts);
  if (rows.size() > BoardSize) qFatal("picture has more than eight rows");
  while (rows.size() < BoardSize)
    rows.prepend(QStringLiteral("........"));
  for (const QString &row : rows)
    if (row.size() != BoardSize) qFatal("picture row '%s' is not eight wide", qPrintable(row));
  return rows;
}

inline Board MakeBoard(const QString &picture) {
  const QStringList rows = Rows(picture);
  Board board;
  for (int row = 1; row <= BoardSize; ++row) {
    for (int column = 1; column <= BoardSize; ++column) {
      const char ch = rows[row - 1][column - 1].toLatin1();
      Cell &cell = board(column, row);
      if (ch >= '1' && ch <= '7') {
        cell.Kind = ch - '0';
      } else if (ch >= 'a' && ch <= 'g') {
        cell = Cell{ch - 'a' + 1, true};
      } else if (ch == '*') {
        cell.Selected = true;
      } else if (ch != '.') {
        qFatal("unknown picture character '%c'", ch);
      }
    }
  }
  return board;
}

inline QStringList Render(const Board &board) {
  QStringList rows;
  for (int row = 1; row <= BoardSize; ++row) {
    QString line;
    for (int column = 1; column <= BoardSize; ++column) {
      const Cell &cell = board(column, row);
      if (cell.Kind == 0)
        line += cell.Selected ? u'*' : u'.';
      else if (cell.Kind < 1 || cell.Kind > MaxBallKinds)
        line += u'?';
      else
        line += QChar(char16_t((cell.Selected ? 'a' - 1 : '0') + cell.Kind));
    }
    rows << line;
  }
  return rows;
}

// Selected squares, or only those holding kind when one is given.
int CountSelected(const Board &board, int kind = -1) {
  int n = 0;
  for (int column = 1; column <= BoardSize; ++column)
    for (int row = 1; row <= BoardSize; ++row) {
      const Cell &cell = board(column, row);
      n += cell.Selected && (kind < 0 || cell.Kind == kind) ? 1 : 0;
    }
  return n;
}

} // namespace zanthorix::test
