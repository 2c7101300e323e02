#pragma once

#include <QString>

// What the find bar says of a search: "3 / 12 件", "見つかりません", or
// nothing while there is no text to find.
QString findCountText(const QString& text, int current, int total);

// Whether the find field is marked as finding nothing.
inline bool findFailed(const QString& text, int total) { return !text.isEmpty() && total <= 0; }
