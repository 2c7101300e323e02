// Bar layout and view settings of the frame.
#include "app/main_form.h"

#include <QMouseEvent>
#include <QToolButton>
#include <QTreeWidget>

void TMainForm::BandPositionRead() {}
void TMainForm::BandPositionWrite() {}
void TMainForm::ViewToolBar() {}
void TMainForm::mnuShow_defaultClick() {}
void TMainForm::mnuShow_AddressClick() {}
void TMainForm::mnuShow_StatusClick() {}
void TMainForm::mnuShow_ZClick() {}

void TMainForm::ZBarResize() {
  TreeView1->setGeometry(0, 0, std::max(0, ZBar->width() - 10), ZBar->height());
  btnBar->setGeometry(TreeView1->width(), 0, 8, ZBar->height());
}

void TMainForm::btnBarClick() {}
void TMainForm::ZBarMouseUp(QMouseEvent*) {}
void TMainForm::CoolBar1MouseUp() {}
