// SPDX-License-Identifier: GPL-3.0-or-later
// What every top-level window needs from the window manager's frame around
// it: placement, coming to the front, and room for its caption.
#pragma once

class QMessageBox;
class QString;
class QWidget;

namespace zanthorix {

// Centres the whole window, frame included, on its screen. It is placed at
// once from the frame last seen on any window, and placed again when the
// window manager has framed it. Call it before or while the window is shown.
void CentreOnScreen(QWidget *window);

// Shows the window and brings it to the front, restoring it first if it was
// minimised. Where the window system cannot be asked to, it shows a fresh
// window in its place.
void BringToFront(QWidget *window);

// Whether a show event of window comes from BringToFront showing it afresh:
// not a new showing of a hidden window.
bool ShownAgain(const QWidget *window);

// The outer width a window needs to show caption whole in its title bar,
// title-bar buttons included.
int CaptionWidth(const QString &caption);

// Makes a message box at least as wide as its caption needs; call it after
// the caption is set and before the box is shown.
void FitCaption(QMessageBox &box);

} // namespace zanthorix
