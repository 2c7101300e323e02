#include "browser/address.h"

#include <QDir>

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
  const QUrl guess = QUrl::fromUserInput(t, QDir::currentPath(), QUrl::AssumeLocalFile);
  if (guess.isValid()) return guess;
  return QUrl(QStringLiteral("about:blank"));
}
