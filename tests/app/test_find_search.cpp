// Find in page, words searched from the address box and the back and
// forward lists, through the frame with each real engine and a local server.
#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include "find/find_bar.h"
#include "frame_fixture.h"
#include "http_server.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "search/search_menu.h"
#include "test_main.h"

namespace {

bool xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

// Pixels of the find highlight (yellow or orange on the white page) in the
// window's page, as the screen shows them.
int highlightPixels(TBrowserChild* c) {
  QWidget* page = c->Control();
  const QPoint at = page->mapToGlobal(QPoint(0, 0));
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, at.x(), at.y(), page->width(), page->height())
                          .toImage()
                          .convertToFormat(QImage::Format_RGB32);
  int n = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QRgb p = shot.pixel(x, y);
      if (qRed(p) > 200 && qGreen(p) > 120 && qBlue(p) < 90) ++n;
    }
  return n;
}

// Text typed into a field as a key press carries it (Japanese too).
void typeInto(QWidget* field, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(field, &press);
}

}  // namespace

class TestFindSearch : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  QString countShown() const { return f->FindBar->CountLabel()->text(); }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    SearchEngineMenu::setAddressForTests(server.url("/search?q=%s"));
    server.pages["/find.html"] =
        "<!DOCTYPE html><meta charset=utf-8><title>検索のページ</title>"
        "<style>body{font:28px sans-serif;margin:16px}</style>"
        "<p id=top>Apple apple APPLE</p><p>京都の天気。京都は晴れ。明日の京都</p>";
    for (const char* n : {"1", "2", "3"})
      server.pages[QByteArray("/p") + n + ".html"] =
          QByteArray("<!DOCTYPE html><meta charset=utf-8><title>ページ") + n + "</title><p>" + n;
    server.pages["/search?q=%E4%BA%AC%E9%83%BD%20%E5%A4%A9%E6%B0%97"] =
        "<!DOCTYPE html><meta charset=utf-8><title>検索結果</title><p>京都 天気";
    server.pages["/search?q=zelvo"] = "<!DOCTYPE html><title>zelvo の検索結果</title><p>zelvo";
    server.pages["/search?q=127.0.0.1"] = "<!DOCTYPE html><title>IP の検索結果</title><p>ip";
  }
  void init() {
    QFETCH_GLOBAL(QByteArray, config);
    fx = new FrameFixture;
    f = fx->startShown(config + "[Option_Window]\nAddressBar=0\n", QSize(1000, 700));
    QVERIFY(f);
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }
  void cleanup() { endFrame(fx); }

  void findInPage() {
    QVERIFY(!f->mnuEdit_Find->isEnabled());  // no window yet
    QCOMPARE(f->mnuEdit->actions().last(), f->mnuEdit_Find);
    TBrowserChild* c = openPage(f, server.url("/find.html"), QStringLiteral("検索のページ"));
    QVERIFY(c);
    QTest::qWait(500);
    const int before = highlightPixels(c);
    // Ctrl+F from inside the page opens the bar.
    QVERIFY(clickElement(c, "#top"));
    QTest::qWait(300);
    QVERIFY(xdotool({"key", "ctrl+f"}));
    QTRY_VERIFY_WITH_TIMEOUT(f->FindBar->isVisible(), 5000);
    QTRY_VERIFY(f->FindBar->Field()->hasFocus());

    // Typing searches at once; F3 and Shift+F3 step, wrapping at the ends.
    QTest::keyClicks(f->FindBar->Field(), "apple");
    QTRY_COMPARE_WITH_TIMEOUT(countShown(), QStringLiteral("1 / 3 件"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(highlightPixels(c) > before + 100, 5000);
    const QStringList steps{"F3", "F3", "F3", "shift+F3", "Return", "shift+Return"};
    const QStringList shown{"2 / 3 件", "3 / 3 件", "1 / 3 件", "3 / 3 件", "1 / 3 件", "3 / 3 件"};
    for (int i = 0; i < steps.size(); ++i) {
      QVERIFY(xdotool({"key", steps[i]}));
      QTRY_COMPARE_WITH_TIMEOUT(countShown(), shown[i], 5000);
    }
    f->FindBar->CaseBox()->click();
    QTRY_COMPARE_WITH_TIMEOUT(countShown(), QStringLiteral("1 / 1 件"), 5000);
    f->FindBar->CaseBox()->click();

    // Not found: said, and the field marked.
    f->FindBar->Field()->selectAll();
    QTest::keyClicks(f->FindBar->Field(), "zzz");
    QTRY_COMPARE_WITH_TIMEOUT(countShown(), QStringLiteral("見つかりません"), 5000);
    QVERIFY(f->FindBar->Field()->styleSheet().contains("background"));

    // Japanese text, typed as it is.
    f->FindBar->Field()->selectAll();
    typeInto(f->FindBar->Field(), QStringLiteral("京都"));
    QTRY_COMPARE_WITH_TIMEOUT(countShown(), QStringLiteral("1 / 3 件"), 5000);
    QVERIFY(f->FindBar->Field()->styleSheet().isEmpty());
    QVERIFY(xdotool({"key", "F3"}));
    QTRY_COMPARE_WITH_TIMEOUT(countShown(), QStringLiteral("2 / 3 件"), 5000);
    screenshot(QStringLiteral("find-bar-%1.png").arg(c->IsIE() ? "webengine" : "webkit"));

    // Another window keeps a search of its own; back again, this one's is there.
    TBrowserChild* other = openPage(f, server.url("/p1.html"), QStringLiteral("ページ1"));
    QVERIFY(other && other != c);
    QTRY_VERIFY(!f->FindBar->isVisible());
    // F3 from inside its page, with no search open there, opens one.
    QVERIFY(clickElement(other, "p"));
    QTest::qWait(300);
    QVERIFY(xdotool({"key", "F3"}));
    QTRY_VERIFY_WITH_TIMEOUT(f->FindBar->isVisible(), 5000);
    QVERIFY(f->FindBar->Field()->text().isEmpty());
    f->MDIClient->setActiveSubWindow(c);
    QTRY_COMPARE(f->FindBar->Field()->text(), QStringLiteral("京都"));
    QCOMPARE(countShown(), QStringLiteral("2 / 3 件"));

    // Esc closes the bar and takes the highlight away.
    f->FindBar->Field()->setFocus();
    QVERIFY(xdotool({"key", "Escape"}));
    QTRY_VERIFY(!f->FindBar->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(highlightPixels(c) <= before + 20, 5000);

    // Opened again, the search is found again; another page leaves no count.
    f->mnuEdit_Find->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(countShown().endsWith(QStringLiteral(" / 3 件")), 5000);
    c->Control()->Navigate(server.url("/p2.html"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("ページ2"), 20000);
    QTRY_COMPARE(countShown(), QString());
    QVERIFY(fx->errors.isEmpty());
  }

  void searchFromTheAddressBox() {
    // Google is the engine until another is chosen, kept in [Search].
    emit f->mnuSearchEngine->aboutToShow();
    QVERIFY(f->SearchEngines->item("Google")->isChecked());
    QCOMPARE(f->mnuSearchEngine->actions().size(), 5);

    // Words open the search page; nothing went out while they were typed.
    const qsizetype asked = server.requested.size();
    f->txtAddress->setFocus();
    typeInto(f->txtAddress, QStringLiteral("京都 天気"));
    QTest::qWait(300);
    // The last page's icon may still be fetched; nothing else may go out.
    QCOMPARE(server.requested.mid(asked).removeAll("/favicon.ico"), server.requested.size() - asked);
    QTest::keyClick(f->txtAddress, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(f->ActiveMDIChild() && f->ActiveMDIChild()->windowTitle() == "検索結果", 20000);
    TBrowserChild* c = f->ActiveMDIChild();
    QTRY_VERIFY_WITH_TIMEOUT(f->txtAddress->text().endsWith(QStringLiteral("/search?q=京都%20天気")), 5000);

    // An address stays an address; a single word and a leading "?" search.
    const QList<QPair<QString, QString>> typed = {
        {server.url("/p2.html").mid(7), "ページ2"}, {"zelvo", "zelvo の検索結果"}, {"?127.0.0.1", "IP の検索結果"}};
    for (const auto& [text, title] : typed) {
      f->txtAddress->setText(text);
      f->btnMove->click();
      QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), title, 20000);
    }
    QCOMPARE(f->MDIChildCount(), 1);

    // Ctrl+K from inside the page readies the box for words.
    QVERIFY(clickElement(c, "p"));
    QTest::qWait(300);
    QVERIFY(xdotool({"key", "ctrl+k"}));
    QTRY_VERIFY(f->txtAddress->hasFocus());
    QCOMPARE(f->txtAddress->text(), QStringLiteral("? "));

    // Another engine, chosen and kept.
    f->SearchEngines->item("Bing")->trigger();
    QVERIFY(fx->config().contains("[Search]\nEngine=Bing"));
    SearchEngineMenu::setAddressForTests(QString());
    QCOMPARE(f->AddressToOpen(QStringLiteral("京都")),
             QStringLiteral("https://www.bing.com/search?q=%E4%BA%AC%E9%83%BD"));
    SearchEngineMenu::setAddressForTests(server.url("/search?q=%s"));
    QVERIFY(fx->errors.isEmpty());
  }

  void backAndForwardLists() {
    TBrowserChild* c = openPage(f, server.url("/p1.html"), QStringLiteral("ページ1"));
    QVERIFY(c);
    for (const char* n : {"2", "3"}) {
      c->Control()->Navigate(server.url(QByteArray("/p") + n + ".html"));
      QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("ページ") + n, 20000);
    }
    QMenu* back = f->BackCtrl->menu();
    QMenu* forward = f->FrwrdCtrl->menu();
    QVERIFY(back && forward);
    auto captions = [](QMenu* m) {
      emit m->aboutToShow();
      QStringList out;
      for (QAction* a : m->actions()) out << a->text();
      return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(captions(back), (QStringList{"ページ2", "ページ1"}), 5000);
    QVERIFY(captions(forward).isEmpty());

    // Held down, the back button shows its list (in a loop of its own,
    // hence the timed step); the oldest entry goes two back.
    TimedSteps steps;
    steps.when([&] { return back->isVisible(); },
               [&] {
                 screenshot(QStringLiteral("back-list-%1.png").arg(c->IsIE() ? "webengine" : "webkit"));
                 back->actions().last()->trigger();
                 back->close();
               });
    QTest::mousePress(f->BackCtrl, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(steps.done(), 5000);
    QTest::mouseRelease(f->BackCtrl, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("ページ1"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(captions(forward), (QStringList{"ページ2", "ページ3"}), 5000);
    QVERIFY(captions(back).isEmpty());
    forward->actions().last()->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("ページ3"), 20000);
    QCOMPARE(c->Control()->LocationURL(), server.url("/p3.html"));
    QVERIFY(fx->errors.isEmpty());
  }

  void initTestCase_data() { addEngineRows(); }
};

ZELVO_TEST_MAIN(TestFindSearch)
#include "test_find_search.moc"
