#include "engine/address.h"

#include <QDir>
#include <QFileInfo>

QUrl addressToUrl(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return QUrl(QStringLiteral("about:blank"));
  // Names with a scheme the engines know are taken as they stand.
  const QUrl direct(t, QUrl::StrictMode);
  if (direct.isValid() && !direct.scheme().isEmpty() && direct.scheme().size() > 1) {
    static const QStringList known = {QStringLiteral("http"),       QStringLiteral("https"), QStringLiteral("file"),
                                      QStringLiteral("about"),      QStringLiteral("data"),  QStringLiteral("ftp"),
                                      QStringLiteral("view-source")};
    if (known.contains(direct.scheme().toLower())) return direct;
  }
  // Paths, and names of files that exist here, are local files; anything
  // else is a host name (with or without a path after it).
  if (looksLikeLocalPath(t) || QFileInfo::exists(t)) {
    QString path = t.startsWith(QLatin1String("~/")) ? QDir::homePath() + t.mid(1) : t;
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  }
  const QUrl guess = QUrl::fromUserInput(t);
  if (guess.isValid()) return guess;
  return QUrl(QStringLiteral("about:blank"));
}

bool looksLikeLocalPath(const QString& t) {
  return t.startsWith(u'/') || t.startsWith(QLatin1String("~/")) || t.startsWith(QLatin1String("./")) ||
         t.startsWith(QLatin1String("../"));
}

bool frameMayLoadPageAddress(const QString& address, const QString& pageAddress) {
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || url.isRelative()) return false;
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp"))
    return !url.host().isEmpty();
  if (scheme != QLatin1String("file")) return false;
  const QUrl page(pageAddress, QUrl::StrictMode);
  return page.isValid() && page.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0;
}
