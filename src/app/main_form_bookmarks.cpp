// The frame's bookmark menu and side-bar tree.
#include "app/main_form.h"

#include <QTreeWidget>

void TMainForm::BuildBookmarkMenu() {}
void TMainForm::BuildBookmarkBar() {}
void TMainForm::iventMenuClick(QAction*) {}
void TMainForm::TreeView1Change(QTreeWidgetItem*) {}
void TMainForm::mnuBMEditClick() {}
