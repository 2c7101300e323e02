// Cookies, site data and permissions through the frame in both engines,
// against a server inside the test that two site names reach (127.0.0.1
// and localhost): one site's data deleted in the site data window while
// the other's cookie is still sent; the last hour cleared, with the
// history and cookies of that hour gone and older visits kept; and a
// permission answered "このサイトでは常に" applied without a question after
// the frame started again.
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "frame_fixture.h"
#include "history/history_store.h"
#include "http_server.h"
#include "page/permissions.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "sitedata/clear_data_dialog.h"
#include "sitedata/site_data_window.h"
#include "sitedata/site_settings_window.h"
#include "test_main.h"

namespace {

const char* kSetPage =
    "<!DOCTYPE html><meta charset=utf-8><title>wait</title><body><h1>クッキーのテスト</h1><script>"
    "document.cookie='k='+location.hostname+'; max-age=3600; path=/';document.title='set'</script></body>";
const char* kPermPage = "<!DOCTYPE html><meta charset=utf-8><title>perm</title><body><h1>通知のテスト</h1></body>";
const char* kAsk = "Notification.requestPermission().then(function(p){document.title='perm:'+p});1";

QStringList sitesListed(sitedata::TSiteDataWindow* w) {
  QStringList out;
  for (int i = 0; i < w->tvSites->topLevelItemCount(); ++i) out << w->tvSites->topLevelItem(i)->text(0);
  return out;
}

}  // namespace

class TestSiteData : public QObject {
  Q_OBJECT

  QTemporaryDir home;
  TestHttpServer server;
  // A site no other case visits, for the permission case.
  TestHttpServer permServer;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  QString at(const char* host, const char* path) const {
    return QStringLiteral("http://%1:%2%3").arg(QLatin1String(host)).arg(server.serverPort()).arg(path);
  }
  // The Cookie header of the last request for path that named host.
  QByteArray cookieSent(const char* host, const QByteArray& path) const {
    const QByteArray hostLine = "\r\nHost: " + QByteArray(host) + ':' + QByteArray::number(server.serverPort());
    for (qsizetype i = server.heads.size() - 1; i >= 0; --i) {
      const QByteArray& h = server.heads[i];
      if (!h.startsWith("GET " + path + ' ') || !h.contains(hostLine)) continue;
      const qsizetype at = h.indexOf("\r\nCookie: ");
      return at < 0 ? QByteArray() : h.mid(at + 10, h.indexOf("\r\n", at + 2) - at - 10);
    }
    return "<not requested>";
  }
  QString engine() const { return f->IE_item->isChecked() ? QStringLiteral("ie") : QStringLiteral("gekko"); }

 public:
  TestSiteData() {
    // Everything the engines and the frame keep goes to the test's own folders.
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath("cache").toUtf8());
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    server.pages["/set.html"] = kSetPage;
    server.pages["/check.html"] = "<!DOCTYPE html><title>check</title>";
    permServer.pages["/perm.html"] = kPermPage;
    // A page of 127.0.0.1 with a frame of localhost that sets a cookie there
    // and then loads a page of its own site, which shows whether it was kept.
    server.pages["/outer.html"] = QStringLiteral("<!DOCTYPE html><title>outer</title><iframe src='%1'></iframe>")
                                      .arg(at("localhost", "/inner.html"))
                                      .toUtf8();
    server.pages["/inner.html"] =
        "<!DOCTYPE html><script>document.cookie='t=1; max-age=3600; path=/; SameSite=None; Secure';"
        // WebKit takes no Secure cookie over http, even from localhost.
        "if(document.cookie.indexOf('t=1')<0)document.cookie='t=1; max-age=3600; path=/';"
        "location='/after.html'</script>";
    server.pages["/after.html"] = "<!DOCTYPE html><title>after</title>";
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
  }
  void initTestCase_data() { addEngineRows(); }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    PagePermissions::memory().clear();
    fx = new FrameFixture;
    QVERIFY((f = fx->startShown(config, QSize(1000, 750))));
  }
  void cleanup() { endFrame(fx); }

  // First: in Qt WebEngine 6.4, after its HTTP cache was cleared twice in a
  // run, pages read Notification.permission as "denied" without asking.
  void keptPermissionAppliesAfterARestart() {
    const QString page = permServer.url("/perm.html");
    TBrowserChild* c = openPage(f, page, "perm");
    QVERIFY(c);
    TimedSteps steps;
    steps.when([] { return answerableWindow<QDialog>("PermissionQuestion"); },
               [] {
                 auto* q = visibleWindow<QDialog>("PermissionQuestion");
                 q->findChild<QCheckBox*>("chkAlways")->setChecked(true);
                 q->findChild<QPushButton*>("btnAllow")->click();
               });
    pageScript(c, kAsk);
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("perm:granted"), 20000);

    // The program starts again: nothing of the session is left but the file.
    endFrame(fx);
    PagePermissions::memory().clear();
    QFETCH_GLOBAL(QByteArray, config);
    fx = new FrameFixture;
    QVERIFY((f = fx->startShown(config, QSize(1000, 750))));
    int questions = 0;
    QObject watcher;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &watcher,
            [&] { questions += visibleWindow<QDialog>("PermissionQuestion") != nullptr; });
    poll.start(20);
    c = openPage(f, page, "perm");
    QVERIFY(c);
    pageScript(c, kAsk);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("perm:granted"), 20000);
    QCOMPARE(questions, 0);
    // Listed in the site settings, where it is removed: then asked again.
    f->mnuSiteSettings->trigger();
    auto* s = qobject_cast<sitedata::TSiteSettingsWindow*>(f->SiteSettingsWindow.data());
    QVERIFY(s);
    const QString origin = permServer.url("");
    QList<QTreeWidgetItem*> rows = s->tvSettings->findItems(origin, Qt::MatchExactly);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0]->text(1), QString("通知の表示"));
    QCOMPARE(rows[0]->text(2), QString("許可"));
    rows[0]->setSelected(true);
    s->btnRemove->click();
    QVERIFY(s->tvSettings->findItems(origin, Qt::MatchExactly).isEmpty());
    TBrowserChild* again = openPage(f, page, "perm");
    QVERIFY(again);
    pageScript(again, kAsk);
    QTRY_VERIFY_WITH_TIMEOUT(visibleWindow<QDialog>("PermissionQuestion"), 20000);
    visibleWindow<QDialog>("PermissionQuestion")->reject();
    QVERIFY(fx->errors.isEmpty());
  }

  void deletingOneSiteLeavesTheOthers() {
    QVERIFY(openPage(f, at("127.0.0.1", "/set.html"), "set"));
    QVERIFY(openPage(f, at("localhost", "/set.html"), "set"));
    f->mnuSiteData->trigger();
    auto* w = qobject_cast<sitedata::TSiteDataWindow*>(f->SiteDataWindow.data());
    QVERIFY(w);
    QTRY_VERIFY_WITH_TIMEOUT(sitesListed(w).contains("localhost") && sitesListed(w).contains("127.0.0.1"), 20000);
    screenshot(QStringLiteral("site-data-%1.png").arg(engine()));
    w->tvSites->topLevelItem(sitesListed(w).indexOf("localhost"))->setSelected(true);
    w->btnDelete->click();
    QTRY_VERIFY_WITH_TIMEOUT(!sitesListed(w).contains("localhost"), 20000);
    QVERIFY(sitesListed(w).contains("127.0.0.1"));
    // What the engine sends next: the other site's cookie, and none for the deleted one.
    QVERIFY(openPage(f, at("127.0.0.1", "/check.html"), "check"));
    QVERIFY(openPage(f, at("localhost", "/check.html"), "check"));
    QCOMPARE(cookieSent("127.0.0.1", "/check.html"), QByteArray("k=127.0.0.1"));
    QCOMPARE(cookieSent("localhost", "/check.html"), QByteArray());
    QVERIFY(fx->errors.isEmpty());
  }

  void thirdPartyCookiesRefusedUnlessAllowed() {
    QVERIFY(!f->mnuThirdPartyCookies->isChecked());
    for (const bool allowed : {false, true}) {
      if (allowed) f->mnuThirdPartyCookies->trigger();
      const qsizetype before = server.heads.size();
      QVERIFY(openPage(f, at("127.0.0.1", "/outer.html"), "outer"));
      // The engine may ask for the site's icon after the page, in any order.
      QTRY_VERIFY_WITH_TIMEOUT(server.requested.mid(before).contains("/after.html"), 20000);
      QCOMPARE(cookieSent("localhost", "/after.html"), allowed ? QByteArray("t=1") : QByteArray());
    }
    QVERIFY(fx->config().contains("[Cookies]\nAllowThirdParty=1"));
    QVERIFY(fx->errors.isEmpty());
  }

  void clearingTheLastHourKeepsWhatIsOlder() {
    history::Store* store = f->History;
    QTRY_VERIFY_WITH_TIMEOUT(store->isReady(), 20000);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString older = QStringLiteral("http://older.example/"), recent = QStringLiteral("http://recent.example/");
    store->recordVisit(older, QStringLiteral("三時間前"), now - 3 * 3600 * 1000);
    store->recordVisit(recent, QStringLiteral("十分前"), now - 10 * 60 * 1000);
    QVERIFY(openPage(f, at("localhost", "/set.html"), "set"));  // a visit and a cookie of this hour
    f->mnuClearData->trigger();
    auto* d = qobject_cast<sitedata::TClearDataDialog*>(f->ClearDataDialog.data());
    QVERIFY(d);
    QCOMPARE(d->cmbRange->currentText(), QString("過去 1 時間"));
    // Offered: what the frame registered; ticked: all but passwords.
    for (sitedata::DataKind k : {sitedata::DataKind::History, sitedata::DataKind::CookiesAndSiteData,
                                 sitedata::DataKind::Cache, sitedata::DataKind::PermissionsAndZoom})
      QVERIFY(d->checks.value(k) && d->checks.value(k)->isChecked());
    screenshot(QStringLiteral("clear-data-%1.png").arg(engine()));
    d->btnClear->click();
    store->waitWritten();
    QStringList left;
    for (const history::Entry& e : store->recent(50)) left << e.url;
    QCOMPARE(left, QStringList{older});
    // The engines clear in the background: the page is loaded again until they have.
    TBrowserChild* check = openPage(f, at("localhost", "/check.html"), "check");
    QVERIFY(check);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          if (cookieSent("localhost", "/check.html").isEmpty()) return true;
          check->Control()->Refresh();
          return false;
        }(),
        20000);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestSiteData)
#include "test_site_data.moc"
