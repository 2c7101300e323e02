// The rules of downloading both engines share: the name a server's file is
// offered under, the names written while it runs, when a finished download
// is not whole, and how sizes and speeds read.
#include <QTest>

#include "page/download_rules.h"

class TestDownloadRules : public QObject {
  Q_OBJECT
 private slots:
  void downloadNamesAreTheServersOwn_data() {
    QTest::addColumn<QString>("suggested");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("leading dot dropped") << ".hidden data.bin"
                                         << "http://h/x"
                                         << "hidden data.bin";
    QTest::newRow("japanese kept") << "報告書 (最終).pdf"
                                   << "http://h/x"
                                   << "報告書 (最終).pdf";
    QTest::newRow("no folders") << "../../.bashrc"
                                << "http://h/x"
                                << "bashrc";
    QTest::newRow("backslash folders") << "a\\b\\c.txt"
                                       << "http://h/x"
                                       << "c.txt";
    QTest::newRow("controls dropped") << QString("a\nb\x01.txt") << "http://h/x"
                                      << "ab.txt";
    QTest::newRow("dot dot is no name") << ".."
                                        << "http://h/dir/file.zip"
                                        << "file.zip";
    QTest::newRow("from the address") << ""
                                      << "http://h/dir/%E8%B3%87%E6%96%99.zip?x=1"
                                      << "資料.zip";
    QTest::newRow("nothing at all") << ""
                                    << "http://h/"
                                    << "download";
    // Nothing a page names may hide, look like home, or read differently.
    const QString x = "http://h/x";
    QTest::newRow("session file") << ".xsessionrc" << x << "xsessionrc";
    QTest::newRow("dots and tildes") << "~..~.profile" << x << "profile";
    QTest::newRow("right-to-left override") << QString("invoice\u202Efdp.sh") << x << "invoicefdp.sh";
    QTest::newRow("format characters") << QString("a\u200Bb\uFEFFc\u2066d\u00ADe.txt") << x << "abcde.txt";
    QTest::newRow("tag characters") << QString("t") + QChar(0xDB40) + QChar(0xDC41) + "ag.txt" << x << "tag.txt";
    QTest::newRow("C1 controls") << QString("a\u0085b\u009Bc\u007F.txt") << x << "abc.txt";
    QTest::newRow("line separators") << QString("a\u2028b\u2029c.txt") << x << "abc.txt";
    QTest::newRow("half surrogate") << QString("a") + QChar(0xD800) + "b.txt" << x << "ab.txt";
    QTest::newRow("trailing dots and spaces") << "report.pdf. . " << x << "report.pdf";
    QTest::newRow("hidden behind a format character") << QString("\u202E.bashrc") << x << "bashrc";
    QTest::newRow("only dots") << "...."
                               << "http://h/dir/real.zip"
                               << "real.zip";
    QTest::newRow("hidden address name") << ""
                                         << "http://h/dir/.netrc"
                                         << "netrc";
    QTest::newRow("nothing left anywhere") << QString("\u202E") << "http://h/.."
                                           << "download";
    // Cut so that NAME.part fits in 255 bytes, the extension kept.
    QTest::newRow("252 bytes") << QString(248, u'a') + ".bin" << x << QString(246, u'a') + ".bin";
    QTest::newRow("250 bytes fit") << QString(246, u'a') + ".bin" << x << QString(246, u'a') + ".bin";
    QTest::newRow("three-byte characters") << QString(100, u'語') + ".pdf" << x << QString(82, u'語') + ".pdf";
    const QString smile = QString::fromUcs4(U"\U0001F600", 1);
    QTest::newRow("four-byte characters") << smile.repeated(70) + ".txt" << x << smile.repeated(61) + ".txt";
    QTest::newRow("no extension") << QString(300, u'b') << x << QString(250, u'b');
    QTest::newRow("cut before a dot") << QString(249, u'c') + ". " + QString(300, u'c') << x << QString(249, u'c');
  }
  void downloadNamesAreTheServersOwn() {
    QFETCH(QString, suggested);
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(downloadFileName(suggested, url), name);
    QVERIFY((name + ".part").toUtf8().size() <= 255);
  }

  void partAndFreeNamesStayWithinTheLimit() {
    QCOMPARE(partFileFor("/d/a.zip"), QString("/d/a.zip.part"));
    QCOMPARE(partFileFor("/d/a.zip", 2), QString("/d/a.zip.2.part"));
    QCOMPARE(freeNameFor("/d/a.zip", 1), QString("/d/a (1).zip"));
    QCOMPARE(freeNameFor("/d/README", 3), QString("/d/README (3)"));
    const QString longName = "/d/" + QString(246, u'a') + ".bin";  // NAME.part is 255 bytes
    QCOMPARE(partFileFor(longName, 1), "/d/" + QString(244, u'a') + ".bin.1.part");
    QCOMPARE(freeNameFor(longName, 12), "/d/" + QString(246, u'a') + " (12).bin");
    QCOMPARE(freeNameFor("/d/" + QString(300 / 3, u'語') + ".bin", 1), "/d/" + QString(82, u'語') + " (1).bin");
  }

  void aShortDownloadIsNotWhole() {
    QCOMPARE(incompleteDownloadReason(1000000, 10),
             QString("サーバーが知らせた大きさ (1000000 バイト) と受け取った大きさ (10 バイト) が違います"));
    QVERIFY(!incompleteDownloadReason(1000000, 999999).isEmpty());
    QVERIFY(incompleteDownloadReason(1000, 4000).isEmpty());  // a compressed body, unpacked
    QVERIFY(incompleteDownloadReason(10, 10).isEmpty());
    QVERIFY(incompleteDownloadReason(-1, 10).isEmpty());  // none announced
    QVERIFY(incompleteDownloadReason(0, 10).isEmpty());
  }

  void downloadsAreCountedAgainstThePagesSite() {
    QCOMPARE(downloadSite("https://Evil.example/a", "https://cdn.example/f.zip"), QString("evil.example"));
    QCOMPARE(downloadSite("", "https://cdn.example/f.zip"), QString("cdn.example"));
    QCOMPARE(downloadSite("http://127.0.0.1:8080/", "http://127.0.0.1:8080/f"), QString("127.0.0.1:8080"));
    QCOMPARE(downloadSite("about:blank", "data:text/plain,x"), QString("data:"));
    QCOMPARE(downloadSite("file:///home/u/a.html", "blob:file:///1"), QString("file:"));
  }

  void downloadSizesAndSpeedRead() {
    QCOMPARE(sizeText(512), QString("512 バイト"));
    QCOMPARE(sizeText(1536), QString("1.5 KB"));
    QCOMPARE(sizeText(50 * 1024 * 1024), QString("50 MB"));
    QCOMPARE(progressText(1024, 4096, 0), QString("1.0 KB / 4.0 KB"));
    QCOMPARE(progressText(1024, -1, 2048), QString("1.0 KB、2.0 KB/秒"));
    QCOMPARE(progressPercent(50, 200), 25);
    QCOMPARE(progressPercent(300, 200), 100);
    QCOMPARE(progressPercent(5, -1), -1);
    SpeedMeter m;
    QCOMPARE(m.bytesPerSecond(), qint64(0));
    m.sample(0, 0);
    m.sample(1000, 1000);
    m.sample(2000, 3000);
    QCOMPARE(m.bytesPerSecond(), qint64(1500));
    m.sample(10000, 3000);  // stalled: old samples leave, no speed
    QCOMPARE(m.bytesPerSecond(), qint64(0));
  }
};

QTEST_APPLESS_MAIN(TestDownloadRules)
#include "test_download_rules.moc"
