#include "app/window_arrange.h"

#include <algorithm>

namespace arrange {

namespace {
// Splits `length` into `count` parts; the last part takes the remainder.
QList<std::pair<int, int>> split(int start, int length, int count) {
  QList<std::pair<int, int>> parts;
  if (count <= 0) return parts;
  const int each = length / count;
  for (int i = 0; i < count; ++i) {
    const int size = (i == count - 1) ? length - each * (count - 1) : each;
    parts.append({start + each * i, size});
  }
  return parts;
}
}  // namespace

QList<QRect> tileHorizontal(const QRect& area, int count) {
  QList<QRect> r;
  for (auto [y, h] : split(area.top(), area.height(), count)) r.append(QRect(area.left(), y, area.width(), h));
  return r;
}

QList<QRect> tileVertical(const QRect& area, int count) {
  QList<QRect> r;
  for (auto [x, w] : split(area.left(), area.width(), count)) r.append(QRect(x, area.top(), w, area.height()));
  return r;
}

QList<QRect> cascade(const QRect& area, int count, int step) {
  QList<QRect> r;
  if (count <= 0) return r;
  step = std::max(step, 1);
  // Windows take two thirds of the area, but at least a sensible minimum.
  const int w = std::max(area.width() * 2 / 3, std::min(area.width(), 200));
  const int h = std::max(area.height() * 2 / 3, std::min(area.height(), 150));
  const int fitX = std::max(1, (area.width() - w) / step + 1);
  const int fitY = std::max(1, (area.height() - h) / step + 1);
  const int fit = std::min(fitX, fitY);
  for (int i = 0; i < count; ++i) {
    const int k = i % fit;
    r.append(QRect(area.left() + k * step, area.top() + k * step, w, h));
  }
  return r;
}

QList<QRect> iconRow(const QRect& area, const QSize& icon, int count) {
  QList<QRect> r;
  const int perRow = std::max(1, area.width() / std::max(1, icon.width()));
  for (int i = 0; i < count; ++i) {
    const int col = i % perRow, row = i / perRow;
    r.append(QRect(QPoint(area.left() + col * icon.width(), area.bottom() + 1 - (row + 1) * icon.height()), icon));
  }
  return r;
}

QRect newWindowSlot(const QRect& area, const QSize& size, int step, int index) {
  step = std::max(step, 1);
  const int w = std::clamp(size.width(), 1, std::max(1, area.width()));
  const int h = std::clamp(size.height(), 1, std::max(1, area.height()));
  const int fit = std::max(1, std::min((area.width() - w) / step, (area.height() - h) / step) + 1);
  const int k = std::max(index, 0) % fit;
  return QRect(area.left() + k * step, area.top() + k * step, w, h);
}

namespace {
qint64 overlap(const QRect& a, const QRect& b) {
  const QRect i = a.intersected(b);
  return i.isEmpty() ? 0 : qint64(i.width()) * i.height();
}
}  // namespace

QRect keepOnScreens(const QRect& window, const QList<QRect>& screens) {
  if (screens.isEmpty() || window.isEmpty()) return window;
  // Screens lie side by side without overlapping, so the parts add up.
  qint64 covered = 0;
  const QRect* best = &screens.first();
  qint64 bestOverlap = 0;
  for (const QRect& s : screens) {
    const qint64 o = overlap(window, s);
    covered += o;
    if (o > bestOverlap) {
      bestOverlap = o;
      best = &s;
    }
  }
  if (covered >= qint64(window.width()) * window.height()) return window;
  const QRect& s = *best;
  const int w = std::min(window.width(), s.width());
  const int h = std::min(window.height(), s.height());
  const int x = std::clamp(window.left(), s.left(), s.left() + s.width() - w);
  const int y = std::clamp(window.top(), s.top(), s.top() + s.height() - h);
  return QRect(x, y, w, h);
}

}  // namespace arrange
