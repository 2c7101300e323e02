#include "app/forms.h"

#include "app/about_box.h"
#include "app/main_form.h"
#include "options/option_form.h"
// start-up form headers
#include "bookmarks/bookmark_editor.h"

TMainForm* MainForm = nullptr;
Tfrm_Option* frm_Option = nullptr;
Tfrm_BMEdit* frm_BMEdit = nullptr;
TAboutBox* AboutBox = nullptr;

void CreateForms() {
  MainForm = new TMainForm;
  // options dialog (hidden; reading its settings sets Moz_Item)
  frm_Option = new Tfrm_Option(MainForm);
  // bookmark editor (hidden; reads bookmark.xml into its tree)
  frm_BMEdit = new Tfrm_BMEdit(MainForm);
  frm_BMEdit->OnSaved = [] {
    if (MainForm) {
      MainForm->BuildBookmarkMenu();
      MainForm->BuildBookmarkBar();
    }
  };
  AboutBox = new TAboutBox(MainForm);
}

void DestroyForms() {
  delete AboutBox;
  AboutBox = nullptr;
  // destroy editor and options dialog
  delete frm_BMEdit;
  frm_BMEdit = nullptr;
  delete frm_Option;
  frm_Option = nullptr;
  delete MainForm;
  MainForm = nullptr;
}
