// The icon cache against what a page may hand over: other formats, broken
// and oversized images, headers that claim huge sizes; and the site rule
// that lets a bookmark find the icon its site's pages left.
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "file_util.h"
#include "icons/icon_rules.h"
#include "icons/site_icons.h"
#include "platform/errors.h"

namespace {

QByteArray encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

QImage filled(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(QColor(200, 30, 30));
  return image;
}

// PNG's chunk checksum (CRC-32).
quint32 crc32Of(const char* data, int size) {
  quint32 crc = 0xFFFFFFFFu;
  for (int i = 0; i < size; ++i) {
    crc ^= quint8(data[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// A PNG whose header says w x h, with a valid checksum, over the pixel data
// of a 1 x 1 image: what a decompression bomb's header looks like.
QByteArray pngClaiming(quint32 w, quint32 h) {
  QByteArray png = encoded(filled(1, 1), "PNG");
  // Signature (8), IHDR length (4) and type (4), then width and height.
  qToBigEndian(w, png.data() + 16);
  qToBigEndian(h, png.data() + 20);
  const quint32 crc = crc32Of(png.constData() + 12, 17);
  qToBigEndian(crc, png.data() + 29);
  return png;
}

}  // namespace

class TestSiteIcons : public QObject {
  Q_OBJECT

 private slots:
  void decodesOnlyWhatAnIconMayBe_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("kept");
    const QByteArray good = encoded(filled(16, 16), "PNG");
    QTest::newRow("16 px PNG") << good << true;
    QTest::newRow("256 px PNG") << encoded(filled(256, 256), "PNG") << true;
    QTest::newRow("257 px wide") << encoded(filled(257, 16), "PNG") << false;
    QTest::newRow("257 px high") << encoded(filled(16, 257), "PNG") << false;
    QTest::newRow("header claims 100000 px") << pngClaiming(100000, 100000) << false;
    QTest::newRow("header claims 0 px") << pngClaiming(0, 16) << false;
    QTest::newRow("cut short") << good.left(good.size() / 2) << false;
    QTest::newRow("not an image") << QByteArray("<html>not found</html>") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("BMP") << encoded(filled(16, 16), "BMP") << false;
    QTest::newRow("over 256 KiB") << good + QByteArray(icons::kMaxIconBytes, '\0') << false;
  }
  void decodesOnlyWhatAnIconMayBe() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, kept);
    const QImage image = icons::decodeIcon(bytes);
    QCOMPARE(!image.isNull(), kept);
  }

  void siteOfAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("site");
    QTest::newRow("host") << "https://Example.COM/a/b?c"
                          << "example.com";
    QTest::newRow("scheme's port") << "http://example.com:80/"
                                   << "example.com";
    QTest::newRow("trailing dot") << "https://example.com./"
                                  << "example.com";
    QTest::newRow("own port") << "http://127.0.0.1:8080/x"
                              << "127.0.0.1:8080";
    QTest::newRow("file") << "file:///home/u/a.html"
                          << "";
    QTest::newRow("about") << "about:blank"
                           << "";
    QTest::newRow("data") << "data:text/html,x"
                          << "";
    QTest::newRow("words") << "ねこ 画像"
                           << "";
  }
  void siteOfAddress() {
    QFETCH(QString, address);
    QFETCH(QString, site);
    QCOMPARE(icons::siteOf(address), site);
  }

  // Kept for one page of a site, the icon is found for another of its
  // pages (a bookmark's), also by a later run; a file spoilt in the cache
  // is ignored, and a site without a web address keeps nothing.
  void keptPerSiteAndFoundAgain() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("icons"));
    icons::SiteIcons cache(folder);
    QSignalSpy changed(&cache, &icons::SiteIcons::changed);
    const QImage icon = filled(32, 32);

    cache.keep(QStringLiteral("https://example.com/page"), icon);
    cache.keep(QStringLiteral("https://example.com/other"), icon);  // the same icon again: no change
    cache.keep(QStringLiteral("file:///tmp/a.html"), icon);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toString(), QStringLiteral("example.com"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{icons::fileNameFor(QStringLiteral("example.com"))});

    icons::SiteIcons later(folder);
    QCOMPARE(later.iconFor(QStringLiteral("http://EXAMPLE.com/bookmarked")).pixmap(32).toImage().pixelColor(5, 5),
             QColor(200, 30, 30));
    QVERIFY(later.iconFor(QStringLiteral("https://example.org/")).isNull());

    QVERIFY(writeRaw(folder + u'/' + icons::fileNameFor(QStringLiteral("example.com")), "GIF89a broken"));
    QVERIFY(icons::SiteIcons(folder).iconFor(QStringLiteral("https://example.com/")).isNull());
  }

  // A cache that cannot be written is reported once, not on every page;
  // the icon is still shown for the rest of the run.
  void unwritableCacheReportedOnce() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("icons"));
    QVERIFY(writeRaw(folder, "a file where the folder should be"));
    icons::SiteIcons cache(folder);
    QVERIFY_THROWS_EXCEPTION(EInOutError, cache.keep(QStringLiteral("https://a.example/"), filled(16, 16)));
    cache.keep(QStringLiteral("https://b.example/"), filled(16, 16));
    QVERIFY(!cache.iconFor(QStringLiteral("https://b.example/x")).isNull());
  }
};

QTEST_MAIN(TestSiteIcons)
#include "test_site_icons.moc"
