#include "player/HelpViewer.h"

#include "app/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace zanthorix {

namespace {

constexpr auto Caption = "Help";

QString PlainText(const QString &html) {
  return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
}

// The value of attribute name inside one tag, entities decoded.
QString Attribute(const QString &tag, const QString &name) {
  const QRegularExpression re(QStringLiteral("\\b%1\\s*=\\s*(\"([^\"]*)\"|'([^']*)')").arg(name),
                              QRegularExpression::CaseInsensitiveOption);
  const auto match = re.match(tag);
  if (!match.hasMatch()) return {};
  const QString raw = match.captured(2).isNull() ? match.captured(3) : match.captured(2);
  return PlainText(raw);
}

QString FirstAnchor(const QString &html) {
  static const QRegularExpression tag(QStringLiteral("<[a-z0-9]+\\b[^>]*>"),
                                      QRegularExpression::CaseInsensitiveOption);
  for (auto it = tag.globalMatch(html); it.hasNext();) {
    const QString t = it.next().captured(0);
    QString anchor = Attribute(t, QStringLiteral("id"));
    if (anchor.isEmpty() && t.startsWith(QLatin1String("<a"), Qt::CaseInsensitive))
      anchor = Attribute(t, QStringLiteral("name"));
    if (!anchor.isEmpty()) return anchor;
  }
  return {};
}

} // namespace

HelpDocument ParseHelpDocument(const QString &html) {
  HelpDocument doc;
  doc.html = html;
  const auto dotAll =
      QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption;

  static const QRegularExpression title(QStringLiteral("<title[^>]*>(.*?)</title>"),
                                        QRegularExpression::DotMatchesEverythingOption |
                                            QRegularExpression::CaseInsensitiveOption);
  doc.title = PlainText(title.match(html).captured(1));

  // Anchors: the first tag carrying an anchor in a heading names its topic.
  static const QRegularExpression heading(QStringLiteral("<h([1-3])\\b([^>]*)>(.*?)</h\\1\\s*>"),
                                          dotAll);
  for (auto it = heading.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    const QString anchor =
        FirstAnchor(QStringLiteral("<h ") + m.captured(2) + QStringLiteral(">") + m.captured(3));
    if (anchor.isEmpty()) continue; // a heading without an anchor cannot be jumped to
    doc.contents.push_back({PlainText(m.captured(3)), anchor, m.captured(1).toInt()});
  }

  static const QRegularExpression anyTag(QStringLiteral("<([a-z0-9]+)\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
  for (auto it = anyTag.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    const QString tag = m.captured(0);
    QString anchor = Attribute(tag, QStringLiteral("id"));
    if (!anchor.isEmpty()) doc.anchors << anchor;
    if (m.captured(1).compare(QLatin1String("a"), Qt::CaseInsensitive) == 0) {
      anchor = Attribute(tag, QStringLiteral("name"));
      if (!anchor.isEmpty()) doc.anchors << anchor;
    }
    if (m.captured(1).compare(QLatin1String("meta"), Qt::CaseInsensitive) == 0 &&
        Attribute(tag, QStringLiteral("name"))
                .compare(QLatin1String("index"), Qt::CaseInsensitive) == 0) {
      const QString content = Attribute(tag, QStringLiteral("content"));
      const qsizetype hash = content.lastIndexOf(QLatin1Char('#'));
      if (hash <= 0 || hash == content.size() - 1) continue;
      doc.index.push_back({content.left(hash).trimmed(), content.mid(hash + 1).trimmed()});
    }
  }
  doc.anchors.removeDuplicates();
  std::stable_sort(doc.index.begin(), doc.index.end(), [](const auto &a, const auto &b) {
    return a.term.compare(b.term, Qt::CaseInsensitive) < 0;
  });
  return doc;
}

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
    window_->raise();
    window_->activateWindow();
    return true;
  }
  const QString path = Locate(fileName);
  if (path.isEmpty()) {
    Report(QStringLiteral("Cannot find the help file %1.").arg(fileName));
    return false;
  }
  const QFileInfo info(path);
  QFile file(path);
  if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
    Report(QStringLiteral("Cannot read the help file %1.").arg(QDir::toNativeSeparators(path)));
    return false;
  }
  if (file.size() > MaxFileSize) {
    Report(QStringLiteral("The help file %1 is too large to be shown.")
               .arg(QDir::toNativeSeparators(path)));
    return false;
  }
  const QByteArray bytes = file.read(MaxFileSize + 1);
  if (file.error() != QFileDevice::NoError || bytes.size() > MaxFileSize) {
    Report(QStringLiteral("Cannot read the help file %1.").arg(QDir::toNativeSeparators(path)));
    return false;
  }

  if (!window_) {
    window_ = std::make_unique<HelpWindow>();
    // Beside the game's window the first time, where the player is looking.
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
      QRect frame(QPoint(), window_->size());
      frame.moveCenter(screen->availableGeometry().center());
      window_->move(frame.topLeft());
    }
  }
  window_->Show(ParseHelpDocument(QString::fromUtf8(bytes)), path);
  return true;
}

HelpWindow::HelpWindow()
    : tabs_(new QTabWidget), contents_(new QListWidget), index_(new QListWidget),
      filter_(new QLineEdit), browser_(new QTextBrowser) {
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
  connect(filter_, &QLineEdit::returnPressed, this,
          [this, follow] { follow(index_->currentItem()); });
}

void HelpWindow::Show(const HelpDocument &document, const QString &path) {
  path_ = path;
  setWindowTitle(document.title.isEmpty() ? QStringLiteral("Help") : document.title);
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
  show();
  raise();
  activateWindow();
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
