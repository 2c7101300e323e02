#pragma once

// Records the pages the browser windows show. A window tells of each title
// its page gets; a page becomes a visit once it has shown for a moment
// without its load failing, so an engine's error page for an address that
// could not be loaded is never recorded.
#include <QString>

class IWebBrowser2;

namespace history {

// The page of `control` at `url` now has `title` (the address itself while
// the page names none).
void pageTitled(IWebBrowser2* control, const QString& url, const QString& title);

// The frame is about to open `url` for the user, reached as `reached`
// ("typed", "bookmark", "history"): the visit of that page, when it comes
// soon, says so.
void expectReached(const QString& url, const QString& reached);

// Writes the visits still waiting (at the close of the program and in tests).
void flushPending();

}  // namespace history
