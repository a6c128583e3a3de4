// SPDX-License-Identifier: GPL-3.0-or-later
// A help document as the viewer reads it: HTML whose headings with an anchor
// make the contents, and whose <meta name="index" content="Term#anchor">
// lines make the index. It is read in one pass; a document whose layout
// would cost too much (deep nesting, huge lists or tables) is shown as its
// text and anchors without the rest of its structure.
//
// The text stays in Qt's strings: it is weighed in the UTF-16 units that the
// layout is handed, and letters, spaces and case are told apart as Qt tells
// them across all of Unicode, which the standard library cannot do.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace zanthorix {

struct HelpTopic {
  QString title;
  QString anchor;
  int level = 1; // 1 for a chapter, 2 and 3 for sections within it
};

struct HelpIndexEntry {
  QString term;
  QString anchor;
};

struct HelpDocument {
  QString title;
  QString html;       // what is shown
  bool plain = false; // shown without its structure
  std::vector<HelpTopic> contents;
  std::vector<HelpIndexEntry> index; // sorted by term, ignoring case
  QStringList anchors;               // every anchor the document defines
};

// Looks at every character a bounded number of times, whatever the markup.
HelpDocument ParseHelpDocument(const QString &html);

} // namespace zanthorix
