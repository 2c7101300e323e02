#pragma once
// Small makers the frame's construction files share: named components,
// actions and the menu items bound to them.

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QString>

namespace frame_widgets {

template <class W>
W* named(W* w, const QString& name) {
  w->setObjectName(name);
  return w;
}

inline QAction* newAction(QObject* owner, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
  auto* a = new QAction(caption, owner);
  a->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  return a;
}

// A menu item bound to an action takes the action's caption, shortcut and
// enabling, and choosing it executes the action. The action's shortcut is
// the one that works; the item only shows it (and answers it while its
// own menu is open).
inline QAction* boundItem(QMenu* menu, const char* name, QAction* action) {
  auto* item = new QAction(menu);
  item->setObjectName(QString::fromLatin1(name));
  item->setShortcutContext(Qt::WidgetShortcut);
  auto follow = [item, action] {
    item->setText(action->text());
    item->setShortcut(action->shortcut());
    item->setEnabled(action->isEnabled());
    item->setVisible(action->isVisible());
    item->setStatusTip(action->statusTip());
  };
  follow();
  QObject::connect(action, &QAction::changed, item, follow);
  QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
  menu->addAction(item);
  return item;
}

inline QAction* separator(QMenu* menu, const char* name) {
  QAction* a = menu->addSeparator();
  a->setObjectName(QString::fromLatin1(name));
  return a;
}

}  // namespace frame_widgets
