#include "privacy/privacy_rules.h"

namespace privacy {

QString windowCaption(const QString& pageCaption, bool isPrivate) {
  if (!isPrivate) return pageCaption;
  return QString::fromUtf16(kCaptionPrefix) + pageCaption;
}

}  // namespace privacy
