// The frame's shared page display, as the child windows fill it.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QToolButton>

#include "app/main_form.h"
#include "page/page_security.h"

namespace {

QToolButton* buttonOf(const TMainForm* f, TPageDisplay::Button b) {
  switch (b) {
    case TPageDisplay::btnBack:
      return f->BackCtrl;
    case TPageDisplay::btnForward:
      return f->FrwrdCtrl;
    case TPageDisplay::btnStop:
      return f->StopCtrl;
    case TPageDisplay::btnReload:
      return f->ReLoadCtrl;
  }
  return nullptr;
}

}  // namespace

void TMainForm::ShowAddress(const QString& text) { txtAddress->setText(text); }

void TMainForm::ShowSecurity(SecurityState state, const QString& text) { showSecurityState(txtAddress, state, text); }

void TMainForm::ShowStatus(const QString& text) {
  StatusPanel0->setText(text);
  StatusPanel0->setAccessibleDescription(text);
}

int TMainForm::Progress() const { return ProgressBar1->value(); }

void TMainForm::SetProgress(int position) {
  // A progress bar paints itself at once on each change, a whole frame's
  // flush each time: as an update it joins the next paint instead.
  ProgressBar1->setUpdatesEnabled(false);
  ProgressBar1->setValue(position);
  ProgressBar1->setUpdatesEnabled(true);
}

bool TMainForm::ButtonEnabled(Button button) const { return buttonOf(this, button)->isEnabled(); }

void TMainForm::SetButtonEnabled(Button button, bool enabled) { buttonOf(this, button)->setEnabled(enabled); }

void TMainForm::SetPageItemsEnabled(bool enabled) {
  mnuFile_SaveAs->setEnabled(enabled);
  mnuEdit_slrAll->setEnabled(enabled);
  mnuEdit_Copy->setEnabled(enabled);
}

void TMainForm::SetTextSizeEnabled(bool enabled) { mnuShow_Size->setEnabled(enabled); }

void TMainForm::SetGeckoItemEnabled(bool on) {
  if (Moz_Item) Moz_Item->setEnabled(on);
}
