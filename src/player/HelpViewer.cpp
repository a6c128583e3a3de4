// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/HelpViewer.h"

#include "files/ReadFile.h"
#include "gui/Dialogs.h"
#include "gui/Frame.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <QBuffer>
#include <QImageReader>

#include <utility>

namespace zanthorix {

namespace {

constexpr auto Caption = "Help";

// Reads a regular file of at most limit bytes, never waiting on the open.
ReadResult ReadDataFile(const QString &path, qint64 limit, QByteArray &bytes) {
  std::string data;
  const ReadResult result = ReadRegularFile(path.toStdString(), limit, data);
  bytes = QByteArray(data.data(), qsizetype(data.size()));
  return result;
}

} // namespace

QtHelpViewer::QtHelpViewer(Dialogs &dialogs, QString programFolder)
    : dialogs_(dialogs), programFolder_(std::move(programFolder)) {}

QtHelpViewer::~QtHelpViewer() = default;

bool QtHelpViewer::Help(QWidget *owner, const QString &fileName, std::uint32_t command,
                        std::uintptr_t) {
  switch (command) {
  case HELP_FINDER:
    return Open(owner, fileName);
  case HELP_QUIT:
    // Only a window this viewer opened is closed; otherwise there is nothing to do.
    if (window_) window_->close();
    return true;
  default:
    return false;
  }
}

QString QtHelpViewer::Locate(const QString &fileName) const {
  if (fileName.isEmpty()) return {};
  QStringList candidates;
  if (fileName.contains(QLatin1Char('/')) || QDir::isAbsolutePath(fileName)) {
    candidates << fileName;
  } else {
    candidates << programFolder_ + fileName << QDir::current().filePath(fileName);
  }
  for (const QString &path : candidates)
    if (QFileInfo::exists(path)) return path;
  return {};
}

void QtHelpViewer::Report(const QString &text) {
  dialogs_.MessageBox(text, QString::fromLatin1(Caption), MsgButtons::Ok, MsgIcon::Exclamation);
}

bool QtHelpViewer::Open(QWidget *owner, const QString &fileName) {
  if (window_ && window_->isVisible()) {
    BringToFront(window_.get());
    return true;
  }
  const QString path = Locate(fileName);
  if (path.isEmpty()) {
    Report(QStringLiteral("Cannot find the help file %1.").arg(fileName));
    return false;
  }
  QByteArray bytes;
  switch (ReadDataFile(path, MaxFileSize, bytes)) {
  case ReadResult::Ok:
    break;
  case ReadResult::TooLarge:
    Report(QStringLiteral("The help file %1 is too large to be shown.")
               .arg(QDir::toNativeSeparators(path)));
    return false;
  case ReadResult::Unreadable:
    Report(QStringLiteral("Cannot read the help file %1.").arg(QDir::toNativeSeparators(path)));
    return false;
  }

  if (!window_) {
    window_ = std::make_unique<HelpWindow>(programFolder_);
    // On the game's screen the first time, where the player is looking.
    if (owner && owner->screen()) window_->setScreen(owner->screen());
    CentreOnScreen(window_.get());
  }
  window_->Show(ParseHelpDocument(QString::fromUtf8(bytes)), path);
  return true;
}

HelpBrowser::HelpBrowser(QString imageFolder) : imageFolder_(std::move(imageFolder)) {}

void HelpBrowser::ResetBudget() { pixelsLeft_ = 16 * 1024 * 1024; }

QVariant HelpBrowser::loadResource(int type, const QUrl &name) {
  // Never a null picture: the text layout would then load the file itself.
  QImage image = type == QTextDocument::ImageResource ? LoadImage(name) : QImage();
  if (image.isNull()) {
    image = QImage(1, 1, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
  }
  return image;
}

QImage HelpBrowser::LoadImage(const QUrl &name) {
  const QString folder = QFileInfo(imageFolder_).canonicalFilePath();
  if (folder.isEmpty() || !name.scheme().isEmpty() || !name.host().isEmpty() || name.hasQuery() ||
      name.hasFragment() || name.path().isEmpty() || QDir::isAbsolutePath(name.path()))
    return {};
  const QString path = QFileInfo(QDir(folder).filePath(name.path())).canonicalFilePath();
  QByteArray bytes;
  if (!path.startsWith(folder + QLatin1Char('/')) ||
      ReadDataFile(path, QtHelpViewer::MaxImageFileSize, bytes) != ReadResult::Ok)
    return {};
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (!size.isValid() || qint64(size.width()) * size.height() > pixelsLeft_) return {};
  pixelsLeft_ -= qint64(size.width()) * size.height();
  return reader.read();
}

HelpWindow::HelpWindow(const QString &imageFolder)
    : tabs_(new QTabWidget), contents_(new QListWidget), index_(new QListWidget),
      filter_(new QLineEdit), browser_(new HelpBrowser(imageFolder)) {
  setAttribute(Qt::WA_QuitOnClose, false); // the game alone decides when the program ends
  setObjectName(QStringLiteral("HelpWindow"));

  auto *indexPage = new QWidget;
  auto *indexLayout = new QVBoxLayout(indexPage);
  indexLayout->setContentsMargins(4, 4, 4, 4);
  filter_->setPlaceholderText(QStringLiteral("Type a word to find"));
  indexLayout->addWidget(filter_);
  indexLayout->addWidget(index_);
  tabs_->addTab(contents_, QStringLiteral("Contents"));
  tabs_->addTab(indexPage, QStringLiteral("Index"));

  // Only jumps within the document are followed; nothing outside it is opened.
  browser_->setOpenLinks(false);
  browser_->setOpenExternalLinks(false);
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
    if (url.scheme().isEmpty() && url.path().isEmpty() && url.hasFragment()) GoTo(url.fragment());
  });

  auto *splitter = new QSplitter;
  splitter->addWidget(tabs_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({220, 400});
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);
  resize(660, 460);

  auto follow = [this](QListWidgetItem *item) {
    if (item) GoTo(item->data(Qt::UserRole).toString());
  };
  connect(contents_, &QListWidget::itemClicked, this, follow);
  connect(contents_, &QListWidget::itemActivated, this, follow);
  connect(index_, &QListWidget::itemClicked, this, follow);
  connect(index_, &QListWidget::itemActivated, this, follow);
  connect(filter_, &QLineEdit::textEdited, this, &HelpWindow::FilterIndex);
  // As in any help index, the player types the word at once.
  connect(tabs_, &QTabWidget::currentChanged, this, [this, indexPage] {
    if (tabs_->currentWidget() == indexPage) filter_->setFocus(Qt::OtherFocusReason);
  });
  connect(filter_, &QLineEdit::returnPressed, this,
          [this, follow] { follow(index_->currentItem()); });
}

void HelpWindow::Show(const HelpDocument &document, const QString &path) {
  path_ = path;
  setWindowTitle(document.title.isEmpty() ? QStringLiteral("Help") : document.title);
  browser_->ResetBudget();
  browser_->setHtml(document.html);

  contents_->clear();
  for (const HelpTopic &topic : document.contents) {
    auto *item =
        new QListWidgetItem(QString(4 * (topic.level - 1), QLatin1Char(' ')) + topic.title);
    item->setData(Qt::UserRole, topic.anchor);
    if (topic.level == 1) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
    }
    contents_->addItem(item);
  }
  index_->clear();
  for (const HelpIndexEntry &entry : document.index) {
    auto *item = new QListWidgetItem(entry.term);
    item->setData(Qt::UserRole, entry.anchor);
    index_->addItem(item);
  }
  filter_->clear();

  // Opens on the contents, at the top of the document.
  tabs_->setCurrentWidget(contents_);
  if (contents_->count() > 0) contents_->setCurrentRow(0);
  browser_->verticalScrollBar()->setValue(0);
  BringToFront(this);
}

void HelpWindow::GoTo(const QString &anchor) {
  if (!anchor.isEmpty()) browser_->scrollToAnchor(anchor);
}

void HelpWindow::FilterIndex(const QString &typed) {
  const QString wanted = typed.trimmed();
  if (wanted.isEmpty()) return;
  for (int row = 0; row < index_->count(); ++row) {
    if (index_->item(row)->text().startsWith(wanted, Qt::CaseInsensitive)) {
      index_->setCurrentRow(row);
      index_->scrollToItem(index_->item(row), QAbstractItemView::PositionAtTop);
      return;
    }
  }
}

} // namespace zanthorix
