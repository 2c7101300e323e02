#include "icons/icon_rules.h"

#include <QCryptographicHash>
#include <QUrl>

namespace icons {

QString siteOf(const QString& address) {
  const QUrl url(address.trimmed());
  const QString scheme = url.scheme().toLower();
  if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return {};
  QString host = url.host(QUrl::FullyEncoded).toLower();
  while (host.endsWith(u'.')) host.chop(1);
  if (host.isEmpty()) return {};
  const int port = url.port();
  const int schemePort = scheme == QLatin1String("https") ? 443 : 80;
  if (port != -1 && port != schemePort) host += u':' + QString::number(port);
  return host;
}

QString fileNameFor(const QString& site) {
  const QByteArray hash = QCryptographicHash::hash(site.toUtf8(), QCryptographicHash::Sha256).toHex();
  return QString::fromLatin1(hash.left(40)) + QStringLiteral(".png");
}

}  // namespace icons
