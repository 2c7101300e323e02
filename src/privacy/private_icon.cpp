#include "privacy/private_icon.h"

// The resources are in this library; a static library's must be named once.
static void initPrivacyResources() { Q_INIT_RESOURCE(privacy); }

namespace privacy {

QIcon privateWindowIcon() {
  static const QIcon icon = [] {
    initPrivacyResources();
    QIcon i;
    for (int size : {16, 32, 48, 64}) i.addFile(QStringLiteral(":/privacy/zelvo-private-%1.png").arg(size));
    return i;
  }();
  return icon;
}

}  // namespace privacy
