// The frame's options command.
#include "app/main_form.h"

void TMainForm::mnuOptionClick() {}
