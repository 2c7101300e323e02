#pragma once

// The (section, key) pairs a settings file's lines could name, at most
// `limit` of them; reads decide which are real.
#include <QRegularExpression>
#include <QString>
#include <utility>
#include <vector>

#include "platform/text_codec.h"

inline std::vector<std::pair<QString, QString>> candidates(const QByteArray& bytes, size_t limit) {
  const QString text = textcodec::isValidUtf8(bytes) ? QString::fromUtf8(bytes) : textcodec::decodeShiftJis(bytes);
  std::vector<std::pair<QString, QString>> out;
  QString section;
  static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  for (QString line : text.split(lineEnd)) {
    line = line.trimmed();
    if (line.startsWith(u'[')) {
      const qsizetype close = line.indexOf(u']');
      section = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
    } else if (const qsizetype eq = line.indexOf(u'='); eq >= 0) {
      out.emplace_back(section, line.left(eq).trimmed());
      if (out.size() == limit) break;
    }
  }
  return out;
}
