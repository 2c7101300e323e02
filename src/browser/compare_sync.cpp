#include "browser/compare_sync.h"

#include <QUrl>

namespace {

// The twin loads what it is sent as the browser's own load, which the
// engines trust: only web pages go across.
bool mirrored(const QString& url) {
  const QUrl u(url, QUrl::StrictMode);
  const QString scheme = u.scheme().toLower();
  return u.isValid() && !u.host().isEmpty() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

}  // namespace

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
  if (!mirrored(url) || url == before || url == current_[other]) return std::nullopt;
  sent(other, url);
  return url;
}
