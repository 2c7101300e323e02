#include "app/menu_hints.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <utility>

namespace {

// An item of a menu as the toolkit presents it (name, place, state, press),
// with its hint as its description. For items that are no submenu and
// carry no check mark; those keep the toolkit's own.
class HintedMenuItem : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  explicit HintedMenuItem(QAction* action) : action_(action) {}

  bool isValid() const override { return action_ && menu(); }
  QObject* object() const override { return action_; }
  QWindow* window() const override {
    QMenu* m = menu();
    return m ? m->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QString text(QAccessible::Text t) const override {
    if (!action_) return {};
    switch (t) {
      case QAccessible::Name: {
        // "&&" is a literal ampersand; a lone "&" marks the access key.
        QString name = action_->text();
        for (qsizetype i = 0; i < name.size(); ++i)
          if (name[i] == u'&') name.remove(i, 1);
        return name;
      }
      case QAccessible::Description:
        return action_->statusTip();
      default:
        return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    QMenu* m = menu();
    if (!m || !action_) return {};
    return m->actionGeometry(action_).translated(m->mapToGlobal(QPoint(0, 0)));
  }
  QAccessible::Role role() const override { return QAccessible::MenuItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    QMenu* m = menu();
    if (!action_ || !m) return s;
    s.invisible = !m->isVisible() || !action_->isVisible();
    s.focused = m->activeAction() == action_;
    s.hotTracked = m->style()->styleHint(QStyle::SH_Menu_MouseTracking);
    s.disabled = !action_->isEnabled();
    return s;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && action_ && action_->isEnabled()) action_->trigger();
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QMenu* menu() const {
    if (!action_) return nullptr;
    for (QObject* o : action_->associatedObjects())
      if (auto* m = qobject_cast<QMenu*>(o)) return m;
    return nullptr;
  }
  QPointer<QAction> action_;
};

QAccessibleInterface* hintedMenuItem(const QString& className, QObject* object) {
  auto* action = className == QLatin1String("QAction") ? qobject_cast<QAction*>(object) : nullptr;
  if (!action || action->statusTip().isEmpty() || action->menu() || action->isCheckable() || action->isSeparator())
    return nullptr;
  for (QObject* o : action->associatedObjects())
    if (qobject_cast<QMenu*>(o)) return new HintedMenuItem(action);
  return nullptr;
}

}  // namespace

void installMenuHintDescriptions() {
  static bool installed = false;
  if (std::exchange(installed, true)) return;
  QAccessible::installFactory(hintedMenuItem);
}
