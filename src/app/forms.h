#pragma once

class TMainForm;
class TAboutBox;
class Tfrm_Option;
class Tfrm_BMEdit;

// The forms made at start-up, in this order, living until the program ends.
extern TMainForm* MainForm;
extern Tfrm_Option* frm_Option;
extern Tfrm_BMEdit* frm_BMEdit;
extern TAboutBox* AboutBox;

// Creates the four start-up forms in order; the frame's start-up runs whole
// before the options dialog exists.
void CreateForms();
// Destroys them in reverse order (the program's end, and between tests).
void DestroyForms();
