// Many windows of both engines opened and closed through the frame: the
// frame stays whole and no host process is left behind.
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>

#include "browser/browser_child.h"
#include "engine/webkit/webkit_control.h"
#include "frame_fixture.h"
#include "test_main.h"

namespace {

// Engine hosts that are children of this process.
int hostChildren() {
  int n = 0;
  const QString self = QString::number(QCoreApplication::applicationPid());
  for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
    QFile stat("/proc/" + pid + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QString s = QString::fromLocal8Bit(stat.readAll());
    const qsizetype close = s.lastIndexOf(u')');
    if (!s.contains("(zelvo-webkit-ho") || close < 0) continue;  // the kernel cuts names at 15
    const QStringList rest = s.mid(close + 2).split(u' ');
    if (rest.size() > 1 && rest[1] == self) ++n;
  }
  return n;
}

}  // namespace

class TestStress : public QObject {
  Q_OBJECT

 private slots:
  void twoHundredChildrenAlternatingEngines() {
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    FrameFixture fx;
    fx.writeConfig("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n");
    TMainForm* f = fx.start();
    f->resize(900, 700);
    QFile page(fx.path("p.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<title>p</title><p>ページ</p>");
    page.close();

    for (int i = 0; i < 200; ++i) {
      (i % 2 ? f->Moz_Item : f->IE_item)->trigger();
      f->OpenChild(QString(), fx.path("p.html"));
      TBrowserChild* c = f->ActiveMDIChild();
      QVERIFY(c);
      QCOMPARE(c->IsIE(), i % 2 == 0);
      // Every tenth window is left to finish loading before it closes.
      if (i % 10 < 2) QTRY_COMPARE_WITH_TIMEOUT(c->windowTitle(), QString("p"), 20000);
      c->close();
      QTRY_COMPARE(f->MDIChildCount(), 0);
    }
    QVERIFY(fx.errors.isEmpty());
    QCOMPARE(f->txtAddress->text(), QString());

    // The frame still works after all that.
    f->IE_item->trigger();
    f->OpenChild(QString(), fx.path("p.html"));
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->windowTitle(), QString("p"), 20000);
    fx.stop();
    QTRY_COMPARE_WITH_TIMEOUT(hostChildren(), 0, 10000);
  }
};

ZELVO_TEST_MAIN(TestStress)
#include "test_stress.moc"
