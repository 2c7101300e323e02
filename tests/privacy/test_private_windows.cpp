// Private windows of each engine against a server that sets a cookie and a
// cacheable page: the page's cookie, local storage and cache stay out of
// the user's folders and out of the ordinary windows, a private window's
// other-engine window is private too, and closing the last one discards
// its data at once.
#include <QDirIterator>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "frame_fixture.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

// Serves one page that sets a cookie and may be cached for an hour, and
// another that tells which cookies came with its request.
class CookieServer : public QTcpServer {
 public:
  QByteArray cookie;  // "name=value" the first page sets
  QList<QByteArray> requestHeads;

  CookieServer() {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* s = nextPendingConnection()) {
        connect(s, &QTcpSocket::readyRead, s, [this, s] {
          const QByteArray head = s->peek(8192);
          if (!head.contains("\r\n\r\n")) return;
          s->readAll();
          requestHeads << head;
          const bool setter = head.startsWith("GET /private.html");
          QByteArray extra, body;
          if (setter) {
            extra = "Set-Cookie: " + cookie + "; Path=/; Max-Age=86400\r\nCache-Control: public, max-age=3600\r\n";
            body =
                "<!DOCTYPE html><meta charset=utf-8><title>秘密のページ</title>"
                "<script>localStorage.setItem('secret', '" +
                cookie + "');</script><p>プライベートウィンドウで開いたページです。</p>";
          } else {
            const int at = head.indexOf("\r\nCookie: ");
            const QByteArray sent = at < 0 ? QByteArray() : head.mid(at + 10, head.indexOf("\r\n", at + 2) - at - 10);
            body = "<!DOCTYPE html><meta charset=utf-8><title>ふつうのページ</title><p id=sent>" + sent + "</p>";
          }
          s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\n" + extra +
                   "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
          s->disconnectFromHost();
        });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      }
    });
  }
  QString url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path); }
};

// Every file under root that holds one of needles in its bytes.
QStringList filesHolding(const QString& root, const QList<QByteArray>& needles) {
  QStringList found;
  QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile f(it.next());
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray bytes = f.readAll();
    for (const QByteArray& n : needles)
      if (bytes.contains(n)) found << f.fileName() + QStringLiteral(" (") + QString::fromUtf8(n) + u')';
  }
  return found;
}

}  // namespace

class TestPrivateWindows : public QObject {
  Q_OBJECT

  CookieServer server;
  QTemporaryDir home;
  FrameFixture* fx = nullptr;

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
  }
  void cleanup() { endFrame(fx); }

  void leavesNothing_data() {
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QByteArray>("token");
    // Both engines are enabled, so that each window can open in the other.
    QTest::newRow("Internet Explorer") << QByteArray("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n")
                                       << QByteArray("zelvo-private-ie-7f3a");
    QTest::newRow("Gekko") << QByteArray("[General]\nLastEngine=Gecko\n[Option_Main]\nMozilla=1\n")
                           << QByteArray("zelvo-private-wk-91c2");
  }
  void leavesNothing() {
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, token);
    server.cookie = "secret=" + token;
    server.requestHeads.clear();
    fx = new FrameFixture;
    TMainForm* f = fx->startShown(config, QSize(1000, 700));
    QVERIFY(f);
    const QString privateUrl = server.url("/private.html"), plainUrl = server.url("/plain.html");
    // An ordinary window of the engine stays open throughout (and keeps the
    // WebKit host running).
    TBrowserChild* normal = openPage(f, plainUrl, QStringLiteral("ふつうのページ"));
    QVERIFY(normal && !normal->IsPrivate());

    f->FileNewPrivate1->trigger();
    QPointer<TBrowserChild> c = f->ActiveMDIChild();
    QVERIFY(c && c->IsPrivate());
    const bool ie = c->IsIE();
    QCOMPARE(ie, QByteArray(QTest::currentDataTag()) == "Internet Explorer");
    QVERIFY(!c->windowIcon().isNull());
    c->Control()->Navigate(privateUrl);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("プライベート - 秘密のページ"), 20000);
    QCOMPARE(c->PageCaption(), QStringLiteral("秘密のページ"));
    // The page did store what it meant to.
    QCOMPARE(pageScript(c, QStringLiteral("document.cookie")), QString::fromLatin1(server.cookie));
    QCOMPARE(pageScript(c, QStringLiteral("localStorage.getItem('secret')")), QString::fromLatin1(server.cookie));

    // The other engine's window of a private page is private too.
    QPointer<TBrowserChild> other = f->OpenInOtherEngine(c);
    QVERIFY(other && other->IsPrivate() && other->IsIE() != ie);
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QStringLiteral("プライベート - 秘密のページ"), 20000);
    screenshot(QStringLiteral("private-%1.png").arg(ie ? "webengine" : "webkit"), "1000x700+0+0");

    c->close();
    other->close();
    QTRY_VERIFY_WITH_TIMEOUT(!c && !other, 10000);
    if (ie) QTRY_VERIFY_WITH_TIMEOUT(!TWebBrowser::livePrivateProfile(), 10000);

    // The ordinary window of the site gets no cookie and no storage.
    QCOMPARE(normal->IsIE(), ie);
    normal->Control()->Navigate(plainUrl + QStringLiteral("?after"));
    QTRY_VERIFY_WITH_TIMEOUT(normal->Control()->LocationURL().endsWith(QStringLiteral("?after")) &&
                                 !normal->Control()->Busy() &&
                                 normal->windowTitle() == QStringLiteral("ふつうのページ"),
                             20000);
    QCOMPARE(pageScript(normal, QStringLiteral("document.getElementById('sent').textContent")), QString());
    QCOMPARE(pageScript(normal, QStringLiteral("document.cookie")), QString());
    QCOMPARE(pageScript(normal, QStringLiteral("String(localStorage.getItem('secret'))")), QStringLiteral("null"));
    // Nor does a new private window: the last one took its data along.
    f->FileNewPrivate1->trigger();
    QPointer<TBrowserChild> again = f->ActiveMDIChild();
    QVERIFY(again && again->IsPrivate() && again != normal);
    again->Control()->Navigate(plainUrl);
    QTRY_COMPARE_WITH_TIMEOUT(again->windowTitle(), QStringLiteral("プライベート - ふつうのページ"), 20000);
    QCOMPARE(pageScript(again, QStringLiteral("document.getElementById('sent').textContent")), QString());
    QCOMPARE(pageScript(again, QStringLiteral("String(localStorage.getItem('secret'))")), QStringLiteral("null"));
    again->close();
    QTRY_VERIFY_WITH_TIMEOUT(!again, 10000);
    for (const QByteArray& head : server.requestHeads)
      if (head.startsWith("GET /plain.html")) QVERIFY2(!head.contains(token), head.constData());

    // Nothing the engines or the program keep holds the page or its data,
    // once the frame's records are written and the WebKit host has ended.
    history::flushPending();
    f->History->waitWritten();
    endFrame(fx);
    TMozillaBrowser::releaseIdleHost();
    QTRY_VERIFY_WITH_TIMEOUT(TMozillaBrowser::hostProcessId() == 0, 10000);
    const QStringList holding = filesHolding(home.path(), {token, QByteArray("/private.html")});
    QVERIFY2(holding.isEmpty(), qPrintable(holding.join(u'\n')));
  }
};

ZELVO_TEST_MAIN(TestPrivateWindows)
#include "test_private_windows.moc"
