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

// Where the index-th newly opened window of the given size goes: one step
// down and right per window from the area's top left, each wholly inside the
// area, back at the top left when the next would leave it. A size larger
// than the area is cut to the area.
QRect newWindowSlot(const QRect& area, const QSize& size, int step, int index);

// A remembered window rectangle made visible on the screens there are now:
// kept where it is while the screens cover it, otherwise moved (and if need
// be shrunk) onto the screen it overlaps most, or onto the first screen when
// it overlaps none (a monitor that is gone). Screens are available areas,
// the first one the primary.
QRect keepOnScreens(const QRect& window, const QList<QRect>& screens);

}  // namespace arrange
