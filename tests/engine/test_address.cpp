// What the user types, made into addresses the engines can load, and which
// addresses a page supplies the frame may load itself.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "engine/address.h"

class TestAddress : public QObject {
  Q_OBJECT
 private slots:
  void typedTexts_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << ""
                           << "about:blank";
    QTest::newRow("blanks") << "  "
                            << "about:blank";
    QTest::newRow("full http") << "http://example.org/a?b=1#c"
                               << "http://example.org/a?b=1#c";
    QTest::newRow("https kept") << "https://example.org/"
                                << "https://example.org/";
    QTest::newRow("about") << "about:blank"
                           << "about:blank";
    QTest::newRow("bare host") << "example.org"
                               << "http://example.org";
    QTest::newRow("host and path") << "example.org/x.html"
                                   << "http://example.org/x.html";
    QTest::newRow("surrounding blanks") << "  example.org  "
                                        << "http://example.org";
    QTest::newRow("absolute path") << "/tmp/a.html"
                                   << "file:///tmp/a.html";
    QTest::newRow("path with space") << "/tmp/a b.html"
                                     << "file:///tmp/a%20b.html";
    QTest::newRow("file url") << "file:///etc/hosts"
                              << "file:///etc/hosts";
    QTest::newRow("localhost port") << "localhost:8080/x"
                                    << "http://localhost:8080/x";
  }
  void typedTexts() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QCOMPARE(addressToUrl(typed).toString(QUrl::FullyEncoded), expected);
  }

  void pageSuppliedAddresses_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("allowed");
    const QString web = "http://site.example/page.html";
    const QString local = "file:///home/user/page.html";
    QTest::newRow("http") << "http://other.example/a" << web << true;
    QTest::newRow("https") << "https://other.example/a?b#c" << web << true;
    QTest::newRow("ftp") << "ftp://files.example/x.txt" << web << true;
    QTest::newRow("http without host") << "http:///etc/passwd" << web << false;
    QTest::newRow("browser page") << "chrome://version" << web << false;
    QTest::newRow("source view") << "view-source:http://site.example/" << web << false;
    QTest::newRow("script") << "javascript:alert(1)" << web << false;
    QTest::newRow("data") << "data:text/html,<p>x</p>" << web << false;
    QTest::newRow("about") << "about:blank" << web << false;
    QTest::newRow("local file from a web page") << "file:///etc/passwd" << web << false;
    QTest::newRow("local file from a local page") << "file:///etc/hosts" << local << true;
    QTest::newRow("local file from no page") << "file:///etc/passwd" << QString() << false;
    QTest::newRow("path without scheme") << "/etc/passwd" << local << false;
    QTest::newRow("empty") << "" << web << false;
    QTest::newRow("surrounding blanks") << " http://other.example/ " << web << false;
  }
  void pageSuppliedAddresses() {
    QFETCH(QString, address);
    QFETCH(QString, page);
    QFETCH(bool, allowed);
    QCOMPARE(frameMayLoadPageAddress(address, page), allowed);
  }

  void relativeNamesOfExistingFiles() {
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QFile f(dir.filePath("page.html"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(addressToUrl("page.html"), QUrl::fromLocalFile(dir.filePath("page.html")));
    QCOMPARE(addressToUrl("missing.html").scheme(), QString("http"));
    QDir::setCurrent(old);
  }
};

QTEST_GUILESS_MAIN(TestAddress)
#include "test_address.moc"
