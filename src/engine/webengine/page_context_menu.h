#pragma once

#include <QUrl>
#include <functional>

class QMenu;
class QWebEngineView;

// The Internet Explorer windows' context menu: the program's own, with
// Japanese captions, for what the engine reported under the pointer
// (QWebEngineView::lastContextMenuRequest()). Each item runs the page's
// action, except that a link to open in a window of its own goes to
// `openInNewWindow` (the frame opens it); the window's own items are the
// caller's to append.
QMenu* createPageContextMenu(QWebEngineView* view, const std::function<void(const QUrl&)>& openInNewWindow);
