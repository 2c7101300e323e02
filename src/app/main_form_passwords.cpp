// ツール > パスワード: the window of saved passwords, one for the frame.
#include "app/frame_widgets.h"
#include "app/main_form.h"
#include "passwords/password_store.h"
#include "passwords/passwords_window.h"
#include "platform/guarded.h"
#include "sitedata/data_clearers.h"

using namespace frame_widgets;

void TMainForm::CreatePasswordItems() {
  mnuPasswords = newAction(this, "mnuPasswords", QStringLiteral("パスワード(&P)..."));
  Tool1->insertAction(mnuOption, mnuPasswords);
  connect(mnuPasswords, &QAction::triggered, this, guarded::handler(this, &TMainForm::mnuPasswordsClick));
  // Clearing browsing data may take the saved passwords too; the keyring
  // answers later, and what fails is shown then.
  sitedata::registerClearer(sitedata::DataKind::Passwords, QStringLiteral("passwords"), [this](qint64 since) {
    auto& store = passwords::PasswordStore::instance();
    store.list(this, [this, since](const QList<passwords::Credential>& found, const QString& error) {
      if (!error.isEmpty()) return guarded::report(error);
      for (const passwords::Credential& c : found)
        if (since <= 0 || c.savedMs >= since)
          passwords::PasswordStore::instance().remove(c, this, [](const QString& e) {
            if (!e.isEmpty()) guarded::report(e);
          });
    });
  });
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
