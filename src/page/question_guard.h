#pragma once

// Questions to the user that a page brings up (permissions, sign-in, page
// dialogs) appear where and when the page chooses, under a pointer or
// keys the user is already pressing. Each takes no input for its first
// moment, and Enter gives its safe answer.
class QAbstractButton;
class QDialog;

// How long a new question ignores clicks and keys.
constexpr int kQuestionArmDelayMs = 500;

// Call before the dialog is shown: its buttons stay disabled and keys sent
// to it are dropped for kQuestionArmDelayMs, after which the buttons work
// and safeDefault (which must belong to the dialog) is the default button,
// focused unless a text field has the focus.
void armQuestion(QDialog* dialog, QAbstractButton* safeDefault);
