#pragma once

// A question the page can make appear where the user is about to click or
// type: it takes no input at first, and Enter gives the safe answer.
class QAbstractButton;
class QDialog;

// For its first half second the dialog ignores clicks and keys and its
// buttons are disabled; safeDefault (the answer that gives nothing away)
// is the default button. Call before the dialog is shown.
void armQuestion(QDialog* dialog, QAbstractButton* safeDefault);

// How long a question takes no input.
inline constexpr int kQuestionArmMs = 500;
