#include "find/find_rules.h"

QString findCountText(const QString& text, int current, int total) {
  if (text.isEmpty()) return QString();
  if (total <= 0) return QStringLiteral("見つかりません");
  return QStringLiteral("%1 / %2 件").arg(current).arg(total);
}
