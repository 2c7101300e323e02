// The session file as the next run reads it: whatever a crash, a full disk
// or another hand left there, a record within limits or "damaged".
#include <QTest>

#include "session/session_record.h"

using session::Record;
using session::Window;
using session::WindowState;

namespace {

Window window(bool ie, const QString& url, WindowState state = WindowState::Normal) {
  return Window{
      ie, url, QStringLiteral("題名 ") + url, QByteArray("\x00\x01history\xff", 11), QRect(10, 20, 300, 200), state};
}

Record sample() {
  Record r;
  r.windows = {window(true, QStringLiteral("http://a.example/")),
               window(false, QStringLiteral("http://b.example/ページ"), WindowState::Maximized)};
  r.active = 1;
  r.closed = {window(false, QStringLiteral("http://c.example/"), WindowState::Minimized)};
  return r;
}

}  // namespace

class TestSessionRecord : public QObject {
  Q_OBJECT

 private slots:
  void roundTrip() {
    const Record r = sample();
    const auto back = session::parse(session::toJson(r));
    QVERIFY(back);
    QCOMPARE(*back, r);
  }

  void damaged_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray whole = session::toJson(sample());
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << whole.left(whole.size() / 2);
    QTest::newRow("zero bytes") << QByteArray(64, '\0');
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("no format") << QByteArray("{\"windows\":[]}");
    QTest::newRow("other format") << QByteArray("{\"format\":99,\"windows\":[]}");
    QTest::newRow("windows not a list") << QByteArray("{\"format\":1,\"windows\":{\"url\":\"x\"}}");
    QTest::newRow("deep nesting") << QByteArray("{\"format\":1,\"windows\":") + QByteArray(5000, '[');
  }
  void damaged() {
    QFETCH(QByteArray, bytes);
    QString why;
    QVERIFY(!session::parse(bytes, &why));
    QVERIFY(!why.isEmpty());
  }

  // Windows that make no sense are left out, the rest kept; values out of
  // their range are cut to it.
  void badWindowsLeftOut() {
    const QByteArray longHistory(session::kMaxHistoryBytes / 3 * 4 + 8, 'A');
    const QByteArray text =
        "{\"format\":1,\"active\":3,\"windows\":["
        "{\"engine\":\"other\",\"url\":\"http://x/\"},"
        "{\"engine\":\"ie\"},"
        "7,"
        "{\"engine\":\"gekko\",\"url\":\"http://ok/"
        "\",\"x\":1e12,\"y\":-5,\"width\":-3,\"height\":\"tall\",\"history\":\"%%%\"},"
        "{\"engine\":\"ie\",\"url\":\"http://long/\",\"history\":\"" +
        longHistory + "\"}],\"closed\":\"nope\"}";
    const auto r = session::parse(text);
    QVERIFY(r);
    QCOMPARE(r->windows.size(), 2);
    const Window& w = r->windows[0];
    QCOMPARE(w.ie, false);
    QCOMPARE(w.url, QStringLiteral("http://ok/"));
    QCOMPARE(w.geometry, QRect(session::kMaxCoordinate, -5, 0, 0));
    QVERIFY(w.history.isEmpty());
    QVERIFY(r->windows[1].history.isEmpty());
    QCOMPARE(r->active, 0);  // the file's fourth window is the first kept
    QVERIFY(r->closed.isEmpty());
  }

  void closedKeepsTenNewestFirst() {
    Record r;
    for (int i = 0; i < 12; ++i) session::pushClosed(r, window(true, QStringLiteral("http://w/%1").arg(i)));
    QCOMPARE(r.closed.size(), session::kMaxClosed);
    QCOMPARE(r.closed.first().url, QStringLiteral("http://w/11"));
    QCOMPARE(r.closed.last().url, QStringLiteral("http://w/2"));
    // A file with more closed windows than that is read up to the limit.
    Record many = r;
    many.closed += r.closed;
    const auto back = session::parse(session::toJson(many));
    QVERIFY(back);
    QCOMPARE(back->closed, r.closed);
  }
};

QTEST_GUILESS_MAIN(TestSessionRecord)
#include "test_session_record.moc"
