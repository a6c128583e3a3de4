// SPDX-License-Identifier: GPL-3.0-or-later
// Modal boxes behind an interface, so that tests can read and answer them.
#pragma once

#include <QString>

namespace zanthorix {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Error, Exclamation };
enum class MsgResult { Ok, Yes, No };

class Dialogs {
public:
  virtual ~Dialogs() = default;
  // A box modal to the whole program. The text may break lines with a lone
  // carriage return.
  virtual MsgResult MessageBox(const QString &text, const QString &caption, MsgButtons buttons,
                               MsgIcon icon) = 0;
  // The name prompt: the typed text on OK, the initial text on Cancel.
  virtual QString InputBox(const QString &caption, const QString &prompt,
                           const QString &initial) = 0;
};

} // namespace zanthorix
