#include "browser/compare_sync.h"

CompareSync::CompareSync(const QString& url) {
  current_[Left] = url;
  sent(Right, url);
}

void CompareSync::sent(Side side, const QString& url) {
  awaited_[side] = true;
  current_[side] = url;
}

std::optional<QString> CompareSync::shown(Side side, const QString& url) {
  const Side other = side == Left ? Right : Left;
  const QString before = current_[side];
  current_[side] = url;
  if (awaited_[side]) {
    awaited_[side] = false;
    return std::nullopt;
  }
  if (url.isEmpty() || url == before || url == current_[other]) return std::nullopt;
  sent(other, url);
  return url;
}
