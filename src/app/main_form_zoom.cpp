// Page zoom, the page's source and the engines' developer tools, wired
// into the frame.
#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QStatusBar>

#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "platform/guarded.h"
#include "zoom/page_zoom.h"

using namespace frame_widgets;

void TMainForm::CreateZoomItems() {
  mnuShow_Zoom = named(new QMenu(QStringLiteral("ズーム"), mnuShow), QStringLiteral("mnuShow_Zoom"));
  // Beside the text size, which it scales on top of.
  const QList<QAction*> shown = mnuShow->actions();
  const qsizetype after = shown.indexOf(mnuShow_Size->menuAction()) + 1;
  mnuShow->insertMenu(after > 0 && after < shown.size() ? shown[after] : nullptr, mnuShow_Zoom);
  mnuZoom_In = newAction(this, "mnuZoom_In", QStringLiteral("拡大(&I)"));
  mnuZoom_In->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
  mnuZoom_Out = newAction(this, "mnuZoom_Out", QStringLiteral("縮小(&O)"), QKeySequence(Qt::CTRL | Qt::Key_Minus));
  mnuZoom_Reset =
      newAction(this, "mnuZoom_Reset", QStringLiteral("100% に戻す(&R)"), QKeySequence(Qt::CTRL | Qt::Key_0));
  mnuShow_Zoom->addActions({mnuZoom_In, mnuZoom_Out, mnuZoom_Reset});
  mnuShow_Source =
      newAction(this, "mnuShow_Source", QStringLiteral("ページのソース(&C)"), QKeySequence(Qt::CTRL | Qt::Key_U));
  mnuShow->addAction(mnuShow_Source);
  mnuDevTools =
      newAction(this, "mnuDevTools", QStringLiteral("開発者ツール"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
  Tool1->insertAction(mnuOption, mnuDevTools);
  addActions({mnuZoom_In, mnuZoom_Out, mnuZoom_Reset, mnuShow_Source, mnuDevTools});

  ZoomPanel = named(new QLabel(StatusBar1), QStringLiteral("ZoomPanel"));
  ZoomPanel->setAccessibleName(QStringLiteral("ズーム"));
  ZoomPanel->setContentsMargins(4, 0, 4, 0);
  StatusBar1->addPermanentWidget(ZoomPanel);
  ZoomPanel->hide();

  auto onZoom = [this](void (PageZoom::*step)()) {
    return [this, step] {
      guarded::run([&] {
        if (TBrowserChild* c = ActiveMDIChild())
          if (PageZoom* z = PageZoom::of(c->Control())) (z->*step)();
      });
    };
  };
  connect(mnuZoom_In, &QAction::triggered, this, onZoom(&PageZoom::zoomIn));
  connect(mnuZoom_Out, &QAction::triggered, this, onZoom(&PageZoom::zoomOut));
  connect(mnuZoom_Reset, &QAction::triggered, this, onZoom(&PageZoom::reset));
  connect(mnuShow_Source, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuShow_SourceClick));
  connect(mnuDevTools, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuDevToolsClick));
  connect(MDIClient, &QMdiArea::subWindowActivated, this, [this] { guarded::run([this] { FollowActiveZoom(); }); });
  FollowActiveZoom();
}

void TMainForm::FollowActiveZoom() {
  disconnect(zoomWatch_);
  TBrowserChild* c = ActiveMDIChild();
  PageZoom* z = c ? PageZoom::of(c->Control()) : nullptr;
  for (QAction* a : {mnuZoom_In, mnuZoom_Out, mnuZoom_Reset, mnuShow_Source, mnuDevTools}) a->setEnabled(c != nullptr);
  mnuShow_Zoom->setEnabled(z != nullptr);
  if (z) zoomWatch_ = connect(z, &PageZoom::levelChanged, this, &TMainForm::ShowZoomLevel);
  ShowZoomLevel(z ? z->level() : 100);
}

void TMainForm::ShowZoomLevel(int level) {
  ZoomPanel->setText(QStringLiteral("%1%").arg(level));
  ZoomPanel->setVisible(level != 100);
}

void TMainForm::mnuShow_SourceClick() {
  TBrowserChild* c = ActiveMDIChild();
  if (!c) return;
  const QString url = c->Control()->LocationURL();
  if (url.isEmpty()) return;
  // The engine shows the source as a page of its own in a window of its own.
  if (!c->Control()->ViewSource())
    OpenChildIn(c->IsIE(), QStringLiteral("Internet Explorer"), QStringLiteral("view-source:") + url, c->IsPrivate());
}

void TMainForm::mnuDevToolsClick() {
  if (TBrowserChild* c = ActiveMDIChild()) c->Control()->ShowDevTools();
}
