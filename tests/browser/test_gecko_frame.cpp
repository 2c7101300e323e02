// Gekko windows in the real frame against the real zelvo-webkit-host, driven
// by real X input: the host readied before the first window; keys the page
// does not take reach the frame's shortcuts, menus and mnemonics; Tab and
// Shift+Tab leave the page; typing still reaches the page's fields; every
// window paints, with a window manager too.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

#include "browser/browser_child.h"
#include "engine/webkit/webkit_control.h"
#include "frame_fixture.h"
#include "options/option_form.h"
#include "support/webkit_page.h"
#include "test_main.h"

namespace {

TMozillaBrowser* gecko(TBrowserChild* c) { return c ? qobject_cast<TMozillaBrowser*>(c->Control()) : nullptr; }

bool xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

// Whether the screen shows the page's blue over the visible part of the
// view, sampled on a grid (the view's own pixels as X shows them).
bool paintsBlue(TMozillaBrowser* b) {
  return QTest::qWaitFor(
      [&] {
        QWidget* top = b->window();
        const QRect onScreen =
            QRect(b->mapTo(top, QPoint(0, 0)), b->size())
                .intersected(b->visibleRegion().boundingRect().translated(b->mapTo(top, QPoint(0, 0))));
        if (onScreen.width() < 20 || onScreen.height() < 20) return false;
        const QPoint origin = top->mapToGlobal(onScreen.topLeft());
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, origin.x(), origin.y(), onScreen.width(), onScreen.height())
                                .toImage();
        for (int y = 5; y < shot.height() - 5; y += std::max(1, shot.height() / 8))
          for (int x = 5; x < shot.width() - 5; x += std::max(1, shot.width() / 8))
            if (shot.pixelColor(x, y) != QColor(0x20, 0x50, 0xc0)) return false;
        return true;
      },
      10000);
}

int visibleOptionDialogs() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<Tfrm_Option*>(w) && w->isVisible()) ++n;
  return n;
}

}  // namespace

class TestGeckoFrame : public QObject {
  Q_OBJECT

  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  // Opens a Gekko window at the test page and puts the keyboard focus into
  // its field with a real click.
  TMozillaBrowser* openPage() {
    f->OpenChild(QString(), fx->path("keys.html"));
    TMozillaBrowser* b = gecko(f->ActiveMDIChild());
    if (!b || !QTest::qWaitFor([&] { return f->ActiveMDIChild()->windowTitle() == "keys"; }, 20000)) return nullptr;
    return b;
  }
  bool focusField(TMozillaBrowser* b) {
    const QPoint p = elementCentre(b, "#field");
    if (p.isNull()) return false;
    xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
    QTest::qWait(100);
    xdotool({"click", "1"});
    return QTest::qWaitFor([&] { return js(b, "document.activeElement.id") == "field"; }, 5000);
  }

 private slots:
  void initTestCase() { TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST)); }
  void init() {
    fx = new FrameFixture;
    fx->writeConfig("[General]\nLastEngine=Gecko\n[Option_Main]\nMozilla=1\n");
    QFile page(fx->path("keys.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write(
        "<!DOCTYPE html><html><head><meta charset='utf-8'><title>keys</title></head><body>"
        "<p><input id='field' size='20'></p><p><a id='link' href='#x'>link</a></p></body></html>");
    page.close();
    f = fx->start();
    f->setGeometry(0, 0, 1000, 760);
    f->show();
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    QVERIFY(f->Moz_Item->isChecked());
  }
  void cleanup() {
    fx->stop();
    delete fx;
  }

  void checkedEngineIsReadiedOnceIdle() {
    // Gekko is checked: once the frame is idle its host comes up, with no
    // window open, and the first window uses it.
    QCOMPARE(f->MDIChildCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(TMozillaBrowser::hostProcessId() != 0, 10000);
    const qint64 host = TMozillaBrowser::hostProcessId();
    QVERIFY(openPage());
    QCOMPARE(TMozillaBrowser::hostProcessId(), host);
    // Its page started ahead left nothing in the window's history.
    QTest::qWait(300);
    QVERIFY(!f->BackCtrl->isEnabled());

    // A frame closed before any window used the readied host lets it go.
    cleanup();
    QTRY_COMPARE_WITH_TIMEOUT(TMozillaBrowser::hostProcessId(), 0, 10000);
    init();
    QTRY_VERIFY_WITH_TIMEOUT(TMozillaBrowser::hostProcessId() != 0, 10000);
    cleanup();
    QTRY_COMPARE_WITH_TIMEOUT(TMozillaBrowser::hostProcessId(), 0, 10000);
    init();
  }

  void frameKeysFromAFocusedPage() {
    TMozillaBrowser* b = openPage();
    QVERIFY(b);
    QVERIFY(focusField(b));

    // Plain typing belongs to the page, not the frame.
    QVERIFY(xdotool({"type", "--delay", "30", "abc"}));
    QTRY_COMPARE_WITH_TIMEOUT(js(b, "document.getElementById('field').value"), QStringLiteral("abc"), 5000);
    QVERIFY(f->txtAddress->text() != "abc");

    // Ctrl+N: a new window, as from any other place in the frame.
    QVERIFY(xdotool({"key", "ctrl+n"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 2, 10000);
    QVERIFY(!f->ActiveMDIChild()->IsIE());
    QCOMPARE(js(b, "document.getElementById('field').value"), QStringLiteral("abc"));  // no "n" typed

    // Alt+F opens the File menu.
    // (a click into the first page activates its window again; side by
    // side, since the new window cascades over the first)
    f->WindowTileVertical1->trigger();
    QVERIFY(focusField(b));
    QCOMPARE(gecko(f->ActiveMDIChild()), b);
    QVERIFY(xdotool({"key", "alt+f"}));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::activePopupWidget(), static_cast<QWidget*>(f->File1), 5000);
    QVERIFY(xdotool({"key", "Escape"}));
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activePopupWidget(), 5000);

    // F12: the options dialog.
    QVERIFY(focusField(b));
    const int dialogs = visibleOptionDialogs();
    QVERIFY(xdotool({"key", "F12"}));
    QTRY_COMPARE_WITH_TIMEOUT(visibleOptionDialogs(), dialogs + 1, 5000);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<Tfrm_Option*>(w)) w->hide();

    // Ctrl+O: the open dialog, modal to the frame only.
    QVERIFY(focusField(b));
    QVERIFY(xdotool({"key", "ctrl+o"}));
    QTRY_VERIFY_WITH_TIMEOUT(f->OpenDialog->isVisible(), 5000);
    QCOMPARE(f->OpenDialog->windowModality(), Qt::WindowModal);
    f->OpenDialog->reject();

    // F10: the side bar, both ways.
    QVERIFY(focusField(b));
    const bool shown = f->mnuShow_Z->isChecked();
    QVERIFY(xdotool({"key", "F10"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->mnuShow_Z->isChecked(), !shown, 5000);
    QVERIFY(xdotool({"key", "F10"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->mnuShow_Z->isChecked(), shown, 5000);

    // The page still has its keys: typing goes on in its field.
    QVERIFY(xdotool({"key", "End"}));
    QVERIFY(xdotool({"type", "--delay", "30", "de"}));
    QTRY_COMPARE_WITH_TIMEOUT(js(b, "document.getElementById('field').value"), QStringLiteral("abcde"), 5000);
    QVERIFY(fx->errors.isEmpty());
  }

  void browsingAndWindowKeysFromAFocusedPage() {
    QFile two(fx->path("two.html"));
    QVERIFY(two.open(QIODevice::WriteOnly));
    two.write("<!DOCTYPE html><html><head><title>two</title></head><body><p><input id='field'></p></body></html>");
    two.close();
    TMozillaBrowser* b = openPage();
    QVERIFY(b);
    f->txtAddress->setText(fx->path("two.html"));
    f->btnMove->click();
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->windowTitle(), QStringLiteral("two"), 20000);
    QTRY_VERIFY(f->BackCtrl->isEnabled());

    // Alt+Left and Alt+Right go back and forward, although WebKit would
    // take them for scrolling.
    QVERIFY(focusField(b));
    QVERIFY(xdotool({"key", "alt+Left"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->windowTitle(), QStringLiteral("keys"), 10000);
    QTRY_VERIFY(f->FrwrdCtrl->isEnabled());
    QVERIFY(focusField(b));
    QVERIFY(xdotool({"key", "alt+Right"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->windowTitle(), QStringLiteral("two"), 10000);

    // F5 and Ctrl+R load the page afresh (its script state is gone).
    for (const char* k : {"F5", "ctrl+r"}) {
      QVERIFY(focusField(b));
      js(b, "window.marker = 1; 'set'");
      QVERIFY(xdotool({"key", k}));
      QTRY_VERIFY2_WITH_TIMEOUT(js(b, "typeof window.marker") == "undefined", k, 10000);
    }

    // The page keeps its own keys: Ctrl+A selects the field's text, Esc on
    // a loaded page reaches the page.
    QVERIFY(focusField(b));
    js(b, "window.escapes = 0; addEventListener('keydown', e => { if (e.key == 'Escape') ++escapes; }); 'set'");
    QVERIFY(xdotool({"type", "--delay", "30", "xyz"}));
    QVERIFY(xdotool({"key", "ctrl+a"}));
    QTRY_COMPARE_WITH_TIMEOUT(
        js(b, "(function(){var e=document.activeElement;return e.selectionStart+','+e.selectionEnd})()"),
        QStringLiteral("0,3"), 5000);
    QVERIFY(xdotool({"key", "Escape"}));
    QTRY_COMPARE_WITH_TIMEOUT(js(b, "escapes"), QStringLiteral("1"), 5000);

    // Esc stops a page that is loading (an address whose server never answers).
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    f->txtAddress->setText(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()));
    f->btnMove->click();
    QTRY_VERIFY_WITH_TIMEOUT(f->StopCtrl->isEnabled(), 10000);
    QVERIFY(focusField(b));
    QVERIFY(xdotool({"key", "Escape"}));
    QTRY_VERIFY_WITH_TIMEOUT(!b->Busy(), 10000);
    QVERIFY(!f->StopCtrl->isEnabled());

    // Ctrl+L, Alt+D and F6: the address box, its text selected.
    for (const char* k : {"ctrl+l", "alt+d", "F6"}) {
      QVERIFY(focusField(b));
      QVERIFY(xdotool({"key", k}));
      QTRY_VERIFY2_WITH_TIMEOUT(f->txtAddress->hasFocus(), k, 5000);
      QCOMPARE(f->txtAddress->selectedText(), f->txtAddress->text());
    }

    // Ctrl+Tab to another window and back, Ctrl+W closes from the page.
    f->OpenChild(QString(), fx->path("keys.html"));
    TBrowserChild* other = f->ActiveMDIChild();
    QTRY_COMPARE_WITH_TIMEOUT(other->windowTitle(), QStringLiteral("keys"), 20000);
    f->WindowTileVertical1->trigger();
    QVERIFY(focusField(b));
    TBrowserChild* first = f->ActiveMDIChild();
    QVERIFY(first != other);
    for (const char* k : {"ctrl+Tab", "ctrl+shift+Tab", "ctrl+F6"}) {
      TBrowserChild* before = f->ActiveMDIChild();
      QVERIFY(focusField(gecko(before)));
      QVERIFY(xdotool({"key", k}));
      QTRY_VERIFY2_WITH_TIMEOUT(f->ActiveMDIChild() != before, k, 5000);
    }
    QCOMPARE(f->ActiveMDIChild(), other);
    QVERIFY(focusField(b));
    QVERIFY(xdotool({"key", "ctrl+w"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 1, 5000);
    QCOMPARE(f->ActiveMDIChild(), other);
    QVERIFY(focusField(gecko(other)));
    QVERIFY(xdotool({"key", "ctrl+F4"}));
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 0, 5000);
    QVERIFY(fx->errors.isEmpty());
  }

  void everyWindowPaintsItsPage() {
    QFile page(fx->path("blue.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<!DOCTYPE html><title>blue</title><body style='background:#2050c0;margin:0'></body>");
    page.close();
    // Four in a row, each a new window given its address in the address
    // box, as a user opens them.
    QList<TMozillaBrowser*> views;
    for (int i = 0; i < 4; ++i) {
      f->FileNew1->trigger();
      views << gecko(f->ActiveMDIChild());
      QVERIFY(views.last());
      f->txtAddress->setText(fx->path("blue.html"));
      f->btnMove->click();
    }
    for (TBrowserChild* c : f->findChildren<TBrowserChild*>())
      QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QStringLiteral("blue"), 20000);

    // Tiled, every page shows; then the active one over the whole of a
    // maximised frame; then cascaded.
    f->WindowTileHorizontal1->trigger();
    for (TMozillaBrowser* b : views) QVERIFY2(paintsBlue(b), "a tiled window is not painted");
    f->showMaximized();
    QTRY_VERIFY(f->isMaximized());
    QTest::qWait(300);
    f->ActiveMDIChild()->showMaximized();
    QVERIFY2(paintsBlue(gecko(f->ActiveMDIChild())), "the maximised window is not painted");
    f->ActiveMDIChild()->showNormal();
    f->WindowCascade1->trigger();
    QVERIFY2(paintsBlue(gecko(f->ActiveMDIChild())), "the active cascaded window is not painted");
    QVERIFY(fx->errors.isEmpty());
  }

  void tabLeavesThePageBothWays() {
    TMozillaBrowser* b = openPage();
    QVERIFY(b);
    QVERIFY(focusField(b));
    QWidget* view = b->findChild<QWidget*>(QStringLiteral("webkitView"));
    QVERIFY(view && view->hasFocus());

    // field -> link -> out of the page, into the frame.
    QVERIFY(xdotool({"key", "Tab"}));
    QTRY_COMPARE_WITH_TIMEOUT(js(b, "document.activeElement.id"), QStringLiteral("link"), 5000);
    QVERIFY(xdotool({"key", "Tab"}));
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::focusWidget() && QApplication::focusWidget() != view, 5000);
    QWidget* next = QApplication::focusWidget();
    QVERIFY2(!f->MDIClient->isAncestorOf(next), qPrintable(next->objectName()));
    // The keyboard went with it: typing reaches the frame's widget now.
    if (auto* edit = qobject_cast<QLineEdit*>(next)) {
      edit->clear();
      QVERIFY(xdotool({"type", "--delay", "30", "q"}));
      QTRY_COMPARE_WITH_TIMEOUT(edit->text(), QStringLiteral("q"), 5000);
    }

    // Back into the page with a click, then Shift+Tab out at its start.
    QVERIFY(focusField(b));
    QTRY_VERIFY(view->hasFocus());
    QVERIFY(xdotool({"key", "shift+Tab"}));
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::focusWidget() && QApplication::focusWidget() != view, 5000);
    QVERIFY(!f->MDIClient->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(js(b, "document.getElementById('field').value"), QString());
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestGeckoFrame)
#include "test_gecko_frame.moc"
