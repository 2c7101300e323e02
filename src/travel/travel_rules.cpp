#include "travel/travel_rules.h"

namespace {
constexpr int kLongest = 60;
}

QString travelCaption(const QString& title, const QString& url) {
  QString text = title.simplified();
  if (text.isEmpty()) text = url.simplified();
  if (text.size() > kLongest) {
    int cut = kLongest - 1;
    if (text[cut - 1].isHighSurrogate()) --cut;
    text = text.left(cut) + QChar(0x2026);
  }
  return text.replace(u'&', QLatin1String("&&"));
}
