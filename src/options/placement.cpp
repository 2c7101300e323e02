#include "options/placement.h"

namespace placement {

std::optional<QPoint> centerOnWorkArea(const QRect& window, const std::optional<QRect>& workArea) {
  if (!workArea) return std::nullopt;
  // The work area's own origin is added, so a panel at the top or left, or a
  // second screen, still gets the dialog inside the area.
  const int x = workArea->left() + (workArea->width() - window.width()) / 2;
  const int y = workArea->top() + (workArea->height() - window.height()) / 3;
  return QPoint(x, y);
}

QRect moveToOwnerClient(const QRect& window, const QPoint& ownerClientOrigin) {
  return QRect(ownerClientOrigin, window.size());
}

}  // namespace placement
