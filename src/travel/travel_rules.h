#pragma once

#include <QString>

// How many entries the back and forward lists show at most.
inline constexpr int kTravelEntries = 15;

// An entry's caption in the back or forward list: its title, or its
// address when it has none, on one line, cut to a readable length. The
// title is the page's: an "&" in it is shown, not taken for an access key.
QString travelCaption(const QString& title, const QString& url);
