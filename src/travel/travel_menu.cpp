#include "travel/travel_menu.h"

#include <QMenu>
#include <QPointer>
#include <QToolButton>

#include "engine/engine_control.h"
#include "platform/guarded.h"
#include "travel/travel_rules.h"

TTravelMenu::TTravelMenu(QToolButton* button, bool back, std::function<IWebBrowser2*()> activeControl)
    : QObject(button), menu_(new QMenu(button)), back_(back), activeControl_(std::move(activeControl)) {
  menu_->setObjectName(back ? QStringLiteral("mnuBackList") : QStringLiteral("mnuForwardList"));
  button->setMenu(menu_);
  button->setPopupMode(QToolButton::DelayedPopup);
  connect(menu_, &QMenu::aboutToShow, this, [this] { guarded::run([this] { fill(); }); });
}

void TTravelMenu::fill() {
  menu_->clear();
  IWebBrowser2* control = activeControl_();
  if (!control) return;
  const QList<TravelEntry> entries =
      back_ ? control->BackEntries(kTravelEntries) : control->ForwardEntries(kTravelEntries);
  int steps = 0;
  for (const TravelEntry& e : entries) {
    steps += back_ ? -1 : 1;
    QAction* a = menu_->addAction(travelCaption(e.title, e.url));
    a->setStatusTip(e.url);
    // The window may have gone or moved on when the entry is chosen.
    QPointer<IWebBrowser2> target(control);
    connect(a, &QAction::triggered, this, [this, target, steps] {
      guarded::run([&] {
        if (target && target == activeControl_()) target->GoToEntry(steps);
      });
    });
  }
}
