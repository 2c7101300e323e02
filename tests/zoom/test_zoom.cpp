// Page zoom from the keys, the menu and Ctrl+wheel, remembered across a
// restart; the page's source and the engines' inspectors. Through the frame
// with each real engine and a local server.
#include <QLabel>
#include <QMdiArea>
#include <QProcess>
#include <QTest>
#include <QWebEngineView>

#include "frame_fixture.h"
#include "http_server.h"
#include "page/source_window.h"
#include "page_test_util.h"
#include "test_main.h"
#include "zoom/zoom_store.h"

namespace {

bool xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

const QString kTitle = QStringLiteral("ズームの試験");

// Windows of the process shown on the screen.
int visibleWindows(qint64 pid) {
  QProcess p;
  p.start(QStringLiteral("xdotool"),
          {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid),
           QStringLiteral("--name"), QStringLiteral(".")});
  p.waitForFinished();
  return QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts).size();
}

}  // namespace

class TestZoom : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void startFrame() {
    QFETCH_GLOBAL(QByteArray, config);
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1000, 700));
    QVERIFY(f);
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }
  // The page in a new window, with the keyboard in it.
  TBrowserChild* openZoomPage() {
    TBrowserChild* c = openPage(f, server.url("/zoom.html"), kTitle);
    if (!c || c->windowTitle() != kTitle) return nullptr;
    QTest::qWait(300);
    return clickElement(c, "#text") ? c : nullptr;
  }
  // The page's devicePixelRatio in percent of the screen's (the engines
  // give it as a float).
  int ratio(TBrowserChild* c) {
    return qRound(pageScript(c, QStringLiteral("window.devicePixelRatio")).toDouble() / base_ * 100);
  }
  double base_ = 1;
  QString zoomShown() const { return f->ZoomPanel->isVisible() ? f->ZoomPanel->text() : QString(); }

 private slots:
  void initTestCase_data() { addEngineRows(); }
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    server.pages["/zoom.html"] =
        "<!DOCTYPE html><html><head><meta charset=utf-8><title>ズームの試験</title></head>"
        "<body style='font:20px sans-serif;height:3000px'><p id=text>日本語の本文です。</p>"
        "<script>document.title = document.title;</script></body></html>";
  }
  void init() {
    QFile::remove(zoom::storePath());
    startFrame();
  }
  void cleanup() { endFrame(fx); }

  void zoomStepsAndRestart() {
    QFETCH_GLOBAL(QByteArray, config);
    TBrowserChild* c = openZoomPage();
    QVERIFY(c);
    base_ = pageScript(c, QStringLiteral("window.devicePixelRatio")).toDouble();
    QVERIFY(base_ > 0);
    QCOMPARE(zoomShown(), QString());
    struct Step {
      QStringList input;
      int level;
    };
    const QList<Step> steps = {
        {{"key", "ctrl+plus"}, 110},
        {{"key", "ctrl+equal"}, 125},
        {{"key", "ctrl+minus"}, 110},
        {{"keydown", "ctrl", "click", "4", "keyup", "ctrl"}, 125},
        {{"keydown", "ctrl", "click", "5", "click", "5", "keyup", "ctrl"}, 100},
        {{"key", "ctrl+equal", "key", "ctrl+equal", "key", "ctrl+equal"}, 150},
    };
    for (const Step& s : steps) {
      QVERIFY(xdotool(s.input));
      const QString shown = s.level == 100 ? QString() : QStringLiteral("%1%").arg(s.level);
      QTRY_COMPARE_WITH_TIMEOUT(zoomShown(), shown, 5000);
      QTRY_COMPARE_WITH_TIMEOUT(ratio(c), s.level, 5000);
    }
    if (c->IsIE()) {
      // The text size scales on top of the page zoom, and both stay.
      f->mnuSize_Max->trigger();
      QTRY_COMPARE_WITH_TIMEOUT(ratio(c), 225, 5000);
      QCOMPARE(zoomShown(), QStringLiteral("150%"));
      f->mnuSize_middle->trigger();
      QTRY_COMPARE_WITH_TIMEOUT(ratio(c), 150, 5000);
    }

    // A new frame on the same data folder: the site keeps its level, until
    // Ctrl+0 forgets it; another site starts at 100%.
    endFrame(fx);
    startFrame();
    c = openZoomPage();
    QVERIFY(c);
    QTRY_COMPARE_WITH_TIMEOUT(ratio(c), 150, 10000);
    QCOMPARE(zoomShown(), QStringLiteral("150%"));
    c->Control()->Navigate(server.url("/zoom.html").replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")));
    QTRY_COMPARE_WITH_TIMEOUT(zoomShown(), QString(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ratio(c), 100, 5000);
    c->Control()->Navigate(server.url("/zoom.html"));
    QTRY_COMPARE_WITH_TIMEOUT(zoomShown(), QStringLiteral("150%"), 10000);
    QVERIFY(clickElement(c, "#text"));
    QVERIFY(xdotool({"key", "ctrl+0"}));
    QTRY_COMPARE_WITH_TIMEOUT(ratio(c), 100, 5000);
    QCOMPARE(zoomShown(), QString());
    QCOMPARE(zoom::storedLevel(server.url("/zoom.html")), 100);
  }

  void pageSource() {
    TBrowserChild* c = openZoomPage();
    QVERIFY(c);
    QVERIFY(xdotool({"key", "ctrl+u"}));
    const QString markup = QStringLiteral("<p id=text>日本語の本文です。</p>");
    if (c->IsIE()) {
      // A window of the engine's own, at the source's address.
      QTRY_VERIFY_WITH_TIMEOUT(f->ActiveMDIChild() != c, 5000);
      TBrowserChild* source = f->ActiveMDIChild();
      QVERIFY(source->IsIE());
      QTRY_COMPARE_WITH_TIMEOUT(source->Control()->LocationURL(), "view-source:" + server.url("/zoom.html"), 10000);
      QTRY_VERIFY_WITH_TIMEOUT(pageScript(source, QStringLiteral("document.body.innerText")).contains(markup), 10000);
    } else {
      auto shown = []() -> SourceWindow* {
        for (QWidget* t : QApplication::topLevelWidgets())
          if (auto* w = qobject_cast<SourceWindow*>(t); w && w->isVisible()) return w;
        return nullptr;
      };
      QTRY_VERIFY_WITH_TIMEOUT(shown(), 10000);
      SourceWindow* w = shown();
      QCOMPARE(w->windowTitle(), QStringLiteral("ソース - ") + server.url("/zoom.html"));
      // The markup as text, never run.
      QVERIFY2(w->text().contains(markup), qPrintable(w->text()));
      w->close();
    }
  }

  void developerTools() {
    TBrowserChild* c = openZoomPage();
    QVERIFY(c);
    if (auto* web = qobject_cast<TWebBrowser*>(c->Control())) {
      QVERIFY(xdotool({"key", "ctrl+shift+i"}));
      QTRY_VERIFY_WITH_TIMEOUT(web->view()->page()->devToolsPage() != nullptr, 5000);
      auto* tools = QWebEngineView::forPage(web->view()->page()->devToolsPage());
      QVERIFY(tools && tools->isWindow());
      QTRY_VERIFY_WITH_TIMEOUT(tools->isVisible(), 5000);
      QTRY_COMPARE_WITH_TIMEOUT(tools->url().scheme(), QStringLiteral("devtools"), 10000);
    } else {
      const qint64 host = TMozillaBrowser::hostProcessId();
      QVERIFY(host > 0);
      const int before = visibleWindows(host);
      QVERIFY(xdotool({"key", "ctrl+shift+i"}));
      QTRY_VERIFY_WITH_TIMEOUT(visibleWindows(host) == before + 1, 10000);
    }
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestZoom)
#include "test_zoom.moc"
