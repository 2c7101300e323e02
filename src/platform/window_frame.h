#pragma once

#include <QMargins>
#include <QRect>
#include <functional>

class QWidget;

// Top-level windows placed by their outer frame, the one the window manager
// draws around them. Before a window is first shown its frame is not known
// yet: it is taken from the frame of another window of the program (the
// same window manager draws the same decorations), and once the window
// manager has framed the window the placement is made again with the real
// frame, which moves the window only when the estimate was wrong.
namespace window_frame {

// The frame around `w`: its own once it has one, else the frame of another
// framed window of the program (one of the same kind when there is one),
// else none (no window manager).
QMargins frameMargins(const QWidget* w);

// `outer` gets the frame and answers where the outer frame should be and
// how large it is; `w` gets the client size that leaves and is moved there.
void placeByFrame(QWidget* w, const std::function<QRect(const QMargins&)>& outer);

}  // namespace window_frame
