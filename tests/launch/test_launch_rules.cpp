// The program's arguments read as the address box reads them, and the
// message a later start hands over, read as hostile input.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "launch/launch_rules.h"

class TestLaunchRules : public QObject {
  Q_OBJECT
 private slots:
  void argumentsBecomeAddresses_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("addresses");  // "@/" stands for the test's folder
    QTest::newRow("web addresses as typed")
        << QStringList{"https://例え.jp/a?b=1", "example.com"} << QStringList{"https://例え.jp/a?b=1", "example.com"};
    QTest::newRow("file beside the caller")
        << QStringList{"ページ.html"} << QStringList{"file://@/%E3%83%9A%E3%83%BC%E3%82%B8.html"};
    QTest::newRow("file by its path") << QStringList{"@/sub/../ページ.html"}
                                      << QStringList{"file://@/%E3%83%9A%E3%83%BC%E3%82%B8.html"};
    QTest::newRow("empties skipped") << QStringList{"", "  ", "a.example"} << QStringList{"a.example"};
    QTest::newRow("options of other programs skipped")
        << QStringList{"--reverse", "-platform", "none"} << QStringList{"none"};
    QTest::newRow("after -- a dash is text") << QStringList{"--", "-x", "--"} << QStringList{"-x", "--"};
    QTest::newRow("a file with a dash") << QStringList{"-ページ.html"}
                                        << QStringList{"file://@/-%E3%83%9A%E3%83%BC%E3%82%B8.html"};
    QTest::newRow("control characters refused")
        << QStringList{"http://a/\nb", "http://c/\x01", "http://d/"} << QStringList{"http://d/"};
  }
  void argumentsBecomeAddresses() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, addresses);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("sub");
    for (const char* name : {"ページ.html", "-ページ.html"}) {
      QFile page(dir.filePath(QString::fromUtf8(name)));
      QVERIFY(page.open(QIODevice::WriteOnly));
    }
    const QString encoded = QUrl::fromLocalFile(dir.path()).toString(QUrl::FullyEncoded).mid(7);
    for (QString& a : arguments) a.replace("@/", dir.path() + "/");
    for (QString& a : addresses) a.replace("@/", encoded + "/");
    QCOMPARE(launch::addressesFromArguments(arguments, dir.path()), addresses);
  }

  void messagesReadWhole_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("outcome");  // 0 still arriving, 1 complete, 2 malformed
    QTest::addColumn<QStringList>("addresses");
    const QByteArray two = launch::encodeMessage({"https://a.example/", "file:///tmp/%E3%81%82"});
    QTest::newRow("two addresses") << two << 1 << QStringList{"https://a.example/", "file:///tmp/%E3%81%82"};
    QTest::newRow("header only") << QByteArray("zelvo-open 1 2\n") << 0 << QStringList{};
    QTest::newRow("last address cut") << two.left(two.size() - 3) << 0 << QStringList{};
    QTest::newRow("other magic") << QByteArray("GET / HTTP/1.1\r\n") << 2 << QStringList{};
    QTest::newRow("count not a number") << QByteArray("zelvo-open 1 x\n") << 2 << QStringList{};
    QTest::newRow("count too large") << QByteArray("zelvo-open 1 101\n") << 2 << QStringList{};
    QTest::newRow("more than counted") << two + "x\n" << 2 << QStringList{};
    QTest::newRow("broken UTF-8") << QByteArray("zelvo-open 1 1\n\xff\xfe\n") << 2 << QStringList{};
    QTest::newRow("control character") << QByteArray("zelvo-open 1 1\na\rb\n") << 2 << QStringList{};
    QTest::newRow("address too long") << QByteArray("zelvo-open 1 1\n") +
                                             QByteArray(launch::kMaxAddressLength + 1, 'a') + "\n"
                                      << 2 << QStringList{};
    QTest::newRow("too long to be a message") << QByteArray(launch::kMaxMessageBytes + 1, 'z') << 2 << QStringList{};
  }
  void messagesReadWhole() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, outcome);
    QFETCH(QStringList, addresses);
    const launch::Decoded d = launch::decodeMessage(bytes);
    QCOMPARE(int(d.complete) + 2 * int(d.malformed), outcome);
    QCOMPARE(d.addresses, addresses);
  }
};

QTEST_GUILESS_MAIN(TestLaunchRules)
#include "test_launch_rules.moc"
