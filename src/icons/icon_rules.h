#pragma once

#include <QString>

namespace icons {

// What a page's icon may be: the bytes the engine hands over, and the
// pixels each way of the decoded image. Anything larger is not kept.
inline constexpr qsizetype kMaxIconBytes = 256 * 1024;
inline constexpr int kMaxIconSide = 256;

// The site an address belongs to, as icons are kept: the host in lower
// case, with the port when it is not the scheme's own. Empty for addresses
// that are no web site (file:, about:, data:, words).
QString siteOf(const QString& address);

// The cache file of a site's icon: named by a hash of the site, so that no
// host name (whatever characters a page's address holds) becomes a path.
QString fileNameFor(const QString& site);

}  // namespace icons
