// The frame's options command.
#include "app/main_form.h"
#include "options/option_form.h"

void TMainForm::mnuOptionClick() {
  // A new dialog each time; it lives (hidden once closed) until the program
  // ends. It is the application's window, not one kept above the frame.
  auto* dialog = new Tfrm_Option(this);
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}
