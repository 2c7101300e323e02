// The frame's windows kept across runs: the record written after each
// change, ファイル > 前回のウィンドウを開く and 閉じたウィンドウを開き直す,
// the start-up choice, and the bar after a run that did not end cleanly.
#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "app/cool_bar.h"
#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "platform/guarded.h"
#include "platform/ini_file.h"
#include "platform/user_folders.h"
#include "session/session_store.h"

using namespace frame_widgets;

namespace {

const QString kSessionSection = QStringLiteral("Session");
const QString kRestoreAtStart = QStringLiteral("RestoreAtStart");

// Hears of a window's moves, sizes and state, and of its close: what the
// window was when asked to close counts once the close went through (the
// window hides then; a close it put off leaves it shown).
class ChildWatch : public QObject {
 public:
  ChildWatch(TBrowserChild* child, std::function<void()> changed, std::function<session::Window()> snapshot,
             std::function<void(const session::Window&)> closed)
      : QObject(child), changed_(std::move(changed)), snapshot_(std::move(snapshot)), closed_(std::move(closed)) {
    child->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::WindowStateChange:
        changed_();
        break;
      case QEvent::Close:
        closing_ = snapshot_();
        break;
      case QEvent::Hide:
        if (closing_) closed_(*std::exchange(closing_, std::nullopt));
        break;
      default:
        break;
    }
    return false;
  }

 private:
  std::function<void()> changed_;
  std::function<session::Window()> snapshot_;
  std::function<void(const session::Window&)> closed_;
  std::optional<session::Window> closing_;
};

session::WindowState stateOf(const QMdiSubWindow* w) {
  if (w->isMinimized()) return session::WindowState::Minimized;
  if (w->isMaximized()) return session::WindowState::Maximized;
  return session::WindowState::Normal;
}

}  // namespace

void TMainForm::CreateSessionItems() {
  Session = new session::Store(user_folders::data(), this);
  Session->SetSource([this] { return SessionRecord(); });
  connect(Session, &session::Store::notice, this, [](const QString& text) { guarded::report(text); });

  mnuFile_Restore = newAction(this, "mnuFile_Restore", QStringLiteral("前回のウィンドウを開く"));
  mnuFile_Reopen = newAction(this, "mnuFile_Reopen", QStringLiteral("閉じたウィンドウを開き直す"),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
  mnuFile_Reopen->setEnabled(false);
  // Before the items that end the menu.
  File1->insertActions(N1, {mnuFile_Restore, mnuFile_Reopen});
  addActions({mnuFile_Restore, mnuFile_Reopen});
  mnuRestoreAtStart = newAction(this, "mnuRestoreAtStart", QStringLiteral("起動時に前回のウィンドウを開く"));
  mnuRestoreAtStart->setCheckable(true);
  Tool1->insertAction(mnuOption, mnuRestoreAtStart);

  connect(mnuFile_Restore, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuFile_RestoreClick));
  connect(mnuFile_Reopen, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuFile_ReopenClick));
  connect(mnuRestoreAtStart, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuRestoreAtStartClick));
  connect(Session, &session::Store::closedChanged, this, [this] { mnuFile_Reopen->setEnabled(Session->HasClosed()); });
  connect(MDIClient, &QMdiArea::subWindowActivated, Session, &session::Store::Changed);

  SessionBar = named(new QWidget(centralWidget()), QStringLiteral("SessionBar"));
  SessionBar->setAutoFillBackground(true);
  SessionBar->setBackgroundRole(QPalette::ToolTipBase);
  auto* row = new QHBoxLayout(SessionBar);
  row->setContentsMargins(6, 2, 2, 2);
  auto* text = named(new QLabel(QStringLiteral("前回は正しく終了しませんでした。"), SessionBar),
                     QStringLiteral("SessionBarText"));
  text->setForegroundRole(QPalette::ToolTipText);
  auto* restore =
      named(new QPushButton(QStringLiteral("前回のウィンドウを開く"), SessionBar), QStringLiteral("SessionBarRestore"));
  auto* close = named(new QToolButton(SessionBar), QStringLiteral("SessionBarClose"));
  close->setText(QStringLiteral("×"));
  close->setAccessibleName(QStringLiteral("閉じる"));
  row->addWidget(text, 1);
  row->addWidget(restore);
  row->addWidget(close);
  SessionBar->setAccessibleName(QStringLiteral("前回の終了"));
  SessionBar->hide();
  if (auto* column = qobject_cast<QVBoxLayout*>(centralWidget()->layout()))
    column->insertWidget(column->indexOf(CoolBar1) + 1, SessionBar);
  connect(restore, &QPushButton::clicked, this, [this] {
    SessionBar->hide();
    guarded::run([this] { mnuFile_RestoreClick(); });
  });
  connect(close, &QToolButton::clicked, SessionBar, &QWidget::hide);
}

void TMainForm::StartSession() {
  const bool unclean = Session->BeginRun();
  const bool atStart = IniFile(ConfigPath()).ReadBool(kSessionSection, kRestoreAtStart, false);
  mnuRestoreAtStart->setChecked(atStart);
  if (atStart)
    // Once the frame has shown itself.
    QTimer::singleShot(0, this, [this] { guarded::run([this] { mnuFile_RestoreClick(); }); });
  else if (unclean)
    SessionBar->show();
}

void TMainForm::EndSession() {
  if (Session) Session->EndRun();
}

session::Window TMainForm::SessionWindow(const TBrowserChild* child) const {
  session::Window w;
  w.ie = child->IsIE();
  w.url = child->Control()->LocationURL();
  // The page chose its title and its history's size: the record keeps no
  // more than the next run reads.
  w.title = child->Caption().left(session::kMaxTitleChars);
  w.history = child->Control()->SaveHistory();
  if (w.history.size() > session::kMaxHistoryBytes) w.history.clear();
  w.state = stateOf(child);
  w.geometry = child->geometry();
  return w;
}

session::Record TMainForm::SessionRecord() const {
  session::Record r;
  const TBrowserChild* active = ActiveMDIChild();
  for (QMdiSubWindow* sub : MDIChildren()) {
    auto* child = qobject_cast<TBrowserChild*>(sub);
    if (!child || child->IsPrivate() || !child->Control()) continue;
    session::Window w = SessionWindow(child);
    if (w.url.isEmpty()) continue;
    if (child == active) r.active = int(r.windows.size());
    r.windows.append(w);
  }
  return r;
}

void TMainForm::WatchSessionChild(TBrowserChild* child) {
  // A private window leaves nothing behind, not even that it was closed.
  if (child->IsPrivate() || !Session) return;
  auto changed = [s = QPointer<session::Store>(Session)] {
    if (s) s->Changed();
  };
  auto closed = [s = QPointer<session::Store>(Session)](const session::Window& w) {
    if (s && !w.url.isEmpty()) s->PushClosed(w);
  };
  new ChildWatch(
      child, changed, [this, child] { return child->IsPrivate() ? session::Window{} : SessionWindow(child); }, closed);
  IWebBrowser2* control = child->Control();
  connect(control, &IWebBrowser2::NavigateComplete2, Session, changed);
  connect(control, &IWebBrowser2::TitleChange, Session, changed);
  connect(control, &IWebBrowser2::CommandStateChange, Session, changed);
  connect(child, &QObject::destroyed, Session, changed);
  Session->Changed();
}

TBrowserChild* TMainForm::RestoreWindow(const session::Window& w) {
  // A Gekko window while Gekko is off comes back in the other engine, at
  // its address only: one engine's history means nothing to the other.
  const bool ie = w.ie || !Moz_Item->isEnabled();
  TBrowserChild* child = OpenPageWindow(ie, w.title);
  if (w.state == session::WindowState::Normal && w.geometry.width() >= 100 && w.geometry.height() >= 60) {
    // Kept on the client area: a frame smaller than last time still shows its title bar.
    QRect r = w.geometry;
    const QRect area = MDIClient->viewport()->rect();
    r.moveTopLeft(QPoint(std::clamp(r.x(), 0, std::max(0, area.width() - 60)),
                         std::clamp(r.y(), 0, std::max(0, area.height() - 30))));
    // Windows opened since, at the same place, would hide it exactly: it
    // steps aside as a new window's cascade does.
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4;
    auto taken = [&](const QPoint& at) {
      for (QMdiSubWindow* other : MDIChildren())
        if (other != child && other->isVisible() && other->pos() == at) return true;
      return false;
    };
    for (int i = 0; i < 20 && taken(r.topLeft()); ++i) r.translate(step, step);
    child->setGeometry(r);
  }
  if (ie != w.ie || !child->Control()->RestoreHistory(w.history)) child->Control()->Navigate(w.url);
  if (w.state == session::WindowState::Maximized)
    child->showMaximized();
  else if (w.state == session::WindowState::Minimized)
    child->showMinimized();
  return child;
}

void TMainForm::mnuFile_RestoreClick() {
  const session::Record last = Session->Previous();
  SessionBar->hide();
  TBrowserChild* active = nullptr;
  for (int i = 0; i < last.windows.size(); ++i) {
    // One window that cannot come back keeps none of the others away.
    guarded::run([&] {
      TBrowserChild* child = RestoreWindow(last.windows[i]);
      if (i == last.active) active = child;
    });
  }
  if (active) ActivateChild(active);
}

void TMainForm::mnuFile_ReopenClick() {
  if (std::optional<session::Window> w = Session->PopClosed()) ActivateChild(RestoreWindow(*w));
}

void TMainForm::mnuRestoreAtStartClick() {
  IniFile ini(ConfigPath());
  ini.WriteBool(kSessionSection, kRestoreAtStart, mnuRestoreAtStart->isChecked());
}
