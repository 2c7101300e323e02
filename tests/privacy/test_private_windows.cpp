// Private windows of each engine against a page that sets a cookie, local
// storage and a cache entry: none of it reaches the user's folders, the
// ordinary windows, or the next private window once the last one closed;
// the page's window in the other engine is private too.
#include <QDirIterator>
#include <QTemporaryDir>

#include "frame_fixture.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "http_server.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

class TestPrivateWindows : public QObject {
  Q_OBJECT

  TestHttpServer server;
  QTemporaryDir home;  // the XDG data and cache folders
  FrameFixture* fx = nullptr;

  // Opens a page in the child and waits for its caption.
  static bool show(TBrowserChild* c, const QString& url, const QString& caption) {
    c->Control()->Navigate(url);
    return QTest::qWaitFor([&] { return c->Control()->LocationURL() == url && c->windowTitle() == caption; }, 20000);
  }

 private slots:
  void initTestCase() {
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (home.path() + QStringLiteral("/cache")).toUtf8());
    for (const char* p : {"/plain.html", "/plain2.html"})
      server.pages[p] = "<!DOCTYPE html><meta charset=utf-8><title>ふつうのページ</title>";
  }
  void cleanup() { endFrame(fx); }

  void leavesNothing_data() {
    QTest::addColumn<QByteArray>("engine");
    QTest::newRow("Internet Explorer") << QByteArray("IE");
    QTest::newRow("Gekko") << QByteArray("Gecko");
  }
  void leavesNothing() {
    QFETCH(QByteArray, engine);
    const QByteArray token = "zelvo-private-7f3a-" + engine;
    server.pages["/private.html"] =
        "<!DOCTYPE html><meta charset=utf-8><title>秘密のページ</title><script>"
        "localStorage.setItem('secret', '" +
        token + "')</script><p>秘密</p>";
    server.headers["/private.html"] =
        "Set-Cookie: secret=" + token + "; Path=/; Max-Age=86400\r\nCache-Control: public, max-age=3600\r\n";
    fx = new FrameFixture;
    // Both engines on, so that each window can open in the other.
    TMainForm* f = fx->startShown("[General]\nLastEngine=" + engine + "\n[Option_Main]\nMozilla=1\n", QSize(1000, 700));
    QVERIFY(f);
    const QString secret = server.url("/private.html"), cookie = QString::fromLatin1("secret=" + token);
    const QString storage = QStringLiteral("String(localStorage.getItem('secret'))");
    // An ordinary window stays open throughout (and keeps the WebKit host up).
    TBrowserChild* normal = openPage(f, server.url("/plain.html"), QStringLiteral("ふつうのページ"));
    QVERIFY(normal && !normal->IsPrivate());

    f->FileNewPrivate1->trigger();
    QPointer<TBrowserChild> c = f->ActiveMDIChild();
    QVERIFY(c && c->IsPrivate() && c->IsIE() == normal->IsIE() && !c->windowIcon().isNull());
    QVERIFY(show(c, secret, QStringLiteral("プライベート - 秘密のページ")));
    QCOMPARE(c->PageCaption(), QStringLiteral("秘密のページ"));
    QCOMPARE(pageScript(c, QStringLiteral("document.cookie")), cookie);
    QCOMPARE(pageScript(c, storage), cookie.mid(7));
    QPointer<TBrowserChild> other = f->OpenInOtherEngine(c);
    QVERIFY(other && other->IsPrivate() && other->IsIE() != c->IsIE());
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QStringLiteral("プライベート - 秘密のページ"), 20000);
    screenshot(QStringLiteral("private-%1.png").arg(QString::fromLatin1(engine)), "1000x700+0+0");
    c->close();
    other->close();
    QTRY_VERIFY_WITH_TIMEOUT(!c && !other, 10000);

    // Neither the ordinary window nor the next private one gets any of it.
    f->FileNewPrivate1->trigger();
    TBrowserChild* again = f->ActiveMDIChild();
    QVERIFY(again && again->IsPrivate() && again != normal);
    server.heads.clear();
    QVERIFY(show(normal, server.url("/plain2.html"), QStringLiteral("ふつうのページ")));
    QVERIFY(show(again, server.url("/plain2.html"), QStringLiteral("プライベート - ふつうのページ")));
    for (TBrowserChild* w : {normal, again}) {
      QCOMPARE(pageScript(w, QStringLiteral("document.cookie")), QString());
      QCOMPARE(pageScript(w, storage), QStringLiteral("null"));
    }
    QList<QByteArray> sent = server.heads;  // of the two loads, neither with the cookie
    sent.removeIf([](const QByteArray& h) { return !h.startsWith("GET /plain2"); });
    QCOMPARE(sent.size(), 2);
    for (const QByteArray& h : sent) QVERIFY2(!h.contains(token), h.constData());
    // Nothing kept on disk holds the page or its data, once the frame's
    // records are written and the WebKit host has ended.
    history::flushPending();
    f->History->waitWritten();
    endFrame(fx);
    QTRY_VERIFY_WITH_TIMEOUT(TMozillaBrowser::hostProcessId() == 0, 10000);
    QStringList holding;
    for (QDirIterator it(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
      QFile file(it.next());
      const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
      if (bytes.contains(token) || bytes.contains("/private.html")) holding << file.fileName();
    }
    QVERIFY2(holding.isEmpty(), qPrintable(holding.join(u' ')));
  }
};

ZELVO_TEST_MAIN(TestPrivateWindows)
#include "test_private_windows.moc"
