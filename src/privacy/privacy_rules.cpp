#include "privacy/privacy_rules.h"

namespace privacy {

QString windowCaption(const QString& pageCaption, bool isPrivate) {
  if (!isPrivate) return pageCaption;
  return QString::fromUtf16(kCaptionPrefix) + pageCaption;
}

QString pageCaption(const QString& windowCaption, bool isPrivate) {
  const QString prefix = QString::fromUtf16(kCaptionPrefix);
  return isPrivate && windowCaption.startsWith(prefix) ? windowCaption.mid(prefix.size()) : windowCaption;
}

}  // namespace privacy
