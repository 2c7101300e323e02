// TMozillaBrowser against the real zelvo-webkit-host under Xvfb: loading,
// events, history, new-window requests, Save As, Copy, zoom, keyboard focus
// with the pointer elsewhere, and the failure paths (a dead web process, a
// dead host, a host that cannot start, many controls coming and going).
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <csignal>
#include <memory>
#include <set>

#include "engine/webkit/webkit_control.h"
#include "page/save_dialog.h"
#include "platform/errors.h"
#include "platform/guarded.h"
#include "support/http_server.h"
#include "support/webkit_page.h"

namespace {

// Every event of one control, as the child windows would see them.
struct Probe {
  QStringList titles, statuses, newWindows;
  QList<QPair<int, int>> progress;
  QMap<int, bool> commands;
  explicit Probe(TMozillaBrowser* b) {
    QObject::connect(b, &IWebBrowser2::TitleChange, b, [this](const QString& t) { titles << t; });
    QObject::connect(b, &IWebBrowser2::StatusTextChange, b, [this](const QString& t) { statuses << t; });
    QObject::connect(b, &IWebBrowser2::ProgressChange, b, [this](qint32 p, qint32 m) { progress << qMakePair(p, m); });
    QObject::connect(b, &IWebBrowser2::CommandStateChange, b, [this](qint32 c, bool e) { commands[c] = e; });
    QObject::connect(b, &IWebBrowser2::NewWindow2, b, [this](const QString& url, bool* cancel) {
      newWindows << url;
      *cancel = true;
    });
  }
  bool finished() const { return !progress.isEmpty() && progress.last() == qMakePair(100, 100); }
};

QString fileUrl(const QString& path) { return QUrl::fromLocalFile(path).toString(); }

void writeFile(const QString& path, const QByteArray& body) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(body);
}

bool loadAndWait(TMozillaBrowser* b, Probe& p, const QString& url) {
  p.progress.clear();
  b->Navigate(url);
  return QTest::qWaitFor([&] { return p.finished() && !b->Busy(); }, 20000);
}

void xdotool(const QStringList& args) { QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), args), 0); }

void clickAt(const QPoint& p) {
  xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
  QTest::qWait(150);
  xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

std::set<qint64> childrenOf(qint64 pid) {
  std::set<qint64> out;
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
  for (const QString& e : entries) {
    bool ok = false;
    const qint64 p = e.toLongLong(&ok);
    if (!ok) continue;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray s = stat.readAll();
    const qsizetype close = s.lastIndexOf(')');
    if (close < 0) continue;
    const QList<QByteArray> f = s.mid(close + 2).split(' ');
    if (f.size() > 1 && f[1].toLongLong() == pid && f[0] != "Z") out.insert(p);
  }
  return out;
}

bool alive(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  const QByteArray s = stat.readAll();
  const qsizetype close = s.lastIndexOf(')');
  return close >= 0 && s.mid(close + 2, 1) != "Z";
}

}  // namespace

class TestWebKitControl : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanup();
  void loadsFileAndHttpPages();
  void historyEnablesBackAndForward();
  void newWindowRequestsCarryTheAddress();
  void statusTextFollowsTheLinkUnderThePointer();
  void saveAsWritesArchiveAndHtml();
  void copyPutsTheSelectionOnTheClipboard();
  void zoomChangesRendering();
  void clicksActivateTheChildAndTypingReachesThePage();
  void deadWebProcessShowsErrorPageInItsViewOnly();
  void deadHostTurnsViewsIntoErrorPagesAndReloadRestarts();
  void hostThatCannotStartMakesNavigateFail();
  void longAddressesTravelWholeBothWays();
  void stoppedHostIsTakenForDead();
  void hostEndingWhileAnErrorBoxIsOpen();
  void manyControlsLeaveNoProcessBehind();

 private:
  std::unique_ptr<TMozillaBrowser> makeBrowser(QSize size = QSize(640, 480));

  QTemporaryDir dir_;
  TestHttpServer http_;
  QStringList reported_;
};

void TestWebKitControl::initTestCase() {
  QVERIFY(dir_.isValid());
  TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
  guarded::setReporter([this](const QString& text) { reported_ << text; });
  const QString d = dir_.path();
  writeFile(d + "/a.html",
            "<!DOCTYPE html><html><head><meta charset='utf-8'><title>最初の頁</title></head>"
            "<body><h1 id='h'>MARKER-A 日本語</h1><p><a id='next' href='b.html'>次へ</a></p>"
            "<p><a id='blank' href='popup.html' target='_blank'>別窓</a></p>"
            "<p><button id='open' onclick=\"window.open('opened.html?x=1')\">開く</button></p>"
            "<input id='field' size='30'></body></html>");
  writeFile(d + "/b.html",
            "<!DOCTYPE html><html><head><meta charset='utf-8'><title>二番目</title></head>"
            "<body><p>MARKER-B</p></body></html>");
  writeFile(d + "/untitled.html", "<!DOCTYPE html><html><body>no title here</body></html>");
  writeFile(d + "/wide.html",
            "<!DOCTYPE html><html><head><meta charset='utf-8'><title>zoom</title></head>"
            "<body style='margin:0'><p style='font-size:20px'>文字の大きさ</p></body></html>");
  http_.pages["/h.html"] =
      "<!DOCTYPE html><html><head><meta charset='utf-8'><title>HTTP の頁</title></head><body>served</body></html>";
}

void TestWebKitControl::cleanup() {
  setSaveAsAnswerForTests({});
  reported_.clear();
}

std::unique_ptr<TMozillaBrowser> TestWebKitControl::makeBrowser(QSize size) {
  auto b = std::make_unique<TMozillaBrowser>();
  b->resize(size);
  b->show();
  return b;
}

void TestWebKitControl::loadsFileAndHttpPages() {
  auto b = makeBrowser();
  Probe p(b.get());
  const QString a = fileUrl(dir_.path() + "/a.html");
  b->Navigate(dir_.path() + "/a.html");  // a bare path is made a file address
  QVERIFY(b->Busy());
  QCOMPARE(b->LocationURL(), a);
  QTRY_VERIFY_WITH_TIMEOUT(p.finished() && !b->Busy(), 20000);
  QTRY_COMPARE_WITH_TIMEOUT(p.titles.value(p.titles.size() - 1), QStringLiteral("最初の頁"), 5000);
  QCOMPARE(b->LocationURL(), a);
  QVERIFY(b->viewWindowId() != 0);
  QVERIFY(b->findChild<QWidget*>(QStringLiteral("webkitView")));

  // The pairs only move forward, never reach 100 before the end, and end at
  // (100, 100) once: the frame's bar goes 0 -> 100 -> 0.
  for (int i = 0; i < p.progress.size(); ++i) {
    QCOMPARE(p.progress[i].second, 100);
    if (i + 1 < p.progress.size()) QVERIFY(p.progress[i].first < 100);
    if (i > 0) QVERIFY(p.progress[i].first > p.progress[i - 1].first);
  }
  QVERIFY(p.progress.size() >= 2);

  // The view fills the control and follows its size.
  b->resize(500, 300);
  QTRY_COMPARE_WITH_TIMEOUT(js(b.get(), "window.innerWidth+'x'+window.innerHeight"), QStringLiteral("500x300"), 5000);

  p.titles.clear();
  QVERIFY(loadAndWait(b.get(), p, http_.url("/h.html")));
  QTRY_COMPARE_WITH_TIMEOUT(p.titles.value(p.titles.size() - 1), QStringLiteral("HTTP の頁"), 5000);
  QVERIFY(http_.requested.contains("/h.html"));
  QCOMPARE(b->LocationURL(), http_.url("/h.html"));

  // A page without a title is captioned with its address.
  p.titles.clear();
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/untitled.html")));
  QCOMPARE(p.titles.value(p.titles.size() - 1), fileUrl(dir_.path() + "/untitled.html"));
}

void TestWebKitControl::historyEnablesBackAndForward() {
  auto b = makeBrowser();
  Probe p(b.get());
  const QString a = fileUrl(dir_.path() + "/a.html"), bb = fileUrl(dir_.path() + "/b.html");
  QVERIFY(loadAndWait(b.get(), p, a));
  QTRY_VERIFY(p.commands.contains(CSC_NAVIGATEBACK));
  QCOMPARE(p.commands.value(CSC_NAVIGATEBACK), false);
  QCOMPARE(p.commands.value(CSC_NAVIGATEFORWARD), false);

  QVERIFY(loadAndWait(b.get(), p, bb));
  QTRY_COMPARE(p.commands.value(CSC_NAVIGATEBACK), true);
  QCOMPARE(p.commands.value(CSC_NAVIGATEFORWARD), false);

  b->GoBack();
  QTRY_COMPARE_WITH_TIMEOUT(b->LocationURL(), a, 10000);
  QTRY_COMPARE(p.commands.value(CSC_NAVIGATEFORWARD), true);
  QCOMPARE(p.commands.value(CSC_NAVIGATEBACK), false);

  b->GoForward();
  QTRY_COMPARE_WITH_TIMEOUT(b->LocationURL(), bb, 10000);
  QTRY_COMPARE(p.commands.value(CSC_NAVIGATEBACK), true);
  QCOMPARE(p.commands.value(CSC_NAVIGATEFORWARD), false);
}

void TestWebKitControl::newWindowRequestsCarryTheAddress() {
  auto b = makeBrowser();
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/a.html")));
  QTest::qWait(300);

  clickAt(elementCentre(b.get(), "#blank"));
  QTRY_COMPARE_WITH_TIMEOUT(p.newWindows.size(), 1, 10000);
  QCOMPARE(p.newWindows[0], fileUrl(dir_.path() + "/popup.html"));

  clickAt(elementCentre(b.get(), "#open"));
  QTRY_COMPARE_WITH_TIMEOUT(p.newWindows.size(), 2, 10000);
  QCOMPARE(p.newWindows[1], fileUrl(dir_.path() + "/opened.html") + "?x=1");

  // WebKit opened nothing of its own, and the page stayed where it was.
  QCOMPARE(b->LocationURL(), fileUrl(dir_.path() + "/a.html"));
  QCOMPARE(js(b.get(), "document.title"), QStringLiteral("最初の頁"));
}

void TestWebKitControl::statusTextFollowsTheLinkUnderThePointer() {
  auto b = makeBrowser();
  b->move(0, 0);
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/a.html")));
  const QPoint link = elementCentre(b.get(), "#next");
  xdotool({"mousemove", QString::number(link.x()), QString::number(link.y())});
  QTRY_COMPARE_WITH_TIMEOUT(p.statuses.value(p.statuses.size() - 1), fileUrl(dir_.path() + "/b.html"), 5000);
  const QPoint away = b->mapToGlobal(QPoint(b->width() - 20, b->height() - 20));
  xdotool({"mousemove", QString::number(away.x()), QString::number(away.y())});
  QTRY_COMPARE_WITH_TIMEOUT(p.statuses.value(p.statuses.size() - 1, "?"), QString(), 5000);
}

void TestWebKitControl::saveAsWritesArchiveAndHtml() {
  auto b = makeBrowser();
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/a.html")));
  QTRY_VERIFY(p.titles.contains(QStringLiteral("最初の頁")));

  QString suggested;
  QList<SaveFormat> offered;
  const QString mht = dir_.path() + "/saved.mht";
  setSaveAsAnswerForTests([&](const QString& name, const QList<SaveFormat>& formats) {
    suggested = name;
    offered = formats;
    return SaveChoice{mht, formats.value(0).id};
  });
  b->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT);
  QCOMPARE(suggested, QStringLiteral("最初の頁"));
  QCOMPARE(offered.size(), 2);
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mht), 10000);
  QFile archive(mht);
  QVERIFY(archive.open(QIODevice::ReadOnly));
  const QByteArray mhtData = archive.readAll();
  QVERIFY(mhtData.contains("multipart/related"));
  QVERIFY(mhtData.contains("MARKER-A"));
  QVERIFY(!QFile::exists(mht + ".part"));

  const QString html = dir_.path() + "/saved.html";
  setSaveAsAnswerForTests([&](const QString&, const QList<SaveFormat>& formats) {
    return SaveChoice{html, formats.value(1).id};
  });
  b->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_PROMPTUSER);
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(html), 10000);
  QFile source(dir_.path() + "/a.html"), saved(html);
  QVERIFY(source.open(QIODevice::ReadOnly) && saved.open(QIODevice::ReadOnly));
  QCOMPARE(saved.readAll(), source.readAll());

  // Cancelled: nothing is written, nothing reported.
  setSaveAsAnswerForTests([](const QString&, const QList<SaveFormat>&) { return SaveChoice{}; });
  b->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT);

  // A folder that does not exist: the failure reaches the standard box.
  const QString bad = dir_.path() + "/no/such/folder/x.mht";
  setSaveAsAnswerForTests([&](const QString&, const QList<SaveFormat>&) { return SaveChoice{bad, 0}; });
  b->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT);
  QTRY_COMPARE_WITH_TIMEOUT(reported_.size(), 1, 10000);
  QVERIFY2(reported_[0].contains(QStringLiteral("に保存できません")), qPrintable(reported_[0]));
  QVERIFY(reported_[0].contains(bad));
}

void TestWebKitControl::copyPutsTheSelectionOnTheClipboard() {
  auto b = makeBrowser();
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/b.html")));
  QApplication::clipboard()->setText(QStringLiteral("before"));
  QTRY_COMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
  b->ExecWB(OLECMDID_SELECTALL, OLECMDEXECOPT_DODEFAULT);
  QTRY_COMPARE_WITH_TIMEOUT(js(b.get(), "window.getSelection().toString().trim()"), QStringLiteral("MARKER-B"), 5000);
  b->ExecWB(OLECMDID_COPY, OLECMDEXECOPT_DODEFAULT);
  QTRY_COMPARE_WITH_TIMEOUT(QApplication::clipboard()->text().trimmed(), QStringLiteral("MARKER-B"), 10000);
}

void TestWebKitControl::zoomChangesRendering() {
  auto b = makeBrowser(QSize(600, 400));
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/wide.html")));
  QTRY_COMPARE_WITH_TIMEOUT(js(b.get(), "window.innerWidth"), QStringLiteral("600"), 5000);
  // Larger text leaves fewer CSS pixels across the same view.
  b->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, 4);
  QTRY_COMPARE_WITH_TIMEOUT(js(b.get(), "window.innerWidth"), QStringLiteral("400"), 5000);
  b->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, 0);
  QTRY_COMPARE_WITH_TIMEOUT(js(b.get(), "window.innerWidth"), QStringLiteral("800"), 5000);
  b->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, 2);
  QTRY_COMPARE_WITH_TIMEOUT(js(b.get(), "window.innerWidth"), QStringLiteral("600"), 5000);
  QVERIFY_THROWS_EXCEPTION(EEngineError, b->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, 7));
  QVERIFY_THROWS_EXCEPTION(EEngineError, b->ExecWB(99, OLECMDEXECOPT_DODEFAULT));
  QCOMPARE(TMozillaBrowser::zoomLevelFor(0), 0.75);
  QCOMPARE(TMozillaBrowser::zoomLevelFor(4), 1.5);
}

void TestWebKitControl::clicksActivateTheChildAndTypingReachesThePage() {
  QWidget frame;
  auto* layout = new QVBoxLayout(&frame);
  auto* address = new QLineEdit(&frame);
  layout->addWidget(address);
  auto* area = new QMdiArea(&frame);
  layout->addWidget(area);
  frame.setGeometry(0, 0, 1000, 750);
  auto* first = new TMozillaBrowser;
  auto* second = new TMozillaBrowser;
  QMdiSubWindow* subFirst = area->addSubWindow(first);
  QMdiSubWindow* subSecond = area->addSubWindow(second);
  subFirst->setGeometry(0, 0, 480, 400);
  subSecond->setGeometry(490, 0, 480, 400);
  frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&frame));
  Probe p1(first), p2(second);
  QVERIFY(loadAndWait(first, p1, fileUrl(dir_.path() + "/a.html")));
  QVERIFY(loadAndWait(second, p2, fileUrl(dir_.path() + "/b.html")));
  area->setActiveSubWindow(subSecond);
  QCOMPARE(area->activeSubWindow(), subSecond);

  // A click into the first page's field activates its child...
  clickAt(elementCentre(first, "#field"));
  QTRY_COMPARE_WITH_TIMEOUT(area->activeSubWindow(), subFirst, 5000);
  // ...and typing reaches the page while the pointer rests elsewhere.
  const QPoint away = address->mapToGlobal(address->rect().center());
  xdotool({"mousemove", QString::number(away.x()), QString::number(away.y())});
  QTest::qWait(200);
  xdotool({"type", "--delay", "30", "abc"});
  QTRY_COMPARE_WITH_TIMEOUT(js(first, "document.getElementById('field').value"), QStringLiteral("abc"), 5000);
  QVERIFY(address->text().isEmpty());

  // Focus given to one of our own widgets takes the keyboard back from the page.
  clickAt(away);
  QTRY_VERIFY(address->hasFocus());
  xdotool({"type", "--delay", "30", "xy"});
  QTRY_COMPARE_WITH_TIMEOUT(address->text(), QStringLiteral("xy"), 5000);
  QCOMPARE(js(first, "document.getElementById('field').value"), QStringLiteral("abc"));

  // Closing one child leaves the host and the other view working.
  const qint64 host = TMozillaBrowser::hostProcessId();
  delete subSecond;
  QTest::qWait(500);
  QCOMPARE(TMozillaBrowser::hostProcessId(), host);
  QCOMPARE(js(first, "document.title"), QStringLiteral("最初の頁"));
}

void TestWebKitControl::deadWebProcessShowsErrorPageInItsViewOnly() {
  auto a = makeBrowser(), other = makeBrowser();
  Probe pa(a.get()), po(other.get());
  const QString url = fileUrl(dir_.path() + "/a.html");
  QVERIFY(loadAndWait(a.get(), pa, url));
  QVERIFY(loadAndWait(other.get(), po, fileUrl(dir_.path() + "/b.html")));
  const qint64 host = TMozillaBrowser::hostProcessId();

  a->terminateWebProcess();
  QTRY_COMPARE_WITH_TIMEOUT(js(a.get(), "document.title"), QStringLiteral("ページを表示できません"), 10000);
  QVERIFY(!a->Busy());
  QCOMPARE(a->LocationURL(), url);
  QVERIFY(!a->showsHostErrorPage());
  QCOMPARE(TMozillaBrowser::hostProcessId(), host);
  // The other view goes on in its own process.
  QCOMPARE(js(other.get(), "document.title"), QStringLiteral("二番目"));

  pa.progress.clear();
  a->Refresh();
  QTRY_VERIFY_WITH_TIMEOUT(pa.finished(), 20000);
  QTRY_COMPARE_WITH_TIMEOUT(js(a.get(), "document.title"), QStringLiteral("最初の頁"), 10000);
}

void TestWebKitControl::deadHostTurnsViewsIntoErrorPagesAndReloadRestarts() {
  auto a = makeBrowser(), b = makeBrowser();
  Probe pa(a.get()), pb(b.get());
  QVERIFY(loadAndWait(a.get(), pa, fileUrl(dir_.path() + "/a.html")));
  QVERIFY(loadAndWait(b.get(), pb, fileUrl(dir_.path() + "/b.html")));
  const qint64 host = TMozillaBrowser::hostProcessId();
  QVERIFY(host > 0);

  QCOMPARE(::kill(static_cast<pid_t>(host), SIGKILL), 0);
  QTRY_VERIFY_WITH_TIMEOUT(a->showsHostErrorPage() && b->showsHostErrorPage(), 10000);
  QCOMPARE(TMozillaBrowser::hostProcessId(), 0);
  QVERIFY(!a->Busy());
  QCOMPARE(pa.commands.value(CSC_NAVIGATEBACK, true), false);
  auto* page = a->findChild<QWidget*>(QStringLiteral("hostErrorPage"));
  QVERIFY(page && page->isVisible());
  QCOMPARE(page->size(), a->size());
  QVERIFY(!a->findChild<QWidget*>(QStringLiteral("webkitView")));
  QVERIFY_THROWS_EXCEPTION(EEngineError, a->GoBack());
  QVERIFY_THROWS_EXCEPTION(EEngineError, a->ExecWB(OLECMDID_COPY, OLECMDEXECOPT_DODEFAULT));
  a->Stop();  // nothing to stop; no error
  QVERIFY(reported_.isEmpty());

  // Refresh starts a new host and reloads the last address.
  pa.progress.clear();
  a->Refresh();
  const qint64 second = TMozillaBrowser::hostProcessId();
  QVERIFY(second > 0 && second != host);
  QTRY_VERIFY_WITH_TIMEOUT(pa.finished(), 20000);
  QVERIFY(!a->showsHostErrorPage());
  QCOMPARE(js(a.get(), "document.title"), QStringLiteral("最初の頁"));

  // The other control's button does the same, on the same new host.
  pb.progress.clear();
  auto* button = b->findChild<QPushButton*>(QStringLiteral("btnReload"));
  QVERIFY(button);
  button->click();
  QTRY_VERIFY_WITH_TIMEOUT(pb.finished(), 20000);
  QCOMPARE(TMozillaBrowser::hostProcessId(), second);
  QCOMPARE(js(b.get(), "document.title"), QStringLiteral("二番目"));
  QVERIFY(reported_.isEmpty());
}

void TestWebKitControl::hostThatCannotStartMakesNavigateFail() {
  QTRY_COMPARE_WITH_TIMEOUT(TMozillaBrowser::hostProcessId(), 0, 10000);
  TMozillaBrowser::setHostProgramForTests(dir_.path() + "/no-such-host");
  auto b = makeBrowser();
  QVERIFY(b->showsHostErrorPage());
  QVERIFY_THROWS_EXCEPTION(EEngineError, b->Navigate(QStringLiteral("about:blank")));
  QVERIFY_THROWS_EXCEPTION(EEngineError, b->Refresh());
  // Once the host can be found again the same control recovers.
  TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/b.html")));
  QVERIFY(!b->showsHostErrorPage());
}

void TestWebKitControl::longAddressesTravelWholeBothWays() {
  auto b = makeBrowser();
  Probe p(b.get());
  // 2 MB: far over what used to be the limit of one line.
  const QString padding(2 << 20, u'x');
  const QString url =
      QStringLiteral("data:text/html;charset=utf-8,<title>long</title><p id=p>LONG</p><!--%1-->").arg(padding);
  QVERIFY(loadAndWait(b.get(), p, url));
  QTRY_COMPARE_WITH_TIMEOUT(p.titles.value(p.titles.size() - 1), QStringLiteral("long"), 10000);
  QCOMPARE(js(b.get(), "document.getElementById('p').textContent"), QStringLiteral("LONG"));
  // The address came back from the engine whole.
  QCOMPARE(b->LocationURL(), QString::fromUtf8(QUrl(url).toEncoded()));

  // A page asking for a window at a long address on a click: the request
  // arrives whole.
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/a.html")));
  js(b.get(),
     QStringLiteral("var o=document.createElement('button');o.id='long';"
                    "o.style='position:fixed;left:0;top:0;width:200px;height:60px';"
                    "o.onclick=function(){window.open('%1?' + 'y'.repeat(%2))};document.body.appendChild(o);'ok'")
         .arg(fileUrl(dir_.path() + "/b.html"))
         .arg(3 << 20));
  clickAt(elementCentre(b.get(), "#long"));
  QTRY_COMPARE_WITH_TIMEOUT(p.newWindows.size(), 1, 10000);
  QCOMPARE(p.newWindows[0].size(), fileUrl(dir_.path() + "/b.html").size() + 1 + (3 << 20));
  QVERIFY(reported_.isEmpty());
}

void TestWebKitControl::stoppedHostIsTakenForDead() {
  TMozillaBrowser::setLivenessForTests(200, 5);
  auto a = makeBrowser(), b = makeBrowser();
  Probe pa(a.get()), pb(b.get());
  QVERIFY(loadAndWait(a.get(), pa, fileUrl(dir_.path() + "/a.html")));
  QVERIFY(loadAndWait(b.get(), pb, fileUrl(dir_.path() + "/b.html")));
  const qint64 host = TMozillaBrowser::hostProcessId();
  QVERIFY(host > 0);
  // A host that answers is left alone however long it runs.
  QTest::qWait(2000);
  QCOMPARE(TMozillaBrowser::hostProcessId(), host);
  QVERIFY(!a->showsHostErrorPage());

  // A loading page in a stopped host: the frame goes on and, after a few
  // unanswered asks, treats the host as crashed.
  a->Navigate(fileUrl(dir_.path() + "/b.html"));
  QCOMPARE(::kill(static_cast<pid_t>(host), SIGSTOP), 0);
  QTRY_VERIFY_WITH_TIMEOUT(a->showsHostErrorPage() && b->showsHostErrorPage(), 10000);
  QVERIFY(!a->Busy());
  QVERIFY(pa.finished());
  QTRY_VERIFY_WITH_TIMEOUT(!alive(host), 10000);

  // Reload starts a new host.
  pb.progress.clear();
  b->Refresh();
  QTRY_VERIFY_WITH_TIMEOUT(pb.finished(), 20000);
  QVERIFY(TMozillaBrowser::hostProcessId() != host);
  QCOMPARE(js(b.get(), "document.title"), QStringLiteral("二番目"));
  QVERIFY(reported_.isEmpty());
  TMozillaBrowser::setLivenessForTests(1000, 4);
}

void TestWebKitControl::hostEndingWhileAnErrorBoxIsOpen() {
  auto b = makeBrowser();
  Probe p(b.get());
  QVERIFY(loadAndWait(b.get(), p, fileUrl(dir_.path() + "/a.html")));
  const qint64 host = TMozillaBrowser::hostProcessId();

  // The real box, with its own event loop: while it is open the host dies,
  // its object goes, and the box is closed only after that.
  guarded::setReporter({});
  QString boxText;
  bool killed = false;
  QTimer watch;
  watch.setInterval(50);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (!killed) {
      boxText = box->text();
      killed = ::kill(static_cast<pid_t>(host), SIGKILL) == 0;
      return;
    }
    if (b->showsHostErrorPage() && TMozillaBrowser::hostProcessId() == 0) {
      QTest::qWait(300);  // lets the host object be deleted inside the box's loop
      box->accept();
    }
  });
  watch.start();
  setSaveAsAnswerForTests([&](const QString&, const QList<SaveFormat>&) {
    return SaveChoice{dir_.path() + "/no/such/folder/x.mht", 0};
  });
  b->ExecWB(OLECMDID_SAVEAS, OLECMDEXECOPT_DODEFAULT);
  // The failed save is reported in the box; the program goes on after it.
  QTRY_VERIFY_WITH_TIMEOUT(killed && !QApplication::activeModalWidget(), 20000);
  watch.stop();
  guarded::setReporter([this](const QString& text) { reported_ << text; });
  QVERIFY2(boxText.contains(QStringLiteral("に保存できません")), qPrintable(boxText));
  QVERIFY(b->showsHostErrorPage());

  p.progress.clear();
  b->Refresh();
  QTRY_VERIFY_WITH_TIMEOUT(p.finished(), 20000);
  QCOMPARE(js(b.get(), "document.title"), QStringLiteral("最初の頁"));
}

void TestWebKitControl::manyControlsLeaveNoProcessBehind() {
  const qint64 self = QCoreApplication::applicationPid();
  std::set<qint64> hosts, engineProcesses;
  // Batches so that both paths run: views added to a running host, and the
  // host ended by its last view and started again by the next.
  for (int batch = 0; batch < 10; ++batch) {
    std::vector<std::unique_ptr<TMozillaBrowser>> controls;
    for (int i = 0; i < 10; ++i) {
      controls.push_back(makeBrowser(QSize(200, 150)));
      if (i % 3 == 0) controls.back()->Navigate(fileUrl(dir_.path() + "/b.html"));
    }
    const qint64 host = TMozillaBrowser::hostProcessId();
    QVERIFY(host > 0);
    hosts.insert(host);
    QTRY_VERIFY_WITH_TIMEOUT(!controls[0]->Busy() && !controls[9]->Busy(), 20000);
    for (qint64 child : childrenOf(host)) engineProcesses.insert(child);
    controls.clear();
    QCOMPARE(TMozillaBrowser::hostProcessId(), 0);
  }
  QCOMPARE(hosts.size(), std::size_t(10));
  QVERIFY(!engineProcesses.empty());
  QTRY_VERIFY_WITH_TIMEOUT(
      [&] {
        for (qint64 pid : hosts)
          if (alive(pid)) return false;
        for (qint64 pid : engineProcesses)
          if (alive(pid)) return false;
        return true;
      }(),
      20000);
  for (qint64 child : childrenOf(self)) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(child));
    QVERIFY(comm.open(QIODevice::ReadOnly));
    QVERIFY2(!comm.readAll().startsWith("zelvo-webkit"), "a host process is left behind");
  }
  QVERIFY(reported_.isEmpty());
}

int main(int argc, char** argv) {
  // As the program does: the frame repaints correctly beside native children.
  setenv("QT_WIDGETS_RHI", "1", 1);
  QApplication app(argc, argv);
  TestWebKitControl test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_webkit_control.moc"
