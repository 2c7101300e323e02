#include "find/find_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "engine/engine_control.h"
#include "find/find_rules.h"
#include "platform/guarded.h"

namespace {

QToolButton* button(QWidget* parent, const char* name, const QString& text, const QString& tip) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(text);
  b->setToolTip(tip);
  b->setAutoRaise(true);
  return b;
}

bool isEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

TFindBar::TFindBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FindBar"));
  setAccessibleName(QStringLiteral("ページ内検索"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(4, 2, 4, 2);
  row->setSpacing(4);
  auto* label = new QLabel(QStringLiteral("検索:"), this);
  field_ = new QLineEdit(this);
  field_->setObjectName(QStringLiteral("txtFind"));
  field_->setAccessibleName(QStringLiteral("検索する文字列"));
  field_->setClearButtonEnabled(true);
  field_->setMinimumWidth(200);
  field_->installEventFilter(this);
  label->setBuddy(field_);
  next_ = button(this, "btnFindNext", QStringLiteral("次へ"), QStringLiteral("次を検索 (F3)"));
  previous_ = button(this, "btnFindPrevious", QStringLiteral("前へ"), QStringLiteral("前を検索 (Shift+F3)"));
  caseBox_ = new QCheckBox(QStringLiteral("大文字と小文字を区別"), this);
  caseBox_->setObjectName(QStringLiteral("chkFindCase"));
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("lblFindCount"));
  count_->setAccessibleName(QStringLiteral("検索結果"));
  count_->setMinimumWidth(90);
  close_ = button(this, "btnFindClose", QString(), QStringLiteral("閉じる (Esc)"));
  close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  close_->setAccessibleName(QStringLiteral("ページ内検索を閉じる"));
  for (QWidget* w : std::initializer_list<QWidget*>{label, field_, next_, previous_, caseBox_, count_})
    row->addWidget(w);
  row->addStretch(1);
  row->addWidget(close_);
  hide();

  FindAction = new QAction(QStringLiteral("ページ内検索(&F)..."), this);
  FindAction->setObjectName(QStringLiteral("mnuEdit_Find"));
  FindAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  FindNextAction = new QAction(QStringLiteral("次を検索"), this);
  FindNextAction->setObjectName(QStringLiteral("EditFindNext1"));
  FindNextAction->setShortcut(QKeySequence(Qt::Key_F3));
  FindPreviousAction = new QAction(QStringLiteral("前を検索"), this);
  FindPreviousAction->setObjectName(QStringLiteral("EditFindPrevious1"));
  FindPreviousAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
  for (QAction* a : {FindAction, FindNextAction, FindPreviousAction}) a->setEnabled(false);

  using guarded::handler;
  connect(FindAction, &QAction::triggered, this, handler(this, &TFindBar::Open));
  connect(FindNextAction, &QAction::triggered, this, handler(this, &TFindBar::FindNext));
  connect(FindPreviousAction, &QAction::triggered, this, handler(this, &TFindBar::FindPrevious));
  connect(next_, &QToolButton::clicked, this, handler(this, &TFindBar::FindNext));
  connect(previous_, &QToolButton::clicked, this, handler(this, &TFindBar::FindPrevious));
  connect(close_, &QToolButton::clicked, this, handler(this, &TFindBar::CloseBar));
  connect(field_, &QLineEdit::textEdited, this, handler(this, &TFindBar::textEdited));
  connect(caseBox_, &QCheckBox::toggled, this, handler(this, &TFindBar::caseToggled));
}

void TFindBar::SetTarget(IWebBrowser2* control) {
  target_ = control;
  if (control && !searches_.contains(control)) {
    searches_.insert(control, Search{});
    connect(control, &IWebBrowser2::FindResult, this,
            [this, control](int current, int total) { guarded::run([&] { result(control, current, total); }); });
    connect(control, &IWebBrowser2::NavigateComplete2, this,
            [this, control] { guarded::run([&] { pageChanged(control); }); });
    connect(control, &QObject::destroyed, this, [this, control] { searches_.remove(control); });
  }
  for (QAction* a : {FindAction, FindNextAction, FindPreviousAction}) a->setEnabled(control != nullptr);
  showSearch();
}

void TFindBar::showSearch() {
  if (!target_ || !searches_.value(target_).open) {
    hide();
    return;
  }
  const Search& s = searches_[target_];
  if (field_->text() != s.text) field_->setText(s.text);
  {
    const QSignalBlocker quiet(caseBox_);
    caseBox_->setChecked(s.caseSensitive);
  }
  count_->setText(s.answered ? findCountText(s.text, s.current, s.total) : QString());
  // A reddish field says at a glance that the text is not on the page.
  field_->setStyleSheet(s.answered && findFailed(s.text, s.total) ? QStringLiteral("QLineEdit { background: #ffd0d0; }")
                                                                  : QString());
  show();
}

void TFindBar::Open() {
  if (!target_) return;
  Search& s = searches_[target_];
  const bool wasOpen = s.open;
  s.open = true;
  showSearch();
  field_->setFocus(Qt::ShortcutFocusReason);
  field_->selectAll();
  if (!wasOpen && !s.text.isEmpty()) target_->FindText(s.text, false, s.caseSensitive);
}

void TFindBar::FindNext() { find(false); }
void TFindBar::FindPrevious() { find(true); }

void TFindBar::find(bool backward) {
  if (!target_) return;
  const Search& s = searches_[target_];
  // With no search open, F3 opens one.
  if (!s.open || s.text.isEmpty()) return Open();
  target_->FindText(s.text, backward, s.caseSensitive);
}

void TFindBar::CloseBar() {
  if (!target_) return hide();
  Search& s = searches_[target_];
  s.open = false;
  s.current = s.total = 0;
  s.answered = false;
  target_->StopFinding();
  showSearch();
  target_->setFocus(Qt::OtherFocusReason);
}

void TFindBar::textEdited(const QString& text) {
  if (!target_) return;
  Search& s = searches_[target_];
  s.text = text;
  if (text.isEmpty()) {
    s.current = s.total = 0;
    s.answered = false;
    target_->StopFinding();
    showSearch();
    return;
  }
  target_->FindText(text, false, s.caseSensitive);
}

void TFindBar::caseToggled(bool on) {
  if (!target_) return;
  Search& s = searches_[target_];
  s.caseSensitive = on;
  if (!s.text.isEmpty()) target_->FindText(s.text, false, on);
}

void TFindBar::result(IWebBrowser2* control, int current, int total) {
  auto it = searches_.find(control);
  if (it == searches_.end() || !it->open || it->text.isEmpty()) return;
  it->current = current;
  it->total = total;
  it->answered = true;
  if (control == target_) showSearch();
}

void TFindBar::pageChanged(IWebBrowser2* control) {
  // Another page: the count and the highlight were of the one that went.
  auto it = searches_.find(control);
  if (it == searches_.end() || !it->answered) return;
  it->answered = false;
  it->current = it->total = 0;
  if (control == target_) showSearch();
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == field_ && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool ours = isEnter(key->key()) || key->key() == Qt::Key_Escape;
    if (ours && event->type() == QEvent::ShortcutOverride) {
      // The frame's Esc (stop loading) must not take the bar's keys.
      event->accept();
      return true;
    }
    if (ours) {
      guarded::run([&] {
        if (key->key() == Qt::Key_Escape)
          CloseBar();
        else
          find(key->modifiers() & Qt::ShiftModifier);
      });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
