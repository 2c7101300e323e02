#pragma once

// Which of the frame's key combinations go to the frame before a WebKit page
// sees them: those that are the frame's wherever the focus is (Ctrl, Alt or
// a function key), as in a WebEngine page, where the frame's shortcuts come
// first too. The keys a page keeps stay out: typing, Esc (the page's own
// dialogs and full screen; the frame still gets an Esc the page leaves) and
// the editing keys of its fields (Ctrl+A, copy and paste, word moves).

#include <QKeyCombination>
#include <optional>

#include "page/frame_keys.h"

std::optional<framekeys::Key> frameKeyBeforePage(QKeyCombination combination);
