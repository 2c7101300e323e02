#pragma once

#include <QPoint>
#include <QRect>
#include <optional>

// Where the folder chooser puts its dialog. Pure rectangle arithmetic.
namespace placement {

// Centred across the work area, a third of the free height above the
// dialog: x = left + (area width - window width) / 2, y = top + (area height -
// window height) / 3, truncating toward zero. No work area: no move.
std::optional<QPoint> centerOnWorkArea(const QRect& window, const std::optional<QRect>& workArea);

// The dialog's top-left corner goes to the owner's client origin (already in
// screen coordinates); the dialog keeps its size.
QRect moveToOwnerClient(const QRect& window, const QPoint& ownerClientOrigin);

}  // namespace placement
