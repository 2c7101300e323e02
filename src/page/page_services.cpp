#include "page/page_services.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "engine/engine_control.h"
#include "page/question_guard.h"

namespace {

// From this length on, a page's text scrolls in its dialog.
constexpr qsizetype kDialogScrollFromChars = 1000;

QString dialogTitle(const PageDialogRequest& r) {
  if (r.kind == PageDialogKind::LeavePage) return QStringLiteral("このページを離れますか?");
  if (r.site.isEmpty()) return QStringLiteral("ページからのメッセージ");
  return QStringLiteral("%1 からのメッセージ").arg(dialogLineShown(r.site, 120));
}

}  // namespace

void discardDialog(QDialog* dialog, QObject* owner) {
  if (!dialog) return;
  dialog->disconnect(owner);
  dialog->hide();
  dialog->deleteLater();
}

void placeOver(QWidget* window, QWidget* over, Qt::Alignment where) {
  window->adjustSize();
  const QRect target(over->mapToGlobal(QPoint(0, 0)), over->size());
  QRect r(QPoint(0, 0), window->sizeHint().expandedTo(window->size()));
  r.moveCenter(target.center());
  if (where & Qt::AlignTop) r.moveTop(target.top());
  if (QScreen* s = over->screen()) {
    const QRect avail = s->availableGeometry();
    r.moveLeft(qBound(avail.left(), r.left(), qMax(avail.left(), avail.right() - r.width())));
    r.moveTop(qBound(avail.top(), r.top(), qMax(avail.top(), avail.bottom() - r.height())));
  }
  window->move(r.topLeft());
}

PageServices::PageServices(QWidget* control, PopupGate::Actions actions)
    : QObject(control), control_(control), popupGate_(actions) {
  clock_.start();
}

PageServices::~PageServices() {
  // The control is going: its dialogs go with it, unanswered.
  for (OpenDialog& d : open_) delete d.dialog;
}

void PageServices::askDialog(const PageDialogRequest& request, DialogDone done) {
  const DialogGate::Decision decision = dialogGate_.opening(clock_.elapsed());
  if (!decision.show) {
    done(unshownDialogAnswer(request.kind));
    return;
  }
  // A window of its own that belongs to the control: it goes with the
  // control, and modal to nothing, so the frame and the other windows (and
  // closing this one) keep working.
  auto* dialog = new QDialog(control_, Qt::Dialog);
  dialog->setObjectName(QStringLiteral("PageDialog"));
  dialog->setWindowModality(Qt::NonModal);
  dialog->setWindowTitle(dialogTitle(request));
  dialog->setAccessibleName(dialog->windowTitle());
  auto* layout = new QVBoxLayout(dialog);
  auto* message = new QLabel(dialog);
  message->setObjectName(QStringLiteral("lblPageMessage"));
  message->setTextFormat(Qt::PlainText);  // the page's text, never markup
  message->setWordWrap(true);
  message->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message->setText(
      request.kind == PageDialogKind::LeavePage
          ? QStringLiteral("このページを離れてもよろしいですか?\n入力した内容は保存されない可能性があります。")
          : dialogTextShown(request.message));
  if (message->text().size() < kDialogScrollFromChars && message->text().count(u'\n') < 20) {
    message->setMinimumWidth(320);
    layout->addWidget(message);
  } else {
    // What is still long scrolls inside a dialog that fits the screen; the
    // label wraps at the width it is given, scroll bar or not.
    auto* scroll = new QScrollArea(dialog);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumSize(480, 240);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setWidget(message);
    layout->addWidget(scroll);
  }
  QLineEdit* input = nullptr;
  if (request.kind == PageDialogKind::Prompt) {
    const qsizetype kept = dialogTextKept(request.defaultText, kDialogTextMaxChars, INT_MAX);
    input = new QLineEdit(request.defaultText.left(kept), dialog);
    input->setObjectName(QStringLiteral("txtPageInput"));
    input->setAccessibleName(dialogLineShown(request.message, 200));
    input->selectAll();
    layout->addWidget(input);
    if (kept < request.defaultText.size()) {
      auto* cut = new QLabel(QStringLiteral("既定の入力は長すぎるため、途中から省略しました。"), dialog);
      cut->setObjectName(QStringLiteral("lblInputCut"));
      layout->addWidget(cut);
    }
  }
  QCheckBox* silence = nullptr;
  if (decision.offerSuppress) {
    silence = new QCheckBox(QStringLiteral("このページでこれ以上ダイアログを表示しない"), dialog);
    silence->setObjectName(QStringLiteral("chkNoMoreDialogs"));
    layout->addWidget(silence);
  }
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = nullptr;
  QPushButton* cancel = nullptr;
  if (request.kind == PageDialogKind::LeavePage) {
    ok = buttons->addButton(QStringLiteral("このページを離れる"), QDialogButtonBox::AcceptRole);
    cancel = buttons->addButton(QStringLiteral("このページに留まる"), QDialogButtonBox::RejectRole);
  } else {
    ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    if (request.kind != PageDialogKind::Alert)
      cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  }
  ok->setObjectName(QStringLiteral("btnOK"));
  if (cancel) cancel->setObjectName(QStringLiteral("btnCancel"));
  layout->addWidget(buttons);
  // The page chose when this appears: a click or Enter meant for the page
  // does nothing, and Enter later commits to nothing.
  armQuestion(dialog, cancel ? cancel : ok);
  connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

  open_.append({dialog, request.kind, std::move(done)});
  connect(dialog, &QDialog::finished, this, [this, dialog, input, silence, kind = request.kind](int result) {
    PageDialogAnswer answer;
    // An alert has nothing to refuse: closing it is its answer.
    answer.accepted = result == QDialog::Accepted || kind == PageDialogKind::Alert;
    if (answer.accepted && input) answer.text = input->text();
    finish(dialog, answer, silence && silence->isChecked());
  });
  placeOver(dialog, control_);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  if (input) input->setFocus();
}

void PageServices::finish(QDialog* dialog, const PageDialogAnswer& answer, bool suppress) {
  for (qsizetype i = 0; i < open_.size(); ++i) {
    if (open_[i].dialog != dialog) continue;
    DialogDone done = std::move(open_[i].done);
    open_.removeAt(i);
    dialogGate_.closed(clock_.elapsed(), suppress);
    dialog->hide();
    dialog->deleteLater();
    if (done) done(answer);
    return;
  }
}

void PageServices::closeDialogs() {
  while (!open_.isEmpty()) {
    OpenDialog d = open_.takeFirst();
    discardDialog(d.dialog, this);
    if (d.done) d.done(unshownDialogAnswer(d.kind));
  }
}

bool PageServices::dialogOpen() const { return !open_.isEmpty(); }

void PageServices::newDocument() { dialogGate_.newDocument(); }

bool PageServices::allowPopup(bool userAction, const QString& url, QString* blockedText) {
  const PopupGate::Verdict v = popupGate_.request(userAction, clock_.elapsed());
  if (v == PopupGate::Verdict::Open) return true;
  if (blockedText) *blockedText = popupBlockedText(v, url);
  return false;
}

// ---- WindowHandoff -----------------------------------------------------------

namespace {
WindowHandoff* currentHandoff = nullptr;
}

WindowHandoff::WindowHandoff(IWebBrowser2* opener, Adopt adopt)
    : opener_(opener), adopt_(std::move(adopt)), outer_(currentHandoff) {
  currentHandoff = this;
}

WindowHandoff::~WindowHandoff() { currentHandoff = outer_; }

bool WindowHandoff::offer(IWebBrowser2* opener, IWebBrowser2* opened) {
  WindowHandoff* h = currentHandoff;
  if (!h || h->opener_ != opener || h->taken_ || !h->adopt_ || !opened) return false;
  h->taken_ = h->adopt_(opened);
  return h->taken_;
}
