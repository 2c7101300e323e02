// A child window against a recording page display instead of a whole frame:
// what it shows there while its page loads, when it is activated, and when
// it closes.
#include <QMdiArea>
#include <QTest>

#include "browser/browser_child.h"
#include "browser/page_display.h"
#include "fake_engine_control.h"

namespace {

class RecordingDisplay : public TPageDisplay {
 public:
  QString address, status;
  int progress = 0;
  bool buttons[4] = {};
  bool pageItems = false, textSize = false;
  int shownSize = -1;
  TBrowserChild* active = nullptr;

  void ShowAddress(const QString& t) override { address = t; }
  void ShowSecurity(SecurityState, const QString&) override {}
  void ShowStatus(const QString& t) override { status = t; }
  int Progress() const override { return progress; }
  void SetProgress(int p) override { progress = p; }
  bool ButtonEnabled(Button b) const override { return buttons[b]; }
  void SetButtonEnabled(Button b, bool on) override { buttons[b] = on; }
  void SetPageItemsEnabled(bool on) override { pageItems = on; }
  void ShowMojiSize(quint8 size) override { shownSize = size; }
  void SetTextSizeEnabled(bool on) override { textSize = on; }
  int FrameMojiSize() const override { return 3; }
  TBrowserChild* ActiveMDIChild() const override { return active; }
  TBrowserChild* OpenPageWindow(bool, const QString&, bool) override { return nullptr; }
};

}  // namespace

class TestChildDisplay : public QObject {
  Q_OBJECT
 private slots:
  void childFillsAndClearsTheDisplay() {
    TBrowserChild::setControlFactoryForTests(
        [](bool ie, QWidget* parent) -> IWebBrowser2* { return new FakeEngineControl(ie, parent); });
    RecordingDisplay d;
    QMdiArea area;
    auto* child = new Tfrm_IE(&d);
    area.addSubWindow(child);
    child->FormCreate();
    d.active = child;
    auto* control = static_cast<FakeEngineControl*>(child->Control());

    control->location = QStringLiteral("http://example.jp/");
    control->status(QStringLiteral("http://example.jp/a"));
    control->progressTo(50, 100);
    control->commandState(CSC_NAVIGATEBACK, true);
    control->title(QStringLiteral("例"));
    QCOMPARE(d.status, QStringLiteral("http://example.jp/a"));
    QVERIFY(d.progress > 0 && d.progress < 100);
    QVERIFY(d.buttons[TPageDisplay::btnBack] && d.buttons[TPageDisplay::btnReload] && d.buttons[TPageDisplay::btnStop]);
    QCOMPARE(d.address, QStringLiteral("http://example.jp/"));
    QCOMPARE(child->Caption(), QStringLiteral("例"));

    // Activation shows the child's own state and its text size.
    d = RecordingDisplay{};
    d.active = child;
    child->FormActivate();
    QCOMPARE(d.address, QStringLiteral("http://example.jp/"));
    QVERIFY(d.pageItems && d.textSize);
    QCOMPARE(d.shownSize, 3);

    child->close();
    QVERIFY(d.address.isEmpty() && d.status.isEmpty() && d.progress == 0);
    QVERIFY(!d.pageItems && !d.textSize);
    for (bool b : d.buttons) QVERIFY(!b);
    TBrowserChild::setControlFactoryForTests({});
  }
};

QTEST_MAIN(TestChildDisplay)
#include "test_child_display.moc"
