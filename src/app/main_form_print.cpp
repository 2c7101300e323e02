// ファイル > 印刷... and 印刷プレビュー... for the active window, beside
// 名前をつけて保存; a page's own print() reaches the same dialog.
#include <QAction>
#include <QMenu>

#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "browser/browser_child.h"
#include "engine/engine_control.h"
#include "platform/guarded.h"
#include "print/page_printer.h"

using namespace frame_widgets;

void TMainForm::CreatePrintItems() {
  mnuFile_Print = newAction(this, "mnuFile_Print", QStringLiteral("印刷(&P)..."), QKeySequence(Qt::CTRL | Qt::Key_P));
  mnuFile_PrintPreview = newAction(this, "mnuFile_PrintPreview", QStringLiteral("印刷プレビュー(&V)..."));
  File1->insertAction(N1, mnuFile_Print);
  File1->insertAction(N1, mnuFile_PrintPreview);
  addAction(mnuFile_Print);
  // A page to print is there exactly when there is one to save.
  for (QAction* a : {mnuFile_Print, mnuFile_PrintPreview}) {
    a->setEnabled(mnuFile_SaveAs->isEnabled());
    connect(mnuFile_SaveAs, &QAction::enabledChanged, a, &QAction::setEnabled);
  }
  connect(mnuFile_Print, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuFile_PrintClick));
  connect(mnuFile_PrintPreview, &QAction::triggered, this,
          guarded::handler(this, &TMainForm::mnuFile_PrintPreviewClick));
}

void TMainForm::WatchPrinting(TBrowserChild* child) { PagePrinter::of(child->Control()); }

void TMainForm::mnuFile_PrintClick() {
  if (TBrowserChild* c = ActiveMDIChild()) PagePrinter::of(c->Control())->print();
}

void TMainForm::mnuFile_PrintPreviewClick() {
  if (TBrowserChild* c = ActiveMDIChild()) PagePrinter::of(c->Control())->preview();
}
