#include "page/permissions.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "page/page_rules.h"
#include "page/page_services.h"
#include "page/question_guard.h"
#include "platform/errors.h"
#include "platform/guarded.h"

namespace {
// A deliberate "no" is remembered; a question merely closed is not.
constexpr int kDenied = 2;

// Brings up a page's window: its frame, and its child in the frame.
void bringUp(QWidget* w) {
  for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
    if (auto* sub = qobject_cast<QMdiSubWindow*>(p)) {
      if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
      break;
    }
  w->window()->raise();
  w->window()->activateWindow();
}
}  // namespace

PagePermissions::PagePermissions(QWidget* control, bool isPrivate)
    : QObject(control), control_(control), own_(isPrivate ? std::make_unique<PermissionMemory>() : nullptr) {}

PagePermissions::~PagePermissions() {
  // The control is going: its questions go, and whatever waits is let go;
  // with its page, nothing captures the screen any more.
  dismissAll();
  screenShareEnded();
}

PermissionMemory& PagePermissions::memory() {
  static PermissionMemory m;
  return m;
}

void PagePermissions::ask(const QString& address, PermissionKind kind, Done done) {
  const QString origin = permissionOrigin(address);
  if (const std::optional<bool> known = answers().answer(origin, kind))
    return done(*known ? PermissionAnswer::Allowed : PermissionAnswer::Denied);
  // A page without a site of its own gets nothing it would have to ask for.
  if (origin.isEmpty() || !PermissionMemory::asksUser(kind)) return done(PermissionAnswer::Denied);
  for (Question& q : open_) {
    if (q.origin == origin && q.kind == kind) {
      q.waiting.append(std::move(done));
      return;
    }
  }
  // A question, not a window to keep: a title and a close button only.
  auto* dialog =
      new QDialog(control_, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  dialog->setObjectName(QStringLiteral("PermissionQuestion"));
  dialog->setWindowModality(Qt::NonModal);
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  const QString site = siteOf(address);
  dialog->setWindowTitle(QStringLiteral("%1 からの許可の要求").arg(site));
  dialog->setAccessibleName(dialog->windowTitle());
  auto* layout = new QVBoxLayout(dialog);
  auto* question = new QLabel(permissionQuestion(kind, site), dialog);
  question->setObjectName(QStringLiteral("lblPermissionQuestion"));
  question->setTextFormat(Qt::PlainText);
  question->setWordWrap(true);
  question->setMinimumWidth(340);
  QFont bold = question->font();
  bold.setBold(true);
  question->setFont(bold);
  layout->addWidget(question);
  // Kept for good only on the user's word, never for the screen, and never
  // for a window that keeps nothing.
  const bool keepsNothing = own_ != nullptr;
  auto* note = new QLabel(!PermissionMemory::remembers(kind)
                              ? QStringLiteral("この答えは記憶されず、次に求められたときにもう一度確認します。")
                          : keepsNothing
                              ? QStringLiteral("この答えは、このウィンドウを閉じるまでこのサイトについて記憶されます。")
                              : QStringLiteral("この答えは、プログラムを終了するまでこのサイトについて記憶されます。"
                                               "「このサイトでは常に」を選ぶと、終了後も記憶されます。"),
                          dialog);
  note->setWordWrap(true);
  layout->addWidget(note);
  QCheckBox* always = nullptr;
  if (PermissionMemory::remembers(kind) && !keepsNothing) {
    always = new QCheckBox(QStringLiteral("このサイトでは常に"), dialog);
    always->setObjectName(QStringLiteral("chkAlways"));
  }
  auto* buttons = new QDialogButtonBox(dialog);
  if (always) {
    auto* row = new QHBoxLayout;
    row->addWidget(always);
    row->addWidget(buttons, 1);
    layout->addLayout(row);
  } else {
    layout->addWidget(buttons);
  }
  QPushButton* allow = buttons->addButton(QStringLiteral("許可する"), QDialogButtonBox::AcceptRole);
  allow->setObjectName(QStringLiteral("btnAllow"));
  QPushButton* deny = buttons->addButton(QStringLiteral("許可しない"), QDialogButtonBox::RejectRole);
  deny->setObjectName(QStringLiteral("btnDeny"));
  // Enter never gives anything away by accident, nor does a click that was
  // meant for the page.
  armQuestion(dialog, deny);
  connect(allow, &QPushButton::clicked, dialog, &QDialog::accept);
  connect(deny, &QPushButton::clicked, dialog, [dialog] { dialog->done(kDenied); });
  connect(dialog, &QDialog::finished, this, [this, dialog, always = QPointer<QCheckBox>(always)](int result) {
    for (Question& q : open_)
      if (q.dialog == dialog) q.always = always && always->isChecked();
    guarded::run([&] {
      answered(dialog, result == QDialog::Accepted ? PermissionAnswer::Allowed
                       : result == kDenied         ? PermissionAnswer::Denied
                                                   : PermissionAnswer::Dismissed);
    });
  });
  open_.append({dialog, origin, site, kind, {std::move(done)}});
  placeOver(dialog, control_, Qt::AlignTop);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void PagePermissions::answered(QDialog* dialog, PermissionAnswer answer) {
  for (qsizetype i = 0; i < open_.size(); ++i) {
    if (open_[i].dialog != dialog) continue;
    Question q = open_.takeAt(i);
    dialog->hide();
    dialog->deleteLater();
    // A file that cannot be written is reported once the page has its answer.
    QString unsaved;
    try {
      if (answer != PermissionAnswer::Dismissed)
        answers().remember(q.origin, q.kind, answer == PermissionAnswer::Allowed, q.always && !own_);
    } catch (const ZelvoError& e) {
      unsaved = e.text();
    }
    if (q.kind == PermissionKind::ScreenCapture && answer == PermissionAnswer::Allowed) showScreenShare(q.site);
    for (Done& d : q.waiting)
      if (d) d(answer);
    if (!unsaved.isEmpty()) throw EInOutError(unsaved);
    return;
  }
}

void PagePermissions::showScreenShare(const QString& site) {
  if (screenShare_) return;  // one notice names the page's site
  auto* notice = new QWidget(
      nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
  notice->setObjectName(QStringLiteral("ScreenShareNotice"));
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->setAttribute(Qt::WA_ShowWithoutActivating);
  notice->setAttribute(Qt::WA_StyledBackground);
  notice->setStyleSheet(QStringLiteral("#ScreenShareNotice { background: palette(window); border: 2px solid #c33; }"));
  auto* layout = new QHBoxLayout(notice);
  layout->setContentsMargins(12, 6, 6, 6);
  auto* text = new QLabel(QStringLiteral("%1 が画面を共有しています").arg(site), notice);
  text->setObjectName(QStringLiteral("lblScreenShare"));
  text->setTextFormat(Qt::PlainText);
  QFont bold = text->font();
  bold.setBold(true);
  text->setFont(bold);
  layout->addWidget(text, 1);
  auto* show = new QPushButton(QStringLiteral("ページを表示"), notice);
  show->setObjectName(QStringLiteral("btnShowSharingPage"));
  QPointer<QWidget> page(control_);
  connect(show, &QPushButton::clicked, notice, [page] {
    if (page) bringUp(page);
  });
  layout->addWidget(show);
  notice->setAccessibleName(text->text());
  notice->adjustSize();
  // Where screen-sharing notices usually are: the bottom of the screen.
  if (QScreen* screen = control_->screen()) {
    const QRect avail = screen->availableGeometry();
    notice->move(avail.center().x() - notice->width() / 2, avail.bottom() - 12 - notice->height());
  }
  screenShare_ = notice;
  notice->show();
}

void PagePermissions::screenShareEnded() {
  if (screenShare_) screenShare_->close();
  screenShare_ = nullptr;
}

void PagePermissions::withdraw(const QString& address, PermissionKind kind) {
  const QString origin = permissionOrigin(address);
  for (qsizetype i = 0; i < open_.size(); ++i)
    if (open_[i].origin == origin && open_[i].kind == kind) return drop(i, false);
}

void PagePermissions::dismissAll() {
  while (!open_.isEmpty()) drop(0, true);
}

void PagePermissions::drop(qsizetype index, bool tellWaiting) {
  Question q = open_.takeAt(index);
  discardDialog(q.dialog, this);
  if (tellWaiting)
    for (Done& d : q.waiting)
      if (d) d(PermissionAnswer::Dismissed);
}

// ---- notifications ------------------------------------------------------------

namespace {
QList<QPointer<NotificationPopup>>& shownPopups() {
  static QList<QPointer<NotificationPopup>> list;
  return list;
}
}  // namespace

NotificationPopup::NotificationPopup()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("NotificationPopup"));
  setAttribute(Qt::WA_DeleteOnClose);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_StyledBackground);
  setStyleSheet(QStringLiteral("NotificationPopup { background: palette(window); border: 1px solid palette(mid); }"));
  setCursor(Qt::PointingHandCursor);
}

NotificationPopup* NotificationPopup::show(const QString& site, const QString& title, const QString& body,
                                           QWidget* pageWindow, std::function<void()> clicked,
                                           std::function<void()> closed) {
  auto* p = new NotificationPopup;
  p->pageWindow_ = pageWindow;
  p->clicked_ = std::move(clicked);
  p->closed_ = std::move(closed);
  p->setAccessibleName(title);
  auto* layout = new QVBoxLayout(p);
  layout->setContentsMargins(12, 8, 8, 10);
  auto* top = new QHBoxLayout;
  auto* from = new QLabel(site, p);
  from->setTextFormat(Qt::PlainText);
  from->setStyleSheet(QStringLiteral("color: palette(dark)"));
  top->addWidget(from, 1);
  auto* close = new QPushButton(QStringLiteral("×"), p);
  close->setObjectName(QStringLiteral("btnCloseNotification"));
  close->setAccessibleName(QStringLiteral("通知を閉じる"));
  close->setFlat(true);
  close->setFixedSize(22, 22);
  connect(close, &QPushButton::clicked, p, [p] { p->finish(false); });
  top->addWidget(close);
  layout->addLayout(top);
  auto* heading = new QLabel(title, p);
  heading->setObjectName(QStringLiteral("lblNotificationTitle"));
  heading->setTextFormat(Qt::PlainText);
  QFont f = heading->font();
  f.setBold(true);
  heading->setFont(f);
  layout->addWidget(heading);
  auto* text = new QLabel(body, p);
  text->setObjectName(QStringLiteral("lblNotificationBody"));
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  layout->addWidget(text);
  p->setFixedWidth(340);
  p->adjustSize();
  shownPopups().append(p);
  restack();
  p->QWidget::show();
  QTimer::singleShot(kShownMs, p, [p] { p->finish(false); });
  return p;
}

void NotificationPopup::restack() {
  QList<QPointer<NotificationPopup>>& list = shownPopups();
  list.removeAll(nullptr);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect avail = screen->availableGeometry();
  int bottom = avail.bottom() - 12;
  for (qsizetype i = list.size() - 1; i >= 0; --i) {
    NotificationPopup* p = list[i];
    p->move(avail.right() - 12 - p->width(), bottom - p->height());
    bottom -= p->height() + 8;
  }
}

void NotificationPopup::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) finish(true);
}

void NotificationPopup::finish(bool click) {
  if (finished_) return;
  finished_ = true;
  if (click && pageWindow_) bringUp(pageWindow_);
  auto notify = click ? clicked_ : closed_;
  clicked_ = nullptr;
  closed_ = nullptr;
  close();
  shownPopups().removeAll(this);
  restack();
  if (notify) notify();
}

void NotificationPopup::dismiss() {
  clicked_ = nullptr;
  closed_ = nullptr;
  finish(false);
}
