// ツール > パスワード: the window of saved passwords, one for the frame.
#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "passwords/passwords_window.h"
#include "platform/guarded.h"

using namespace frame_widgets;

void TMainForm::CreatePasswordItems() {
  mnuPasswords = newAction(this, "mnuPasswords", QStringLiteral("パスワード(&P)..."));
  Tool1->insertAction(mnuOption, mnuPasswords);
  connect(mnuPasswords, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuPasswordsClick));
}

void TMainForm::mnuPasswordsClick() {
  if (!PasswordsForm) {
    PasswordsForm = new TPasswordsForm(this);
    QRect r(QPoint(), PasswordsForm->size());
    r.moveCenter(frameGeometry().center());
    PasswordsForm->move(r.topLeft());
  } else {
    PasswordsForm->reload();
  }
  PasswordsForm->show();
  PasswordsForm->raise();
  PasswordsForm->activateWindow();
}
