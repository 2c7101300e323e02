#include "browser/progress.h"

#include <algorithm>
#include <limits>

namespace progress {

qint32 scaled(qint32 progress, qint32 progressMax) {
  // The product wraps like a 32-bit multiplication.
  const qint32 product = static_cast<qint32>(static_cast<quint32>(progress) * 100u);
  // The one quotient that does not fit in 32 bits wraps too, instead of trapping.
  if (product == std::numeric_limits<qint32>::min() && progressMax == -1) return product;
  return product / progressMax;
}

int clampToBar(qint32 position) { return std::clamp<qint32>(position, 0, 100); }

std::optional<qint32> ieNewPosition(qint32 progress, qint32 progressMax) {
  if (progressMax != 0) return scaled(progress, progressMax);
  if (progress == 0) return 0;
  return std::nullopt;
}

std::optional<qint32> geckoNewPosition(qint32 progress, qint32 progressMax) {
  if (progress != 0 && progressMax != 0) return scaled(progress, progressMax);
  return std::nullopt;
}

}  // namespace progress
