// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/HighScores.h"

#include "gui/Dialogs.h"
#include "gui/Frame.h"
#include "gui/GameView.h"
#include "gui/Guarded.h"
#include "scores/HighScoreFile.h"
#include "scores/Windows1252.h"
#include "ui_HighScores.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTextBlock>

namespace zanthorix {

namespace {

ScoreFileSystem &Files(const ScoreServices &services) {
  static SystemScoreFileSystem real;
  return services.scoreFiles ? *services.scoreFiles : real;
}

// A display column: borderless, lines centred, and of one colour with the
// page it sits on, which a style may draw lighter than the window's face.
void MakeColumn(QTextEdit *box) {
  // The lines are laid out once, with the options below, not once per option.
  const QString lines = box->toPlainText();
  box->clear();
  box->setReadOnly(true);
  box->setTextInteractionFlags(Qt::NoTextInteraction);
  box->setContextMenuPolicy(Qt::NoContextMenu);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, Qt::transparent);
  box->setPalette(palette);
  box->viewport()->setAutoFillBackground(false);
  box->document()->setDocumentMargin(0);
  QTextOption option = box->document()->defaultTextOption();
  option.setAlignment(Qt::AlignHCenter);
  option.setWrapMode(QTextOption::NoWrap);
  box->document()->setDefaultTextOption(option);
  box->setPlainText(lines);
  // The text may be taller or wider than the box (the score column's empty
  // eleventh line, a long name), but the wheel and the keys never scroll it
  // off the place numbers.
  for (QScrollBar *bar : {box->verticalScrollBar(), box->horizontalScrollBar()})
    QObject::connect(bar, &QScrollBar::valueChanged, bar, [bar](int value) {
      if (value != bar->minimum()) bar->setValue(bar->minimum());
    });
}

// Replaces the first ten lines of box, keeping any after them.
void SetLines(QTextEdit *box, const QStringList &first) {
  QStringList lines = box->toPlainText().split(QLatin1Char('\n'));
  while (lines.size() < first.size())
    lines << QString();
  for (qsizetype i = 0; i < first.size(); ++i)
    lines[i] = first[i];
  box->setPlainText(lines.join(QLatin1Char('\n')));
}

// A name from a foreign file may hold line breaks; they must not push the
// column out of line with the place numbers. It is shown up to its first NUL,
// as the settings store cuts a name; the table keeps every byte.
QString Shown(const HighScoreEntry &entry) {
  const std::string bytes = entry.Name();
  QString name = QString::fromStdU16String(
      FromWindows1252(std::string_view(bytes).substr(0, bytes.find('\0'))));
  for (QChar &c : name)
    if (c.unicode() < 0x20) c = QLatin1Char(' ');
  return name;
}

} // namespace

TfrmHighScores::TfrmHighScores(const ScoreServices &services, const GameView &main, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      services_(services), main_(main), tables_(*services.highScores) {
  setObjectName(QStringLiteral("TfrmHighScores"));
  // The fixed layout is made for an 11-pixel font.
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  setFixedSize(273, 280);
  // The game ends with its main window, whether or not this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  CentreOnScreen(this);
  Guarded([this] { FormCreate(); });
}

// The controls are made when first needed, mostly at the first showing:
// making them at start-up would hold up the main window's first picture.
Ui::TfrmHighScores *TfrmHighScores::ui() {
  if (ui_) return ui_;
  ui_ = new Ui::TfrmHighScores;
  ui_->setupUi(this);
  MakeColumn(ui_->txtNames);
  MakeColumn(ui_->txtScores);
  setTabOrder(ui_->btnOK, ui_->tabHighScores->tabBar());
  setTabOrder(ui_->tabHighScores->tabBar(), ui_->txtScores);
  setTabOrder(ui_->txtScores, ui_->txtNames);
  setTabOrder(ui_->txtNames, ui_->btnEraseScores);
  ui_->btnOK->setFocus();

  connect(ui_->tabHighScores, &TTabControl::Change, this,
          [this] { tabHighScoresChange(ui_->tabHighScores); });
  connect(ui_->btnOK, &QPushButton::clicked, this, [this] { btnOKClick(ui_->btnOK); });
  connect(ui_->btnEraseScores, &QPushButton::clicked, this,
          [this] { btnEraseScoresClick(ui_->btnEraseScores); });
  return ui_;
}

void TfrmHighScores::setVisible(bool visible) {
  if (visible) ui();
  QWidget::setVisible(visible);
}

TfrmHighScores::~TfrmHighScores() {
  Guarded([this] { FormDestroy(); });
  delete ui_;
}

void TfrmHighScores::FormCreate() {
  LoadHighScores(tables_, services_.programFolder.toStdString(), Files(services_));
}

void TfrmHighScores::FormDestroy() {
  SaveHighScores(tables_, services_.programFolder.toStdString(), Files(services_));
}

void TfrmHighScores::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  if (!event->spontaneous() && !ShownAgain(this)) FormShow();
}

void TfrmHighScores::FormShow() {
  ui()->tabHighScores->setTabIndex(main_.BallKindsInPlay() - 3);
  tabHighScoresChange(nullptr);
  setWindowTitle(QStringLiteral("High Scores - ") + main_.CurrentPlayerName());
}

void TfrmHighScores::tabHighScoresChange(QObject *) {
  // Hiding a column that has the focus passes it on to the next control,
  // Erase Scores; it goes back to the column once the column is shown.
  QWidget *focused = focusWidget();
  if (focused != ui()->txtNames && focused != ui()->txtScores) focused = nullptr;
  ui()->txtNames->hide();
  ui()->txtScores->hide();
  const HighScoreTable &table = tables_.Tables.at(ui()->tabHighScores->tabIndex());
  QStringList names;
  QStringList scores;
  for (const HighScoreEntry &entry : table) {
    names << Shown(entry);
    scores << QString::number(entry.Score);
  }
  SetLines(ui()->txtNames, names);
  SetLines(ui()->txtScores, scores);
  ui()->txtNames->show();
  ui()->txtScores->show();
  if (focused) focused->setFocus(Qt::OtherFocusReason);
}

// OK is the default button, but outside a dialog Qt only lets a focused button
// take Enter. So Enter that no one else took presses OK, unless the player has
// visibly put the focus on another push button: one that draws its focus
// frame, which the style does only after the keyboard moved the focus.
void TfrmHighScores::keyPressEvent(QKeyEvent *event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    QWidget::keyPressEvent(event);
    return;
  }
  QPushButton *pressed = ui()->btnOK;
  if (auto *focused = qobject_cast<QPushButton *>(focusWidget()); focused && focused->isEnabled()) {
    QStyleOptionButton option;
    option.initFrom(focused);
    if ((option.state & QStyle::State_HasFocus) &&
        (option.state & QStyle::State_KeyboardFocusChange))
      pressed = focused;
  }
  pressed->click();
}

void TfrmHighScores::btnOKClick(QObject *) { hide(); }

void TfrmHighScores::btnEraseScoresClick(QObject *) {
  const MsgResult answer = services_.dialogs->MessageBox(
      QStringLiteral("Are you sure you want to erase ALL the high scores?"),
      QStringLiteral("Are you sure?"), MsgButtons::YesNo, MsgIcon::Exclamation);
  if (answer != MsgResult::Yes) return;
  EraseHighScores(tables_);
  tabHighScoresChange(nullptr);
}

} // namespace zanthorix
