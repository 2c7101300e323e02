// The history through the frame, with both real engines and a local server:
// visits recorded with their titles (and not an engine's error page), the
// address box's list opening a visited page from its first letters, the
// history window's search, delete, open and clear, and a damaged database
// set aside at start. The data folder is a folder of each test's own.
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "bookmarks/bookmark_file.h"
#include "frame_fixture.h"
#include "history/address_completer.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/history_window.h"
#include "http_server.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

using history::Entry;

namespace {

constexpr qint64 kMinute = 60LL * 1000;
constexpr qint64 kDay = 24 * 60 * kMinute;

QStringList leafUrls(QTreeWidget* tree) {
  QStringList out;
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    for (int j = 0; j < tree->topLevelItem(i)->childCount(); ++j) out << tree->topLevelItem(i)->child(j)->text(1);
  return out;
}

QTreeWidgetItem* leaf(QTreeWidget* tree, const QString& url) {
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    for (int j = 0; j < tree->topLevelItem(i)->childCount(); ++j)
      if (tree->topLevelItem(i)->child(j)->text(1) == url) return tree->topLevelItem(i)->child(j);
  return nullptr;
}

// An address nothing listens at: its load fails.
QString deadAddress() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 port = probe.serverPort();
  probe.close();
  return QStringLiteral("http://127.0.0.1:%1/gone.html").arg(port);
}

}  // namespace

class TestHistory : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;
  std::unique_ptr<QTemporaryDir> data;

  QString folder() const { return data->path() + QStringLiteral("/zelvo"); }

  void start(const QByteArray& config) {
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1000, 700));
    QVERIFY(f);
    QTRY_VERIFY_WITH_TIMEOUT(f->History->isReady(), 10000);
    QCOMPARE(f->History->path(), folder() + QStringLiteral("/history.sqlite"));
  }

  // What the store holds once everything waiting is written.
  QList<Entry> written() {
    history::flushPending();
    f->History->waitWritten();
    return f->History->recent(100);
  }

  // How the latest visit of `url` was reached, as the database keeps it.
  QString lastReached(const QString& url) {
    written();
    QString reached = QStringLiteral("<none>");
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test"));
      db.setDatabaseName(f->History->path());
      if (!db.open()) return reached;
      QSqlQuery q(db);
      q.prepare(
          QStringLiteral("SELECT reached FROM visits WHERE url_id = (SELECT id FROM urls WHERE url = ?)"
                         " ORDER BY time DESC LIMIT 1"));
      q.addBindValue(url);
      if (q.exec() && q.next()) reached = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test"));
    return reached;
  }

  static const Entry* entry(const QList<Entry>& entries, const QString& url) {
    for (const Entry& e : entries)
      if (e.url == url) return &e;
    return nullptr;
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    const QByteArray style = "<style>body{font:20px sans-serif;margin:16px}</style>";
    server.pages["/a.html"] = "<!DOCTYPE html><meta charset=utf-8><title>はじめのページ</title>" + style +
                              "<h1>はじめのページ</h1><p>履歴に残るページです。</p>";
    server.pages["/b.html"] = "<!DOCTYPE html><meta charset=utf-8><title>Second Page</title>" + style +
                              "<h1>Second Page</h1><p>二番目のページです。</p>";
    server.pages["/untitled.html"] = "<!DOCTYPE html><meta charset=utf-8><p>題のないページ</p>";
    server.pages["/kyoto.html"] = "<!DOCTYPE html><meta charset=utf-8><title>京都の天気</title><p>晴れ</p>";
  }

  void init() {
    data = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", data->path().toUtf8());
  }

  void cleanup() {
    endFrame(fx);
    f = nullptr;
    data.reset();
  }

  void visitsAndCompletion_data() { addEngineRows(); }
  void visitsAndCompletion() {
    QFETCH(QByteArray, config);
    start(config);
    const QString a = server.url("/a.html"), b = server.url("/b.html"), untitled = server.url("/untitled.html"),
                  dead = deadAddress();
    TBrowserChild* c = openPage(f, a, QStringLiteral("はじめのページ"));
    QVERIFY(c);
    QCOMPARE(c->windowTitle(), QStringLiteral("はじめのページ"));
    c->Control()->Navigate(b);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("Second Page"), 20000);
    // The engine's page for an address that cannot be loaded is no visit.
    QSignalSpy failed(c->Control(), &IWebBrowser2::NavigateError);
    c->Control()->Navigate(dead);
    QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty(), 20000);
    QCOMPARE(failed.first().first().toString(), dead);
    QTest::qWait(1500);  // its error page shows and would have settled
    // A page without a title is recorded without one.
    c->Control()->Navigate(untitled);
    QTRY_VERIFY_WITH_TIMEOUT(c->Control()->LocationURL() == untitled && !c->Control()->Busy(), 20000);
    c->Control()->Navigate(a);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("はじめのページ"), 20000);

    const QList<Entry> entries = written();
    QCOMPARE(entries.size(), 3);
    QVERIFY(entry(entries, a) && entry(entries, b) && entry(entries, untitled));
    QCOMPARE(entry(entries, untitled)->title, QString());
    QCOMPARE(entry(entries, a)->title, QStringLiteral("はじめのページ"));
    QCOMPARE(entry(entries, a)->visitCount, 2);
    QCOMPARE(entry(entries, b)->title, QStringLiteral("Second Page"));
    QCOMPARE(entry(entries, b)->visitCount, 1);
    QCOMPARE(entries.first().url, a);  // the latest first

    // The address box offers the visited page from the first letters of its
    // title, before a bookmark never visited; Down puts its address in the
    // box and Enter opens it.
    const QString bookmark = QStringLiteral("https://secure.example.jp/");
    bookmarks::saveBookmarkFile(
        bookmarks::kFileName,
        {BookmarkEntry::folder(QStringLiteral("仕事"), {BookmarkEntry::link(QStringLiteral("安全なメモ"), bookmark)})});
    f->txtAddress->setFocus();
    f->txtAddress->clear();
    QTest::keyClicks(f->txtAddress, QStringLiteral("sec"));
    QTRY_VERIFY(f->AddressCompleter->isShown());
    // A word that is no address also offers its search, last.
    QCOMPARE(f->AddressCompleter->list()->count(), 3);
    QCOMPARE(f->AddressCompleter->list()->item(2)->text(), QStringLiteral("「sec」を検索"));
    QCOMPARE(f->AddressCompleter->offered().first().url, b);
    QCOMPARE(f->AddressCompleter->offered().first().title, QStringLiteral("Second Page"));
    QCOMPARE(f->AddressCompleter->offered().last().url, bookmark);
    QVERIFY(f->AddressCompleter->offered().last().bookmark);
    screenshot(QStringLiteral("completion-%1.png").arg(c->IsIE() ? "webengine" : "webkit"), "1000x400+0+0");
    QTest::keyClick(f->txtAddress, Qt::Key_Down);
    QCOMPARE(f->txtAddress->text(), b);
    QTest::keyClick(f->txtAddress, Qt::Key_Return);
    QVERIFY(!f->AddressCompleter->isShown());
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("Second Page"), 20000);
    QCOMPARE(f->MDIChildCount(), 1);
    QCOMPARE(c->Control()->LocationURL(), b);
    QCOMPARE(entry(written(), b)->visitCount, 2);
    // How each page was reached, where the frame knows it.
    QCOMPARE(lastReached(b), QStringLiteral("typed"));
    QCOMPARE(lastReached(a), QString());

    // A click on a page of the list opens it too.
    f->txtAddress->clear();
    QTest::keyClicks(f->txtAddress, QStringLiteral("127.0.0.1"));
    QTRY_VERIFY(f->AddressCompleter->isShown());
    QListWidget* list = f->AddressCompleter->list();
    QCOMPARE(list->count(), 3);
    const QList<QListWidgetItem*> forA = list->findItems(a, Qt::MatchEndsWith);
    QCOMPARE(forA.size(), 1);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(forA.first()).center());
    QVERIFY(!f->AddressCompleter->isShown());
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("はじめのページ"), 20000);
    QCOMPARE(f->MDIChildCount(), 1);
    QVERIFY(fx->errors.isEmpty());
  }

  void historyWindow() {
    start("[General]\nLastEngine=IE\n");
    history::Store* s = f->History;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString kyoto = server.url("/kyoto.html"), doc = QStringLiteral("https://doc.qt.io/"),
                  old = QStringLiteral("https://old.example.com/"),
                  older = QStringLiteral("https://older.example.com/");
    s->recordVisit(kyoto, QStringLiteral("京都の天気"), now - 10 * kMinute);
    s->recordVisit(doc, QStringLiteral("Qt Documentation"), now - 30 * kMinute);
    s->recordVisit(old, QStringLiteral("古いページ"), now - 2 * kDay);
    s->recordVisit(older, QStringLiteral("とても古いページ"), now - 10 * kDay);
    s->waitWritten();

    // Shift+Delete forgets the page chosen in the address box's list.
    f->txtAddress->setFocus();
    QTest::keyClicks(f->txtAddress, QStringLiteral("older"));
    QTRY_VERIFY(f->AddressCompleter->isShown());
    QCOMPARE(f->AddressCompleter->offered().size(), 1);
    QTest::keyClick(f->txtAddress, Qt::Key_Down);
    QTest::keyClick(f->txtAddress, Qt::Key_Delete, Qt::ShiftModifier);
    // Only the search for the typed word is left to offer.
    QVERIFY(f->AddressCompleter->offered().isEmpty());
    QCOMPARE(f->AddressCompleter->list()->count(), 1);
    QCOMPARE(f->txtAddress->text(), QStringLiteral("older"));
    QVERIFY(!entry(written(), older));
    // A page's address shown by the frame ends the list of what was typed.
    f->txtAddress->clear();
    QTest::keyClicks(f->txtAddress, QStringLiteral("old"));
    QTRY_VERIFY(f->AddressCompleter->isShown());
    f->ShowAddress(QStringLiteral("https://example.com/"));
    QVERIFY(!f->AddressCompleter->isShown());
    f->txtAddress->clear();

    // 表示 > 履歴 (Ctrl+H) opens a window of its own, not modal, by day.
    QVERIFY(f->mnuShow->actions().contains(f->mnuShow_History));
    QCOMPARE(f->mnuShow_History->text(), QStringLiteral("履歴(&H)"));
    QCOMPARE(f->mnuShow_History->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));
    f->mnuShow_History->trigger();
    history::THistoryWindow* w = f->HistoryWindow;
    QVERIFY(w);
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QVERIFY(w->isWindow() && !w->isModal());
    QTreeWidget* tree = w->tvHistory;
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("今日"));
    QCOMPARE(tree->topLevelItem(1)->text(0),
             history::dayHeading(QDate::currentDate().addDays(-2), QDate::currentDate()));
    QCOMPARE(leafUrls(tree), (QStringList{kyoto, doc, old}));
    QCOMPARE(leaf(tree, kyoto)->text(0), QStringLiteral("京都の天気"));
    screenshot(QStringLiteral("history-window.png"));

    // The search matches titles and addresses.
    w->txtHistorySearch->setText(QStringLiteral("天気"));
    QTRY_COMPARE(leafUrls(tree), QStringList{kyoto});
    w->txtHistorySearch->setText(QStringLiteral("doc.qt"));
    QTRY_COMPARE(leafUrls(tree), QStringList{doc});
    w->txtHistorySearch->clear();
    QTRY_COMPARE(leafUrls(tree).size(), 3);

    // Delete removes the chosen page.
    tree->setCurrentItem(leaf(tree, doc));
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(leafUrls(tree), (QStringList{kyoto, old}));
    QVERIFY(!entry(written(), doc));

    // Enter opens the page: with no window open, in a new one.
    tree->setCurrentItem(leaf(tree, kyoto));
    QTest::keyClick(tree, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->windowTitle(), QStringLiteral("京都の天気"), 20000);
    QCOMPARE(entry(written(), kyoto)->visitCount, 2);
    QCOMPARE(lastReached(kyoto), QStringLiteral("history"));

    // 履歴を消去...: the last hour, then everything.
    struct Clear {
      int range;
      QStringList left;
    };
    for (const Clear& step : {Clear{0, {old}}, Clear{3, {}}}) {
      QTest::mouseClick(w->btnHistoryClear, Qt::LeftButton);
      QTRY_VERIFY(w->ClearDialog && w->ClearDialog->isVisible());
      QCOMPARE(w->cmbClearRange->count(), 4);
      w->cmbClearRange->setCurrentIndex(step.range);
      QTest::mouseClick(w->ClearDialog->findChild<QPushButton*>(QStringLiteral("btnClearOK")), Qt::LeftButton);
      QTRY_COMPARE(leafUrls(tree), step.left);
      QCOMPARE(written().size(), step.left.size());
    }
    QCOMPARE(tree->topLevelItemCount(), 0);
    // Esc closes the window; Ctrl+H opens it again.
    QTest::keyClick(tree, Qt::Key_Escape);
    QTRY_VERIFY(!f->HistoryWindow);
    f->mnuShow_History->trigger();
    QVERIFY(f->HistoryWindow && f->HistoryWindow->isVisible());
    QVERIFY(fx->errors.isEmpty());
  }

  void damagedDatabaseSetAside_data() {
    QTest::addColumn<bool>("wholeFile");
    QTest::newRow("not a database") << true;
    QTest::newRow("pages overwritten") << false;
  }
  void damagedDatabaseSetAside() {
    QFETCH(bool, wholeFile);
    const QString path = folder() + QStringLiteral("/history.sqlite");
    QVERIFY(QDir().mkpath(folder()));
    if (wholeFile) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(QByteArray("これはデータベースではありません\n").repeated(200));
    } else {
      // A database with visits, then garbage over its pages after the first.
      start("[General]\nLastEngine=IE\n");
      for (int i = 0; i < 200; ++i)
        f->History->recordVisit(QStringLiteral("https://example.com/%1").arg(i), QStringLiteral("ページ %1").arg(i),
                                QDateTime::currentMSecsSinceEpoch());
      QCOMPARE(written().size(), 100);
      endFrame(fx);
      QFile file(path);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.size() > 8192);
      file.seek(4096);
      file.write(QByteArray(int(file.size()) - 4096, '\x5a'));
    }
    QFile before(path);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray damaged = before.readAll();
    before.close();

    start("[General]\nLastEngine=IE\n");
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY2(fx->errors.first().contains(QStringLiteral("壊れていた")), qPrintable(fx->errors.first()));
    const QStringList aside = QDir(folder()).entryList({QStringLiteral("history.sqlite.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QFile kept(folder() + u'/' + aside.first());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    QVERIFY(fx->errors.first().contains(aside.first()));
    // The new history works.
    f->History->recordVisit(server.url("/a.html"), QStringLiteral("はじめのページ"),
                            QDateTime::currentMSecsSinceEpoch());
    QCOMPARE(written().size(), 1);
  }
};

ZELVO_TEST_MAIN(TestHistory)
#include "test_history.moc"
