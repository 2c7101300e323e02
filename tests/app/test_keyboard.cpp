// The frame from the keyboard alone, with real X key events: the keys for
// the address box, navigation, closing and moving between windows, in the
// frame and from a focused WebEngine page; the version box's Esc; where new
// windows open; the frame's size, position and maximised state across a
// restart.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/about_box.h"
#include "browser/browser_child.h"
#include "engine/webengine/web_engine_control.h"
#include "fake_engine_control.h"
#include "frame_fixture.h"
#include "page/downloads.h"
#include "test_main.h"

namespace {

bool xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }
bool key(const QString& keys) {
  return xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} +
                 keys.split(u' '));
}

FakeEngineControl* fake(TBrowserChild* c) { return c ? qobject_cast<FakeEngineControl*>(c->Control()) : nullptr; }

QVariant js(TBrowserChild* c, const QString& script) {
  QVariant result;
  bool done = false;
  static_cast<TWebBrowser*>(c->Control())->view()->page()->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  QTest::qWaitFor([&] { return done; }, 10000);
  return result;
}

}  // namespace

class TestKeyboard : public QObject {
  Q_OBJECT

  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void startFrame(bool fakeEngines) {
    if (fakeEngines)
      TBrowserChild::setControlFactoryForTests(
          [](bool ie, QWidget* parent) -> IWebBrowser2* { return new FakeEngineControl(ie, parent); });
    fx = new FrameFixture;
    fx->writeConfig("[General]\nLastEngine=IE\n");
    f = fx->start();
    f->setGeometry(40, 40, 1000, 760);
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
  }

 private slots:
  void cleanup() {
    endFrame(fx);
    TBrowserChild::setControlFactoryForTests({});
  }

  void frameKeys() {
    startFrame(true);
    f->OpenChild(QString(), QStringLiteral("http://one.invalid/"));
    f->OpenChild(QString(), QStringLiteral("http://two.invalid/"));
    TBrowserChild* two = f->ActiveMDIChild();
    FakeEngineControl* e = fake(two);
    QVERIFY(e);
    // Activating a window puts the keys into its page.
    QTRY_VERIFY(e->hasFocus());

    // Ctrl+L, Alt+D and F6: into the address box, its text selected.
    f->txtAddress->setText(QStringLiteral("http://two.invalid/"));
    for (const char* k : {"ctrl+l", "alt+d", "F6"}) {
      e->setFocus();
      QTRY_VERIFY(e->hasFocus());
      QVERIFY(key(k));
      QTRY_VERIFY2(f->txtAddress->hasFocus(), k);
      QCOMPARE(f->txtAddress->selectedText(), QStringLiteral("http://two.invalid/"));
    }
    // In the box the editing keys stay the box's: Ctrl+A selects its text,
    // not the page's.
    f->txtAddress->deselect();
    QVERIFY(key("ctrl+a"));
    QTRY_COMPARE(f->txtAddress->selectedText(), QStringLiteral("http://two.invalid/"));
    QVERIFY(!e->calls.contains(QStringLiteral("ExecWB:17:0:-")));

    // The navigation keys do what their buttons do, and only while the
    // button could be pressed.
    e->setFocus();
    e->calls.clear();
    QVERIFY(key("alt+Left alt+Right F5 ctrl+r Escape"));
    QTest::qWait(300);
    QCOMPARE(e->calls, QStringList());
    e->commandState(CSC_NAVIGATEBACK, true);
    e->commandState(CSC_NAVIGATEFORWARD, true);
    e->progressTo(10, 100);  // loading: Stop is usable
    QVERIFY(f->StopCtrl->isEnabled() && f->ReLoadCtrl->isEnabled());
    QVERIFY(key("alt+Left"));
    QTRY_COMPARE(e->calls, QStringList{"GoBack"});
    QVERIFY(key("alt+Right F5 ctrl+r Escape"));
    QTRY_COMPARE(e->calls, (QStringList{"GoBack", "GoForward", "Refresh", "Refresh", "Stop"}));

    // Ctrl+Tab and Ctrl+F6 forward, Ctrl+Shift+Tab back; the page of the
    // window made active has the keys.
    f->OpenChild(QString(), QStringLiteral("http://three.invalid/"));
    const QList<QMdiSubWindow*> all = f->MDIChildren();
    QCOMPARE(all.size(), 3);
    QTRY_VERIFY(fake(f->ActiveMDIChild())->hasFocus());
    QVERIFY(key("ctrl+Tab"));
    QTRY_COMPARE(f->MDIClient->activeSubWindow(), all[0]);
    QTRY_VERIFY(fake(f->ActiveMDIChild())->hasFocus());
    QVERIFY(key("ctrl+F6"));
    QTRY_COMPARE(f->MDIClient->activeSubWindow(), all[1]);
    QVERIFY(key("ctrl+shift+Tab"));
    QTRY_COMPARE(f->MDIClient->activeSubWindow(), all[0]);
    QTRY_VERIFY(fake(f->ActiveMDIChild())->hasFocus());
    QCOMPARE(f->txtAddress->text(), QStringLiteral("http://one.invalid/"));

    // Ctrl+W and Ctrl+F4 close the active window, one each.
    QVERIFY(key("ctrl+w"));
    QTRY_COMPARE(f->MDIChildCount(), 2);
    QVERIFY(!f->MDIChildren().contains(all[0]));
    QVERIFY(key("ctrl+F4"));
    QTRY_COMPARE(f->MDIChildCount(), 1);

    // Ctrl+Shift+Y from the page shows the downloads window, with nothing
    // downloading.
    QTRY_VERIFY(fake(f->ActiveMDIChild())->hasFocus());
    QVERIFY(key("ctrl+shift+y"));
    QTRY_VERIFY(DownloadManager::instance()->window()->isVisible());
    DownloadManager::instance()->window()->hide();
    QVERIFY(fx->errors.isEmpty());
  }

  void tabOrderOfTheFrame() {
    startFrame(true);
    f->txtAddress->setFocus();
    QTRY_VERIFY(f->txtAddress->hasFocus());
    QVERIFY(key("Tab"));
    QTRY_VERIFY(f->btnMove->hasFocus());
    QVERIFY(key("Tab"));
    QTRY_VERIFY(f->TreeView1->hasFocus());
    QVERIFY(key("shift+Tab"));
    QTRY_VERIFY(f->btnMove->hasFocus());
  }

  void newWindowsCascadeFromTheTopLeft() {
    startFrame(true);
    const QRect area = f->MDIClient->viewport()->rect();
    QList<QRect> seen;
    for (int i = 0; i < 12; ++i) {
      f->FileNew1->trigger();
      const QRect r = f->ActiveMDIChild()->geometry();
      QVERIFY2(area.contains(r), qPrintable(QStringLiteral("window %1 leaves the area").arg(i)));
      seen << r;
    }
    QCOMPARE(seen[0].topLeft(), area.topLeft());
    QVERIFY(seen[1].x() > seen[0].x() && seen[1].y() > seen[0].y());
    // Somewhere the cascade starts again at the top left.
    QVERIFY(std::count_if(seen.begin() + 1, seen.end(), [&](const QRect& r) { return r.topLeft() == area.topLeft(); }));
    // All closed, the next one starts at the top left again.
    for (QMdiSubWindow* w : f->MDIChildren()) w->close();
    QTRY_COMPARE(f->MDIChildCount(), 0);
    f->FileNew1->trigger();
    QCOMPARE(f->ActiveMDIChild()->geometry().topLeft(), area.topLeft());
  }

  void versionBoxClosesWithEsc() {
    startFrame(true);
    f->HelpAbout1->trigger();
    QVERIFY(QTest::qWaitForWindowActive(AboutBox));
    QVERIFY(AboutBox->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    AboutBox->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(AboutBox));
    QVERIFY(key("Escape"));
    QTRY_VERIFY(!AboutBox->isVisible());
    QCOMPARE(AboutBox->result(), int(QDialog::Accepted));
    // The frame is usable again, and the box opens once more.
    f->HelpAbout1->trigger();
    AboutBox->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(AboutBox));
    QVERIFY(key("Return"));
    QTRY_VERIFY(!AboutBox->isVisible());
  }

  void frameGeometryAcrossRestarts() {
    startFrame(true);
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    f->move(avail.x() + 70, avail.y() + 60);
    f->resize(820, 610);
    QTRY_COMPARE(f->size(), QSize(820, 610));
    QTRY_COMPARE(f->pos(), QPoint(avail.x() + 70, avail.y() + 60));
    f->close();
    QVERIFY(fx->config().contains("[MainForm]"));
    fx->stop();

    f = fx->start();
    QTRY_COMPARE(f->size(), QSize(820, 610));
    QTRY_COMPARE(f->pos(), QPoint(avail.x() + 70, avail.y() + 60));
    QVERIFY(!f->isMaximized());

    // Maximised: kept so, and unmaximising returns to the earlier place.
    f->showMaximized();
    QTRY_VERIFY(f->isMaximized());
    f->close();
    fx->stop();
    f = fx->start();
    QTRY_VERIFY(f->isMaximized());
    f->showNormal();
    QTRY_COMPARE(f->size(), QSize(820, 610));
    f->close();
    fx->stop();

    // Saved on a monitor that is gone: back on this screen, whole.
    const QByteArray config = fx->config();
    fx->writeConfig(config.left(config.indexOf("[MainForm]")) +
                    "[MainForm]\nLeft=5000\nTop=-3000\nWidth=700\nHeight=500\nMaximized=0\n");
    f = fx->start();
    QTRY_COMPARE(f->size(), QSize(700, 500));
    QVERIFY2(avail.contains(QRect(f->pos(), f->size())), qPrintable(QStringLiteral("%1,%2").arg(f->x()).arg(f->y())));
  }

  void keysFromAWebEnginePage() {
    startFrame(false);
    const QString one = fx->path("one.html"), two = fx->path("two.html");
    for (const auto& [path, title] : {std::pair{one, "one"}, std::pair{two, "two"}}) {
      QFile page(path);
      QVERIFY(page.open(QIODevice::WriteOnly));
      page.write(QByteArray("<!DOCTYPE html><title>") + title + "</title><input id=field autofocus>");
    }
    f->OpenChild(QString(), one);
    TBrowserChild* c = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("one"), 20000);
    f->txtAddress->setText(two);
    f->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("two"), 20000);
    QTRY_VERIFY(f->BackCtrl->isEnabled());

    // A real click into the page's field, then the keys.
    auto focusPage = [&] {
      QWebEngineView* view = static_cast<TWebBrowser*>(c->Control())->view();
      const QPoint p = view->mapToGlobal(QPoint(30, 15));
      xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
      xdotool({"click", "1"});
      return QTest::qWaitFor([&] { return js(c, "document.activeElement.id").toString() == "field"; }, 5000);
    };
    QVERIFY(focusPage());
    QVERIFY(key("alt+Left"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("one"), 10000);
    QVERIFY(focusPage());
    QVERIFY(key("alt+Right"));
    QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("two"), 10000);

    // F5 and Ctrl+R load the page afresh (its script state is gone).
    for (const char* k : {"F5", "ctrl+r"}) {
      QVERIFY(focusPage());
      js(c, "window.marker = 1");
      QVERIFY(key(k));
      QTRY_VERIFY2_WITH_TIMEOUT(js(c, "typeof window.marker").toString() == "undefined", k, 10000);
    }

    QVERIFY(focusPage());
    QVERIFY(key("ctrl+l"));
    QTRY_VERIFY(f->txtAddress->hasFocus());
    QCOMPARE(f->txtAddress->selectedText(), f->txtAddress->text());

    // Ctrl+Tab from the page to another window, Ctrl+W closes it from its page.
    f->OpenChild(QString(), one);
    TBrowserChild* other = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QStringLiteral("one"), 20000);
    f->WindowTileVertical1->trigger();
    QVERIFY(focusPage());
    QCOMPARE(f->ActiveMDIChild(), c);
    QVERIFY(key("ctrl+Tab"));
    QTRY_COMPARE(f->ActiveMDIChild(), other);
    QVERIFY(focusPage());
    QVERIFY(key("ctrl+w"));
    QTRY_COMPARE(f->MDIChildCount(), 1);
    QCOMPARE(f->ActiveMDIChild(), other);
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
