#include "page/question_guard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

// Drops every click and key meant for the dialog or anything in it,
// shortcuts and mnemonics included, until the dialog has been on screen for
// the delay (a dialog may enable a button of its own meanwhile); then lets
// its buttons work.
class QuestionArming : public QObject {
 public:
  QuestionArming(QDialog* dialog, QAbstractButton* safeDefault) : QObject(dialog), dialog_(dialog), safe_(safeDefault) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
      if (auto* push = qobject_cast<QPushButton*>(b)) {
        // Only the safe answer is ever the default; focus on another
        // button must not make that one the default either.
        push->setDefault(b == safeDefault);
        push->setAutoDefault(b == safeDefault);
      }
      if (!b->isEnabled()) continue;
      b->setEnabled(false);
      disabled_.append(b);
    }
    qApp->installEventFilter(this);
    // The delay counts from when the question appears.
    if (dialog->isVisible()) start();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == dialog_ && event->type() == QEvent::Show) start();
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::ShortcutOverride:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
        break;
      default:
        return false;
    }
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || (w != dialog_ && !dialog_->isAncestorOf(w))) return false;
    event->accept();  // an accepted override keeps shortcuts from firing
    return true;
  }

 private:
  void start() {
    if (started_) return;
    started_ = true;
    QTimer::singleShot(kQuestionArmDelayMs, this, [this] { arm(); });
  }
  void arm() {
    qApp->removeEventFilter(this);
    for (const QPointer<QAbstractButton>& b : disabled_)
      if (b) b->setEnabled(true);
    if (safe_ && !qobject_cast<QLineEdit*>(dialog_->focusWidget())) safe_->setFocus();
    deleteLater();
  }

  QDialog* dialog_;
  QPointer<QAbstractButton> safe_;
  QList<QPointer<QAbstractButton>> disabled_;
  bool started_ = false;
};

}  // namespace

void armQuestion(QDialog* dialog, QAbstractButton* safeDefault) { new QuestionArming(dialog, safeDefault); }
