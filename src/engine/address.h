#pragma once

#include <QString>
#include <QUrl>

// What the user typed (or a bookmark holds) made into an address an engine
// can load, the way browsers do: "example.org" becomes an http address, a
// path becomes a file address, an empty text the blank page.
QUrl addressToUrl(const QString& text);

// Text that names a local path as typed: "/…", "~/…", "./…" or "../…".
bool looksLikeLocalPath(const QString& text);

// Whether the frame itself may load an address a page supplied (a window
// the page asked for, the page's own address taken to the other engine),
// pageAddress being the address of the page that supplied it. The engines
// check a page's own navigation, but a load the frame starts is the
// browser's, which they trust: only web addresses, and local files only
// for a local page. What the user typed, a bookmark or the command line
// goes through addressToUrl alone.
bool frameMayLoadPageAddress(const QString& address, const QString& pageAddress);
