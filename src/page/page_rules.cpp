#include "page/page_rules.h"

#include <QStringList>
#include <QUrl>

// ---- page dialogs ------------------------------------------------------------

PageDialogAnswer unshownDialogAnswer(PageDialogKind kind) {
  PageDialogAnswer a;
  a.accepted = kind == PageDialogKind::Alert || kind == PageDialogKind::LeavePage;
  return a;
}

DialogGate::Decision DialogGate::opening(qint64 nowMs) const {
  Decision d;
  if (suppressed_) {
    d.show = false;
    return d;
  }
  d.offerSuppress = lastClosed_ && nowMs - *lastClosed_ < kQuickSuccessionMs;
  return d;
}

void DialogGate::closed(qint64 nowMs, bool suppressChosen) {
  lastClosed_ = nowMs;
  if (suppressChosen) suppressed_ = true;
}

void DialogGate::newDocument() {
  suppressed_ = false;
  lastClosed_.reset();
}

// ---- pop-ups -----------------------------------------------------------------

PopupGate::Verdict PopupGate::request(bool userAction, qint64 nowMs) {
  if (!userAction) return Verdict::NoUserAction;
  // The action's window has opened already.
  if (actions_ == Actions::Counted && !inputUnused_) return Verdict::TooMany;
  while (!opened_.empty() && nowMs - opened_.front() >= 1000) opened_.pop_front();
  if (static_cast<int>(opened_.size()) >= kMaxPerSecond) return Verdict::TooMany;
  inputUnused_ = false;
  opened_.push_back(nowMs);
  return Verdict::Open;
}

QString popupBlockedText(PopupGate::Verdict verdict, const QString& url) {
  const QString shown = url.isEmpty() ? QStringLiteral("(アドレスなし)") : displayAddress(url);
  if (verdict == PopupGate::Verdict::TooMany)
    return QStringLiteral("このページが短い間に開こうとしたウィンドウをブロックしました: %1").arg(shown);
  return QStringLiteral("ポップアップ ウィンドウをブロックしました: %1").arg(shown);
}

// ---- addresses ---------------------------------------------------------------

namespace {

bool looksLikeLatin(QChar::Script s) { return s == QChar::Script_Cyrillic || s == QChar::Script_Greek; }

// A label shown in Unicode must not pass for another name: no mixing of
// Latin with Cyrillic or Greek, and no label wholly in those scripts under
// a Latin top-level domain (the classic look-alike of a Latin name).
bool safeToShow(const QString& unicodeHost) {
  const QStringList labels = unicodeHost.split(u'.');
  bool latinTld = true;
  if (!labels.isEmpty())
    for (QChar c : labels.last())
      if (c.isLetter() && c.script() != QChar::Script_Latin) latinTld = false;
  for (const QString& label : labels) {
    bool latin = false, lookAlike = false, other = false;
    for (QChar c : label) {
      if (c.isSurrogate()) {
        other = true;
        continue;
      }
      if (!c.isLetter()) {
        if (!c.isDigit() && c != u'-') return false;  // symbols, spaces, controls
        continue;
      }
      const QChar::Script s = c.script();
      if (s == QChar::Script_Latin)
        latin = true;
      else if (looksLikeLatin(s))
        lookAlike = true;
      else
        other = true;
    }
    if (lookAlike && (latin || other)) return false;
    if (lookAlike && latinTld) return false;
  }
  return true;
}

// Decodes %XX runs that form printable non-ASCII UTF-8 characters; every
// other escape stays as it is.
QString decodeNonAscii(const QString& encoded) {
  QString out;
  out.reserve(encoded.size());
  const qsizetype n = encoded.size();
  qsizetype i = 0;
  auto hex = [&](qsizetype at) -> int {
    if (at + 2 >= n || encoded[at] != u'%') return -1;
    bool ok = false;
    const int v = encoded.mid(at + 1, 2).toInt(&ok, 16);
    return ok && encoded[at + 1] != u'+' && encoded[at + 1] != u'-' ? v : -1;
  };
  while (i < n) {
    const int first = hex(i);
    if (first < 0x80) {  // not an escape, or an escaped ASCII character
      out += encoded[i];
      ++i;
      continue;
    }
    // Gather the run of escaped high bytes and decode what is valid UTF-8.
    QByteArray bytes;
    qsizetype j = i;
    for (int b; (b = hex(j)) >= 0x80; j += 3) bytes += static_cast<char>(b);
    qsizetype consumed = 0;  // escapes taken from the run so far
    while (consumed < bytes.size()) {
      const unsigned char lead = static_cast<unsigned char>(bytes[consumed]);
      const int len = lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
      bool shown = false;
      if (len > 0 && consumed + len <= bytes.size()) {
        const QByteArray one = bytes.mid(consumed, len);
        const QString ch = QString::fromUtf8(one);
        const char32_t cp = ch.size() == 1                              ? ch[0].unicode()
                            : ch.size() == 2 && ch[0].isHighSurrogate() ? QChar::surrogateToUcs4(ch[0], ch[1])
                                                                        : 0xFFFD;
        const auto cat = QChar::category(cp);
        const bool printable = cp != 0xFFFD && ch.toUtf8() == one && cat != QChar::Other_Control &&
                               cat != QChar::Other_Format && cat != QChar::Other_NotAssigned &&
                               cat != QChar::Other_PrivateUse && cat != QChar::Separator_Space &&
                               cat != QChar::Separator_Line && cat != QChar::Separator_Paragraph;
        if (printable) {
          out += ch;
          consumed += len;
          shown = true;
        }
      }
      if (!shown) {
        out += encoded.mid(i + consumed * 3, 3);
        ++consumed;
      }
    }
    i = j;
  }
  return out;
}

}  // namespace

namespace {

// The host as it is shown: Unicode where that is safe, else its ACE form.
QString shownHost(const QString& aceHost) {
  if (!aceHost.contains(QLatin1String("xn--"), Qt::CaseInsensitive)) return aceHost;
  const QString unicodeHost = QUrl::fromAce(aceHost.toLatin1(), QUrl::IgnoreIDNWhitelist);
  return safeToShow(unicodeHost) ? unicodeHost : aceHost;
}

}  // namespace

QString displayAddress(const QString& address) {
  const QUrl url(address, QUrl::TolerantMode);
  if (address.isEmpty() || !url.isValid() || url.scheme().isEmpty()) return address;
  const QString scheme = url.scheme().toLower();
  // Data and script addresses are shown as they stand.
  if (scheme == u"data" || scheme == u"javascript" || scheme == u"blob") return address;
  QString encoded = QString::fromLatin1(url.toEncoded());
  const QString aceHost = url.host(QUrl::EncodeUnicode);
  const QString host = shownHost(aceHost);
  if (host != aceHost) {
    const qsizetype at = encoded.indexOf(aceHost, scheme.size() + 1, Qt::CaseInsensitive);
    if (at >= 0) encoded.replace(at, aceHost.size(), host);
  }
  return decodeNonAscii(encoded);
}

QString siteOf(const QString& address) {
  const QUrl url(address);
  if (url.isLocalFile()) return url.toLocalFile();
  if (url.host().isEmpty()) return displayAddress(address);
  QString site = shownHost(url.host(QUrl::EncodeUnicode));
  if (url.port() >= 0) site += u':' + QString::number(url.port());
  return site;
}
