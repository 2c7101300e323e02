#include "page/question_guard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

// Eats input meant for one dialog until it is deleted.
class InputShield : public QObject {
 public:
  explicit InputShield(QDialog* dialog) : QObject(dialog), dialog_(dialog) { qApp->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Shortcut:
        break;
      default:
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && dialog_ && widget->window() == dialog_;
  }

 private:
  QPointer<QDialog> dialog_;
};

}  // namespace

void armQuestion(QDialog* dialog, QAbstractButton* safeDefault) {
  const QList<QPushButton*> pushButtons = dialog->findChildren<QPushButton*>();
  for (QPushButton* b : pushButtons)
    if (b != safeDefault) b->setDefault(false);
  if (auto* push = qobject_cast<QPushButton*>(safeDefault)) push->setDefault(true);

  QList<QPointer<QAbstractButton>> disabled;
  for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
    if (b->isEnabled()) {
      b->setEnabled(false);
      disabled.append(b);
    }
  // The dialog may enable a button of its own meanwhile: the shield, not
  // the buttons' state, is what keeps input out.
  auto* shield = new InputShield(dialog);
  QTimer::singleShot(kQuestionArmMs, shield, [shield, disabled] {
    for (const QPointer<QAbstractButton>& b : disabled)
      if (b) b->setEnabled(true);
    qApp->removeEventFilter(shield);
    shield->deleteLater();
  });
}
