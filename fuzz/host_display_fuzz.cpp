// Any bytes as a host name, in ACE form and as Unicode text: each label
// shown is the ACE label itself or one that converts back to it, and no label
// shown in Unicode is one that the spoof checker (highly restrictive, with
// identifier characters only) flags.
#include <unicode/uniset.h>
#include <unicode/uspoof.h>

#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdlib>
#include <memory>

#include "page/page_rules.h"

namespace {

// A checker of the fuzzer's own, so that a fault in the program's setup
// of its checker does not hide itself.
USpoofChecker* checker() {
  static USpoofChecker* sc = [] {
    UErrorCode status = U_ZERO_ERROR;
    USpoofChecker* c = uspoof_open(&status);
    icu::UnicodeSet allowed;
    allowed.addAll(*uspoof_getRecommendedUnicodeSet(&status));
    allowed.addAll(*uspoof_getInclusionUnicodeSet(&status));
    uspoof_setAllowedUnicodeSet(c, &allowed, &status);
    uspoof_setRestrictionLevel(c, USPOOF_HIGHLY_RESTRICTIVE);
    uspoof_setChecks(c, USPOOF_RESTRICTION_LEVEL | USPOOF_CHAR_LIMIT | USPOOF_INVISIBLE | USPOOF_MIXED_NUMBERS,
                     &status);
    if (U_FAILURE(status)) std::abort();
    return c;
  }();
  return sc;
}

bool isAscii(const QString& s) {
  for (QChar c : s)
    if (c.unicode() >= 0x80) return false;
  return true;
}

void check(const QString& ace) {
  const QString shown = displayHost(ace);
  if (shown == ace) return;
  const QStringList aceLabels = ace.split(u'.');
  const QStringList labels = shown.split(u'.');
  if (labels.size() != aceLabels.size()) std::abort();
  for (qsizetype i = 0; i < labels.size(); ++i) {
    const QString& label = labels[i];
    if (label == aceLabels[i]) continue;
    // Each label shown converts back to the one it stands for.
    if (QString::fromLatin1(QUrl::toAce(label, QUrl::IgnoreIDNWhitelist)).compare(aceLabels[i], Qt::CaseInsensitive))
      std::abort();
    if (isAscii(label)) std::abort();
    UErrorCode status = U_ZERO_ERROR;
    const int32_t flags = uspoof_check(checker(), reinterpret_cast<const UChar*>(label.utf16()),
                                       static_cast<int32_t>(label.size()), nullptr, &status);
    if (U_FAILURE(status) || flags != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  check(QString::fromLatin1(bytes));
  const QByteArray ace = QUrl::toAce(QString::fromUtf8(bytes), QUrl::IgnoreIDNWhitelist);
  if (!ace.isEmpty()) check(QString::fromLatin1(ace));
  return 0;
}
