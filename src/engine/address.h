#pragma once

#include <QString>
#include <QUrl>

// What the user typed (or a bookmark holds) made into an address an engine
// can load, the way browsers do: "example.org" becomes an http address, a
// path becomes a file address, an empty text the blank page.
QUrl addressToUrl(const QString& text);
