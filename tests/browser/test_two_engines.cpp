// What the two engines do together, through the frame with both real
// engines and a local server: a page opened in the other engine (menu and
// page context menu), two windows compared side by side, and the engine
// rules for bookmarks, the address box and File > Open.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "engine/engine_rules.h"
#include "frame_fixture.h"
#include "http_server.h"
#include "options/engine_rule_form.h"
#include "page_test_util.h"
#include "platform/ini_file.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

bool isGecko(TBrowserChild* c) { return c && !c->IsIE(); }
bool isIE(TBrowserChild* c) { return c && c->IsIE(); }

}  // namespace

class TestTwoEngines : public QObject {
  Q_OBJECT

  TestHttpServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void start(const QByteArray& config) {
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1100, 760));
    QVERIFY(f);
  }

  TBrowserChild* open(const QString& url, const QString& title) {
    f->OpenChild(QString(), url);
    TBrowserChild* c = f->ActiveMDIChild();
    if (c && !title.isEmpty()) (void)QTest::qWaitFor([&] { return c->windowTitle() == title; }, 20000);
    return c;
  }

  // The newest child, once the frame has one more than `before`.
  TBrowserChild* newest(int before) {
    if (!QTest::qWaitFor([&] { return f->MDIChildCount() > before; }, 10000)) return nullptr;
    return qobject_cast<TBrowserChild*>(f->MDIChildren().last());
  }

  QByteArray ruleConfig(const QByteArray& engine, const QByteArray& extra = {}) {
    return "[General]\nLastEngine=" + engine + "\n[Option_Main]\nMozilla=1\n[EngineRule]\nCount=2\nRule1=Gecko," +
           server.url("/gk/").toUtf8() + "\nRule2=IE," + server.url("/ie/").toUtf8() + "\n" + extra;
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    const QByteArray style = "<style>body{font:20px sans-serif;margin:16px}a{display:block;padding:8px}</style>";
    server.pages["/one.html"] = "<!DOCTYPE html><meta charset=utf-8><title>一のページ</title>" + style +
                                "<h1>比較のページ</h1><p>日本語の文章が両方のエンジンで表示されます。</p>"
                                "<a id=next href='/two.html'>次のページへ</a>";
    server.pages["/two.html"] = "<!DOCTYPE html><meta charset=utf-8><title>二のページ</title>" + style +
                                "<h1>二番目</h1><a id=back href='/one.html'>最初へ</a>";
    server.pages["/three.html"] = "<!DOCTYPE html><meta charset=utf-8><title>三のページ</title><p>三</p>";
    server.pages["/gk/a.html"] = "<!DOCTYPE html><title>gk</title><p>gk</p>";
    server.pages["/ie/a.html"] = "<!DOCTYPE html><title>ie</title><p>ie</p>";
    server.pages["/plain.html"] = "<!DOCTYPE html><title>plain</title><p>plain</p>";
  }

  void cleanup() { endFrame(fx); }

  void otherEngineFromTheMenu() {
    start("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n");
    QVERIFY(!f->mnuOtherEngine->isEnabled());  // no window yet
    const QList<QAction*> tools = f->Tool1->actions();
    QCOMPARE(tools.indexOf(f->mnuOtherEngine), tools.indexOf(f->EngineItem->menuAction()) + 1);

    TBrowserChild* ie = open(server.url("/one.html"), QStringLiteral("一のページ"));
    QVERIFY(isIE(ie));
    QVERIFY(f->mnuOtherEngine->isEnabled());
    f->Tool1->popup(f->mapToGlobal(QPoint(260, 20)));
    QTRY_VERIFY(f->Tool1->isVisible());
    screenshot("tools-menu.png", "700x300+0+0");
    f->Tool1->hide();
    f->mnuOtherEngine->trigger();
    TBrowserChild* mz = newest(1);
    QVERIFY(isGecko(mz));
    QCOMPARE(f->ActiveMDIChild(), mz);
    QTRY_COMPARE_WITH_TIMEOUT(mz->windowTitle(), QStringLiteral("一のページ"), 20000);
    QCOMPARE(mz->Control()->LocationURL(), server.url("/one.html"));
    // The engine menu is as it was.
    QVERIFY(f->IE_item->isChecked());
    QVERIFY(!f->Moz_Item->isChecked());

    // And back: a Gecko window's page opens in WebEngine.
    f->mnuOtherEngine->trigger();
    TBrowserChild* back = newest(2);
    QVERIFY(isIE(back));
    QTRY_COMPARE_WITH_TIMEOUT(back->Control()->LocationURL(), server.url("/one.html"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }

  void otherEngineFromThePageContextMenu_data() {
    QTest::addColumn<QByteArray>("engine");
    QTest::newRow("WebEngine page") << QByteArray("IE");
    QTest::newRow("WebKit page") << QByteArray("Gecko");
  }
  void otherEngineFromThePageContextMenu() {
    QFETCH(QByteArray, engine);
    start("[General]\nLastEngine=" + engine + "\n[Option_Main]\nMozilla=1\n");
    TBrowserChild* c = open(server.url("/two.html"), QStringLiteral("二のページ"));
    QVERIFY(c);
    const bool wasIE = c->IsIE();
    // A real right click on the page, then the menu's last item by keyboard.
    const QPoint p = c->Control()->mapToGlobal(QPoint(300, 200));
    QCOMPARE(QProcess::execute("xdotool", {"mousemove", QString::number(p.x()), QString::number(p.y())}), 0);
    QTest::qWait(300);
    QCOMPARE(QProcess::execute("xdotool", {"click", "3"}), 0);
    if (wasIE) {
      // The WebEngine page's menu is the program's own: the item is in it.
      QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QMenu*>(QApplication::activePopupWidget()), 10000);
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QCOMPARE(menu->actions().last()->text(), QStringLiteral("もう一方のエンジンで開く"));
      screenshot("context-menu-webengine.png");
    } else {
      QTest::qWait(1500);  // the host's menu is not ours to wait on
      screenshot("context-menu-webkit.png");
    }
    QCOMPARE(QProcess::execute("xdotool", {"key", "Up"}), 0);
    QTest::qWait(200);
    QCOMPARE(QProcess::execute("xdotool", {"key", "Return"}), 0);
    TBrowserChild* other = newest(1);
    QVERIFY(other);
    QCOMPARE(other->IsIE(), !wasIE);
    QTRY_COMPARE_WITH_TIMEOUT(other->Control()->LocationURL(), server.url("/two.html"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }

  void otherEngineNeedsGeckoEnabled() {
    start("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=0\n");
    TBrowserChild* ie = open(server.url("/plain.html"), QString());
    QVERIFY(isIE(ie));
    QAction* pageItem = ie->findChild<QAction*>("mnuPageOtherEngine");
    QVERIFY(pageItem);
    QVERIFY(!f->mnuOtherEngine->isEnabled());
    QVERIFY(!f->mnuCompare->isEnabled());
    QVERIFY(!pageItem->isEnabled());
    // Turning Gecko on in the options enables both at once.
    f->Moz_Item->setEnabled(true);
    QVERIFY(f->mnuOtherEngine->isEnabled());
    QVERIFY(f->mnuCompare->isEnabled());
    QVERIFY(pageItem->isEnabled());
  }

  void compareFollowsBothWays() {
    start("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n[Option_Window]\nAddressBar=0\n");
    TBrowserChild* left = open(server.url("/one.html"), QStringLiteral("一のページ"));
    QVERIFY(isIE(left));
    f->mnuCompare->trigger();
    QVERIFY(f->mnuCompare->isChecked());
    TBrowserChild* right = newest(1);
    QVERIFY(isGecko(right));
    QTRY_COMPARE_WITH_TIMEOUT(right->windowTitle(), QStringLiteral("一のページ"), 20000);
    // Side by side, the window that was active on the left and active again.
    QCOMPARE(left->geometry().top(), right->geometry().top());
    QCOMPARE(left->geometry().height(), right->geometry().height());
    QVERIFY(left->geometry().right() < right->geometry().left());
    QCOMPARE(f->ActiveMDIChild(), left);
    screenshot("compare-view.png");

    // A link followed on the left loads on the right.
    QVERIFY(clickElement(left, "#next"));
    QTRY_COMPARE_WITH_TIMEOUT(left->windowTitle(), QStringLiteral("二のページ"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(right->windowTitle(), QStringLiteral("二のページ"), 20000);

    // A link followed on the right (a WebKit view: real X input) loads on
    // the left.
    QVERIFY(clickElement(right, "#back"));
    QTRY_COMPARE_WITH_TIMEOUT(right->windowTitle(), QStringLiteral("一のページ"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(left->windowTitle(), QStringLiteral("一のページ"), 20000);

    // An address entered for the right window.
    f->MDIClient->setActiveSubWindow(right);
    f->txtAddress->setText(server.url("/three.html"));
    f->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(left->windowTitle(), QStringLiteral("三のページ"), 20000);
    QCOMPARE(f->MDIChildCount(), 2);

    // Turned off from the same menu: each goes its own way.
    f->mnuCompare->trigger();
    QVERIFY(!f->mnuCompare->isChecked());
    f->MDIClient->setActiveSubWindow(left);
    f->txtAddress->setText(server.url("/two.html"));
    f->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(left->windowTitle(), QStringLiteral("二のページ"), 20000);
    QTest::qWait(1500);
    QCOMPARE(right->windowTitle(), QStringLiteral("三のページ"));

    // On again; closing either window ends it.
    f->mnuCompare->trigger();
    QVERIFY(f->mnuCompare->isChecked());
    TBrowserChild* third = newest(2);
    QVERIFY(third);
    // The window of the earlier comparison going ends nothing.
    QPointer<TBrowserChild> gone(right);
    right->close();
    QTRY_VERIFY(gone.isNull());
    QTest::qWait(300);
    QVERIFY(f->mnuCompare->isChecked());
    third->close();
    QTRY_VERIFY_WITH_TIMEOUT(!f->mnuCompare->isChecked(), 10000);
    QVERIFY(fx->errors.isEmpty());
  }

  void rulesChooseTheEngineForBookmarksAndTheAddressBox() {
    start(ruleConfig("IE", "[Option_Window]\nAddressBar=1\nBookMark=1\n"));
    // A bookmark under the Gecko rule, one under no rule.
    {
      const QString xml = QStringLiteral(
                              "<?xml version=\"1.0\"?><bookmark><file><name>gk</name><url>%1</url></file>"
                              "<file><name>plain</name><url>%2</url></file></bookmark>")
                              .arg(server.url("/gk/a.html"), server.url("/plain.html"));
      QFile file(fx->path("bookmark.xml"));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(xml.toUtf8());
    }
    f->BuildBookmarkMenu();
    const QList<QAction*> items = f->mnuBookMark->actions();
    const qsizetype first = items.indexOf(f->N4) + 1;
    items[first]->trigger();
    QVERIFY(isGecko(newest(0)));
    items[first + 1]->trigger();
    QVERIFY(isIE(newest(1)));

    // The address box: the IE rule while the menu says Gecko.
    f->Moz_Item->trigger();
    QVERIFY(f->Moz_Item->isChecked());
    f->txtAddress->setText(server.url("/ie/a.html"));
    f->btnMove->click();
    QVERIFY(isIE(newest(2)));
    f->txtAddress->setText(server.url("/plain.html"));
    f->btnMove->click();
    QVERIFY(isGecko(newest(3)));
    QVERIFY(fx->errors.isEmpty());
  }

  void rulesChooseTheEngineForFileOpen() {
    QTemporaryDir pages;
    const QString file = pages.filePath("local.html");
    {
      QFile out(file);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write("<!DOCTYPE html><title>local</title><p>local</p>");
    }
    start("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n[EngineRule]\nCount=1\nRule1=Gecko," +
          QUrl::fromLocalFile(pages.path() + u'/').toString().toUtf8() + "\n");
    QTimer::singleShot(0, this, [&] {
      QTRY_VERIFY_WITH_TIMEOUT(f->OpenDialog && f->OpenDialog->isVisible(), 10000);
      f->OpenDialog->selectFile(file);
      QMetaObject::invokeMethod(f->OpenDialog, "accept");
    });
    f->FileOpen1->trigger();
    TBrowserChild* c = newest(0);
    QVERIFY(isGecko(c));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("local"), 20000);
  }

  void geckoRuleFallsBackWhileGeckoIsDisabled() {
    start(
        "[General]\nLastEngine=IE\n[Option_Main]\nMozilla=0\n[Option_Window]\nAddressBar=0\n[EngineRule]\nCount=1\n"
        "Rule1=Gecko," +
        server.url("/gk/").toUtf8() + "\n");
    f->txtAddress->setText(server.url("/gk/a.html"));
    f->btnMove->click();  // no window yet: a new one
    TBrowserChild* c = newest(0);
    QVERIFY(isIE(c));
    // Navigation inside a window never changes its engine.
    f->Moz_Item->setEnabled(true);
    f->txtAddress->setText(server.url("/gk/a.html?again"));
    f->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(c->Control()->LocationURL(), server.url("/gk/a.html?again"), 20000);
    QCOMPARE(f->MDIChildCount(), 1);
  }

  void rulesDialogEditsTheSection() {
    start("[General]\nLastEngine=IE\n[EngineRule]\nCount=2\nRule1=Gecko,*.example.jp\nRule2=broken\n");
    f->mnuEngineRule->trigger();
    auto* d = visibleWindow<Tfrm_EngineRule>("frm_EngineRule");
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QStringLiteral("エンジンの自動切り替え"));
    QCOMPARE(d->lstRules->topLevelItemCount(), 1);  // the broken entry is skipped
    QCOMPARE(d->lstRules->topLevelItem(0)->text(1), QStringLiteral("ホストのパターン"));

    d->txtPattern->setText("intra.example.jp");
    d->cboEngine->setCurrentIndex(0);
    d->btnAdd->click();
    d->txtPattern->setText("https://example.jp/app/");
    d->cboEngine->setCurrentIndex(1);
    d->btnAdd->click();
    d->txtPattern->setText("not a rule");
    d->btnAdd->click();
    QCOMPARE(fx->errors.size(), 1);
    QVERIFY(fx->errors[0].contains(QStringLiteral("規則にできません")));
    QCOMPARE(d->lstRules->topLevelItemCount(), 3);
    // The more specific host goes first.
    d->lstRules->setCurrentItem(d->lstRules->topLevelItem(1));
    d->btnUp->click();
    screenshot("engine-rules-dialog.png");
    d->btnOK->click();
    QVERIFY(!d->isVisible());
    using engine_rules::Engine;
    QCOMPARE(engine_rules::read(IniFile(fx->configPath())),
             (QList<engine_rules::EngineRule>{{"intra.example.jp", Engine::IE},
                                              {"*.example.jp", Engine::Gecko},
                                              {"https://example.jp/app/", Engine::Gecko}}));

    // Cancel forgets: the next showing reads the file again.
    f->mnuEngineRule->trigger();
    d->lstRules->setCurrentItem(d->lstRules->topLevelItem(0));
    d->btnDel->click();
    QCOMPARE(d->lstRules->topLevelItemCount(), 2);
    d->btnCancel->click();
    f->mnuEngineRule->trigger();
    QCOMPARE(d->lstRules->topLevelItemCount(), 3);
    QCOMPARE(d->txtPattern->text(), QString("intra.example.jp"));
  }
};

ZELVO_TEST_MAIN(TestTwoEngines)
#include "test_two_engines.moc"
