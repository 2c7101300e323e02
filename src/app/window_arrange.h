#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Placement of MDI children inside the client area, as the window menu's
// commands arrange them. Pure rectangle arithmetic.
namespace arrange {

// Stacked top to bottom, each the full width.
QList<QRect> tileHorizontal(const QRect& area, int count);
// Side by side, each the full height.
QList<QRect> tileVertical(const QRect& area, int count);
// Each one step down and right of the one before, restarting at the top
// left when the next one would leave the area.
QList<QRect> cascade(const QRect& area, int count, int step);
// Minimised windows in rows from the bottom left, left to right.
QList<QRect> iconRow(const QRect& area, const QSize& icon, int count);

}  // namespace arrange
