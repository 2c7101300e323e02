// Find in page, searching from the address box and the back and forward
// lists, wired into the frame.
#include <QAction>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QVBoxLayout>

#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "browser/browser_child.h"
#include "find/find_bar.h"
#include "platform/guarded.h"
#include "search/search_menu.h"
#include "search/search_rules.h"
#include "travel/travel_menu.h"

using namespace frame_widgets;

void TMainForm::CreateFindAndSearch() {
  // The find bar sits under the windows, above the status bar.
  FindBar = new TFindBar(centralWidget());
  if (auto* column = qobject_cast<QVBoxLayout*>(centralWidget()->layout()))
    column->insertWidget(column->indexOf(ToolBar1), FindBar);
  N7 = separator(mnuEdit, "N7");
  mnuEdit_Find = FindBar->FindAction;
  mnuEdit->addAction(mnuEdit_Find);
  addActions({mnuEdit_Find, FindBar->FindNextAction, FindBar->FindPreviousAction});

  mnuSearchEngine = named(new QMenu(QStringLiteral("検索エンジン"), Tool1), QStringLiteral("mnuSearchEngine"));
  mnuSearchEngine->setAccessibleName(mnuSearchEngine->title());
  Tool1->insertMenu(mnuOption, mnuSearchEngine);
  SearchEngines = new SearchEngineMenu(mnuSearchEngine, [this] { return ConfigPath(); });

  AddressSearch1 = newAction(ActionList1, "AddressSearch1", QStringLiteral("アドレス ボックスで検索"));
  AddressSearch1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_K), QKeySequence(Qt::CTRL | Qt::Key_E)});
  addAction(AddressSearch1);
  connect(AddressSearch1, &QAction::triggered, this, guarded::handler(this, &TMainForm::AddressSearch1Execute));

  auto activeControl = [this]() -> IWebBrowser2* {
    TBrowserChild* c = ActiveMDIChild();
    return c ? c->Control() : nullptr;
  };
  new TTravelMenu(BackCtrl, true, activeControl);
  new TTravelMenu(FrwrdCtrl, false, activeControl);
  connect(MDIClient, &QMdiArea::subWindowActivated, this,
          [this, activeControl] { guarded::run([&] { FindBar->SetTarget(activeControl()); }); });
}

void TMainForm::AddressSearch1Execute() {
  if (!txtAddress->isVisible()) return;
  txtAddress->setFocus(Qt::ShortcutFocusReason);
  txtAddress->setText(QStringLiteral("? "));
  txtAddress->end(false);
}

QString TMainForm::AddressToOpen(const QString& typed) const {
  if (const std::optional<QString> terms = search::searchTerms(typed)) return SearchEngines->addressFor(*terms);
  return typed;
}
