#pragma once

#include <QUrl>
#include <functional>

class QMenu;
class QWebEngineView;

// What the menu asks of its window rather than of the page.
struct PageMenuHooks {
  // A link to open in a window of its own (the frame opens it).
  std::function<void(const QUrl&)> openInNewWindow;
  // Runs a page action that opens a window the user asked for.
  std::function<void(const std::function<void()>&)> asUserWindow;
};

// The Internet Explorer windows' context menu: the program's own, with
// Japanese captions, for what the engine reported under the pointer
// (QWebEngineView::lastContextMenuRequest()). Each item runs the page's
// action; the window's own items are the caller's to append.
QMenu* createPageContextMenu(QWebEngineView* view, const PageMenuHooks& hooks);
