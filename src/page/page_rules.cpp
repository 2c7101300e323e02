#include "page/page_rules.h"

#include <unicode/uniset.h>
#include <unicode/uscript.h>
#include <unicode/uspoof.h>

#include <QStringList>
#include <QUrl>
#include <memory>

// ---- page dialogs ------------------------------------------------------------

PageDialogAnswer unshownDialogAnswer(PageDialogKind kind) {
  PageDialogAnswer a;
  a.accepted = kind == PageDialogKind::Alert || kind == PageDialogKind::LeavePage;
  return a;
}

qsizetype dialogTextKept(const QString& text, qsizetype maxChars, int maxLines) {
  qsizetype n = qMin(text.size(), maxChars);
  int lines = 1;
  for (qsizetype i = 0; i < n; ++i)
    if (text[i] == u'\n' && ++lines > maxLines) {
      if (i + 1 < text.size()) n = i;  // a line break that ends the text starts no line
      break;
    }
  if (n < text.size() && n > 0 && text[n - 1].isHighSurrogate()) --n;
  return n;
}

QString dialogTextCutNote() { return QStringLiteral("…（長すぎるため、以下を省略しました）"); }

QString dialogTextShown(const QString& text, qsizetype maxChars, int maxLines) {
  const qsizetype n = dialogTextKept(text, maxChars, maxLines);
  if (n == text.size()) return text;
  QString shown = text.left(n);
  if (!shown.endsWith(u'\n')) shown += u'\n';
  return shown + dialogTextCutNote();
}

QString dialogLineShown(const QString& text, qsizetype maxChars) {
  const qsizetype n = dialogTextKept(text, maxChars, 1);
  QString line = text.left(n);
  line.replace(u'\r', u' ');
  if (n == text.size()) return line;
  return line.left(dialogTextKept(line, maxChars - 1, 1)) + u'…';
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

// ---- host names --------------------------------------------------------------

namespace {

struct SpoofCheckerClose {
  void operator()(USpoofChecker* sc) const { uspoof_close(sc); }
};

// Highly restrictive as UTS 39 defines it: one script, or Latin with the
// Japanese scripts, with Han and Bopomofo, or with Han and Hangul; only
// characters recommended for identifiers; no mixed digit sets, no stacked
// or invisible marks. Built once, then only read (safe across threads).
const USpoofChecker* hostChecker() {
  static const std::unique_ptr<USpoofChecker, SpoofCheckerClose> checker = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<USpoofChecker, SpoofCheckerClose> sc(uspoof_open(&status));
    icu::UnicodeSet allowed;
    allowed.addAll(*uspoof_getRecommendedUnicodeSet(&status));
    allowed.addAll(*uspoof_getInclusionUnicodeSet(&status));
    uspoof_setAllowedUnicodeSet(sc.get(), &allowed, &status);
    uspoof_setRestrictionLevel(sc.get(), USPOOF_HIGHLY_RESTRICTIVE);
    uspoof_setChecks(sc.get(), USPOOF_RESTRICTION_LEVEL | USPOOF_CHAR_LIMIT | USPOOF_INVISIBLE | USPOOF_MIXED_NUMBERS,
                     &status);
    if (U_FAILURE(status)) sc.reset();
    return sc;
  }();
  return checker.get();
}

const UChar* utf16(const QString& s) { return reinterpret_cast<const UChar*>(s.utf16()); }

// The one script of a label's letters other than Common and Inherited
// (USCRIPT_COMMON when it has none, USCRIPT_INVALID_CODE when it mixes).
UScriptCode scriptOf(const QString& label) {
  UScriptCode found = USCRIPT_COMMON;
  for (const char32_t c : label.toUcs4()) {
    UErrorCode status = U_ZERO_ERROR;
    const UScriptCode s = uscript_getScript(static_cast<UChar32>(c), &status);
    if (U_FAILURE(status) || s == USCRIPT_COMMON || s == USCRIPT_INHERITED) continue;
    if (found != USCRIPT_COMMON && found != s) return USCRIPT_INVALID_CODE;
    found = s;
  }
  return found;
}

// Whether a label, all its characters taken together, reads as a name in
// plain Latin letters ("аррӏе" in Cyrillic as "apple"): its confusable
// skeleton is all ASCII, though the label is not.
bool confusableWithLatin(const USpoofChecker* sc, const QString& label) {
  UErrorCode status = U_ZERO_ERROR;
  UChar skeleton[256];
  const int32_t n = uspoof_getSkeleton(sc, 0, utf16(label), static_cast<int32_t>(label.size()), skeleton,
                                       static_cast<int32_t>(std::size(skeleton)), &status);
  if (U_FAILURE(status)) return true;  // too long to tell: not shown
  for (int32_t i = 0; i < n; ++i)
    if (skeleton[i] >= 0x80) return false;
  return true;
}

}  // namespace

bool hostLabelShownInUnicode(const QString& label, const QString& topLabel) {
  const USpoofChecker* sc = hostChecker();
  if (!sc || label.isEmpty()) return false;
  UErrorCode status = U_ZERO_ERROR;
  const int32_t failed = uspoof_check(sc, utf16(label), static_cast<int32_t>(label.size()), nullptr, &status);
  if (U_FAILURE(status) || failed != 0) return false;
  if (!confusableWithLatin(sc, label)) return true;
  // A name of a script's own top-level domain may use that script's
  // look-alikes of Latin letters: its readers expect that script there.
  const UScriptCode script = scriptOf(label);
  return script != USCRIPT_LATIN && script != USCRIPT_COMMON && script != USCRIPT_INVALID_CODE && label != topLabel &&
         scriptOf(topLabel) == script;
}

QString displayHost(const QString& aceHost) {
  if (!aceHost.contains(QLatin1String("xn--"), Qt::CaseInsensitive)) return aceHost;
  const QStringList aceLabels = aceHost.split(u'.');
  QStringList labels;
  labels.reserve(aceLabels.size());
  for (const QString& ace : aceLabels) {
    if (!ace.startsWith(QLatin1String("xn--"), Qt::CaseInsensitive)) {
      labels << ace;
      continue;
    }
    const QString unicode = QUrl::fromAce(ace.toLatin1(), QUrl::IgnoreIDNWhitelist);
    // Only a label that converts back to itself is shown as text.
    if (unicode.isEmpty() || unicode.contains(u'.') ||
        QString::fromLatin1(QUrl::toAce(unicode, QUrl::IgnoreIDNWhitelist)).compare(ace, Qt::CaseInsensitive) != 0)
      return aceHost;
    labels << unicode;
  }
  // One label that could pass for another keeps the whole name in ACE form.
  for (qsizetype i = 0; i < labels.size(); ++i)
    if (labels[i] != aceLabels[i] && !hostLabelShownInUnicode(labels[i], labels.last())) return aceHost;
  return labels.join(u'.');
}

// ---- addresses ---------------------------------------------------------------

namespace {

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

QString displayAddress(const QString& address) {
  const QUrl url(address, QUrl::TolerantMode);
  if (address.isEmpty() || !url.isValid() || url.scheme().isEmpty()) return address;
  const QString scheme = url.scheme().toLower();
  // Data and script addresses are shown as they stand.
  if (scheme == u"data" || scheme == u"javascript" || scheme == u"blob") return address;
  QString encoded = QString::fromLatin1(url.toEncoded());
  const QString aceHost = url.host(QUrl::EncodeUnicode);
  const QString host = displayHost(aceHost);
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
  QString site = displayHost(url.host(QUrl::EncodeUnicode));
  if (url.port() >= 0) site += u':' + QString::number(url.port());
  return site;
}
