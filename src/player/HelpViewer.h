// SPDX-License-Identifier: GPL-3.0-or-later
// The help viewer: opens the game's help document in a window of its own with
// a contents list and an index, and closes it again when the game closes.
#pragma once

#include "player/HelpDocument.h"

#include <QImage>
#include <QPointer>
#include <QString>
#include <QTextBrowser>
#include <QWidget>

#include <cstdint>
#include <memory>

class QLineEdit;
class QListWidget;
class QTabWidget;

namespace zanthorix {

class Dialogs;

// The commands the game sends.
constexpr std::uint32_t HELP_QUIT = 2;
constexpr std::uint32_t HELP_FINDER = 11;

class HelpViewer {
public:
  virtual ~HelpViewer() = default;
  // Carries out a help command for the file named fileName (bare names are
  // looked for by the viewer). Returns whether the request was accepted.
  virtual bool Help(QWidget *owner, const QString &fileName, std::uint32_t command,
                    std::uintptr_t data) = 0;
};

class HelpWindow;

// The real viewer.
class QtHelpViewer final : public HelpViewer {
public:
  // programFolder ends in a separator; it is searched before the working folder.
  QtHelpViewer(Dialogs &dialogs, QString programFolder);
  ~QtHelpViewer() override;

  bool Help(QWidget *owner, const QString &fileName, std::uint32_t command,
            std::uintptr_t data) override;

  // The viewer's window while it exists (tests look into it).
  HelpWindow *Window() const { return window_.get(); }

  // Where a help file of this name is found, or an empty text.
  QString Locate(const QString &fileName) const;

  // Larger files are refused rather than shown: even as bare text, a
  // megabyte takes the viewer about a second to lay out.
  static constexpr qint64 MaxFileSize = 1024 * 1024;
  // Pictures come only from regular files in the program folder, up to this size.
  static constexpr qint64 MaxImageFileSize = 1024 * 1024;

private:
  bool Open(QWidget *owner, const QString &fileName);
  void Report(const QString &text);

  Dialogs &dialogs_;
  QString programFolder_;
  std::unique_ptr<HelpWindow> window_;
};

// The text pane: takes nothing from outside the document but pictures that
// are regular files in the program folder, within a budget of pixels.
class HelpBrowser : public QTextBrowser {
public:
  explicit HelpBrowser(QString imageFolder);
  void ResetBudget();
  QVariant loadResource(int type, const QUrl &name) override;

private:
  QImage LoadImage(const QUrl &name);

  QString imageFolder_;
  qint64 pixelsLeft_ = 0;
};

class HelpWindow : public QWidget {
  Q_OBJECT
public:
  explicit HelpWindow(const QString &imageFolder = QString());

  void Show(const HelpDocument &document, const QString &path);
  QString Path() const { return path_; }

  QTabWidget *tabs() const { return tabs_; }
  QListWidget *contentsList() const { return contents_; }
  QListWidget *indexList() const { return index_; }
  QLineEdit *indexFilter() const { return filter_; }
  HelpBrowser *browser() const { return browser_; }

  // Scrolls the text to an anchor of the document.
  void GoTo(const QString &anchor);

private:
  void FilterIndex(const QString &typed);

  QTabWidget *tabs_;
  QListWidget *contents_;
  QListWidget *index_;
  QLineEdit *filter_;
  HelpBrowser *browser_;
  QString path_;
};

} // namespace zanthorix
