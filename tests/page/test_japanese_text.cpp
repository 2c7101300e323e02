// Japanese text in both engines through the frame: pages that declare no
// encoding (Shift_JIS, EUC-JP and ISO-2022-JP over http, UTF-8 as a local
// file) read back as written, a declared encoding is kept, the engines'
// error pages are Japanese, and the Internet Explorer windows' own context
// menu, opened with a real right click.
#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include "frame_fixture.h"
#include "page_test_util.h"
#include "screenshot.h"
#include "test_main.h"

namespace {

const QString kText = QStringLiteral("日本語の文章です。漢字と、ひらがなと、カタカナを含みます。");
const QString kTitle = QStringLiteral("符号化を宣言しないページ");

QByteArray encoded(const char* encoding, const QString& text) {
  QStringEncoder e(encoding);
  return e.encode(text);
}

// A page that names no encoding anywhere, in `encoding`.
QByteArray undeclaredPage(const char* encoding) {
  return encoded(
      encoding, QStringLiteral("<html><head><title>%1</title></head><body><p>%2</p></body></html>").arg(kTitle, kText));
}

bool xdotool(const QStringList& args) { return QProcess::execute(QStringLiteral("xdotool"), args) == 0; }

// A real right click at a point of the page, or at the centre of an element.
bool rightClick(TBrowserChild* c, const QPoint& at) {
  const QPoint p = c->Control()->mapToGlobal(at);
  if (!xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())})) return false;
  QTest::qWait(300);
  return xdotool({"click", "3"});
}
bool rightClick(TBrowserChild* c, const char* selector) {
  const std::optional<QPoint> at = elementCentre(c, QString::fromLatin1(selector));
  return at && rightClick(c, *at);
}

QMenu* openedMenu() {
  if (!QTest::qWaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }, 10000))
    return nullptr;
  return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QStringList captions(QMenu* menu) {
  QStringList out;
  for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return out;
}

QAction* item(QMenu* menu, const char* name) { return menu->findChild<QAction*>(QString::fromLatin1(name)); }

}  // namespace

class TestJapaneseText : public QObject {
  Q_OBJECT

  PageServer server;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  void startFrame(const QByteArray& config) {
    fx = new FrameFixture;
    fx->writeConfig(config);
    f = fx->start();
    f->resize(900, 650);
    f->show();
    QVERIFY(QTest::qWaitForWindowExposed(f));
  }
  // Loads an address into the window and reads its text once that page is
  // there, complete.
  QString textOf(TBrowserChild* c, const QString& url) {
    c->Control()->Navigate(url);
    QString text = QStringLiteral("<not loaded>");
    (void)QTest::qWaitFor(
        [&] {
          const QString r = pageScript(c,
                                       "document.readyState == 'complete' && document.body ? "
                                       "location.href + '\\n' + document.body.innerText.trim() : ''",
                                       2000);
          const qsizetype cut = r.indexOf(u'\n');
          if (cut < 0 || QUrl(r.left(cut)) != QUrl(url)) return false;
          text = r.mid(cut + 1);
          return true;
        },
        20000);
    return text;
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    const QByteArray noCharset = "Content-Type: text/html\r\n";
    server.answers["/sjis.html"] = {noCharset, undeclaredPage("Shift_JIS")};
    server.answers["/euc.html"] = {noCharset, undeclaredPage("EUC-JP")};
    server.answers["/jis.html"] = {noCharset, undeclaredPage("ISO-2022-JP")};
    // Bytes that would read as Japanese, in a page that says they are not.
    server.answers["/declared.html"] = {noCharset, "<html><head><meta charset=\"windows-1252\"></head><body>" +
                                                       encoded("Shift_JIS", kText) + "</body></html>"};
    server.answers["/menu.html"] = {
        "Content-Type: text/html; charset=utf-8\r\n",
        "<!DOCTYPE html><title>menu</title><style>body{font:20px sans-serif;margin:20px}</style>"
        "<p><a id=link href='/sjis.html'>リンクの文字</a></p><p id=text>選択する文章です</p>"
        "<p><input id=field value='入力欄'> <img id=image src='/image.png' width=48 height=48></p>"};
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    server.answers["/image.png"] = {"Content-Type: image/png\r\n", png.data()};
  }
  void cleanup() { endFrame(fx); }

  void undeclaredEncodingsReadBack_data() { addEngineRows(); }
  void undeclaredEncodingsReadBack() {
    QFETCH(QByteArray, config);
    startFrame(config);
    const bool ie = QByteArray(QTest::currentDataTag()) == "Internet Explorer";

    TBrowserChild* c = openPage(f, QStringLiteral("about:blank"), QString());
    QVERIFY(c);
    QCOMPARE(textOf(c, server.url("/sjis.html")), kText);
    QTRY_COMPARE(c->windowTitle(), kTitle);
    screenshot(ie ? "jatext-sjis-ie.png" : "jatext-sjis-gekko.png");
    QCOMPARE(textOf(c, server.url("/euc.html")), kText);
    QCOMPARE(textOf(c, server.url("/jis.html")), kText);

    // A local file in UTF-8 without a word about its encoding.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("日本語.html"));
    {
      QFile out(path);
      QVERIFY(out.open(QIODevice::WriteOnly));
      out.write(undeclaredPage("UTF-8"));
    }
    QCOMPARE(textOf(c, QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)), kText);

    // A page that declares its encoding is read in that encoding.
    const QString latin = QStringDecoder("windows-1252").decode(encoded("Shift_JIS", kText));
    QCOMPARE(textOf(c, server.url("/declared.html")), latin);
    QCOMPARE(pageScript(c, "document.characterSet"), QString("windows-1252"));

    // The engine's page for an address that cannot load is Japanese.
    c->Control()->Navigate(QStringLiteral("http://nothing.invalid/"));
    const QString expected = ie ? QStringLiteral("アクセスできません") : QStringLiteral("見つかりません");
    QTRY_VERIFY_WITH_TIMEOUT(pageScript(c, "document.body ? document.body.innerText : ''").contains(expected), 30000);
    screenshot(ie ? "jatext-error-ie.png" : "jatext-error-gekko.png");
    QVERIFY(fx->errors.isEmpty());
  }

  void internetExplorerContextMenu() {
    startFrame("[General]\nLastEngine=IE\n[Option_Main]\nMozilla=1\n");
    TBrowserChild* c = openPage(f, server.url("/menu.html"), "menu");
    QVERIFY(c);
    QCOMPARE(c->windowTitle(), QString("menu"));
    const QString extension = QStringLiteral("もう一方のエンジンで開く");

    // Over a link: the link's items, then the window's own.
    QVERIFY(rightClick(c, "#link"));
    QMenu* menu = openedMenu();
    QVERIFY(menu);
    QCOMPARE(captions(menu), (QStringList{"新しいウィンドウで開く", "名前を付けてリンク先を保存...",
                                          "リンクのアドレスをコピー", "-", extension}));
    QCOMPARE(menu->actions().last()->objectName(), QString("mnuPageOtherEngine"));
    QCOMPARE(QAccessible::queryAccessibleInterface(menu)->child(0)->text(QAccessible::Name), "新しいウィンドウで開く");
    screenshot("jatext-menu-link-ie.png");
    item(menu, "mnuPageCopyLinkAddress")->trigger();
    menu->close();
    QTRY_COMPARE(QApplication::clipboard()->text(), server.url("/sjis.html"));

    // Over a selection: copying it.
    pageScript(c,
               "var r=document.createRange();r.selectNodeContents(document.getElementById('text'));"
               "getSelection().removeAllRanges();getSelection().addRange(r);1");
    QVERIFY(rightClick(c, "#text"));
    menu = openedMenu();
    QVERIFY(menu);
    QCOMPARE(captions(menu), (QStringList{"コピー", "-", extension}));
    screenshot("jatext-menu-selection-ie.png");
    item(menu, "mnuPageCopy")->trigger();
    menu->close();
    QTRY_COMPARE(QApplication::clipboard()->text(), QString("選択する文章です"));

    // Elsewhere: the page's own items; no history yet.
    pageScript(c, "getSelection().removeAllRanges();1");
    QVERIFY(rightClick(c, QPoint(300, 280)));
    menu = openedMenu();
    QVERIFY(menu);
    QCOMPARE(captions(menu),
             (QStringList{"戻る", "進む", "再読み込み", "-", "すべて選択", "ページのソースを表示", "-", extension}));
    QVERIFY(!item(menu, "mnuPageBack")->isEnabled());
    // The source opens in a window of its own, not taken for a pop-up.
    item(menu, "mnuPageViewSource")->trigger();
    menu->close();
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->Control()->LocationURL(), "view-source:" + server.url("/menu.html"),
                              20000);
    f->ActiveMDIChild()->close();
    QTRY_COMPARE(f->MDIChildCount(), 1);
    f->MDIClient->setActiveSubWindow(c);

    // In a field: editing.
    QVERIFY(rightClick(c, "#field"));
    menu = openedMenu();
    QVERIFY(menu);
    QCOMPARE(captions(menu), (QStringList{"切り取り", "コピー", "貼り付け", "すべて選択", "-", extension}));
    menu->close();

    // Over an image: the image's items; its address copied.
    QVERIFY(rightClick(c, "#image"));
    menu = openedMenu();
    QVERIFY(menu);
    QCOMPARE(captions(menu), (QStringList{"画像を保存...", "画像のアドレスをコピー", "画像をコピー", "-", extension}));
    item(menu, "mnuPageCopyImageAddress")->trigger();
    menu->close();
    QTRY_COMPARE(QApplication::clipboard()->text(), server.url("/image.png"));

    // A link opened in a new window goes through the frame.
    QVERIFY(rightClick(c, "#link"));
    menu = openedMenu();
    QVERIFY(menu);
    item(menu, "mnuPageOpenLinkInNewWindow")->trigger();
    menu->close();
    QTRY_COMPARE_WITH_TIMEOUT(f->MDIChildCount(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(f->ActiveMDIChild()->Control()->LocationURL(), server.url("/sjis.html"), 20000);
    QVERIFY(fx->errors.isEmpty());
  }

  // WebKit's own menu, in Japanese through its translation and the items
  // the host puts in for those it lacks: chosen by keyboard, as the host's
  // menu is not a widget of ours.
  void gekkoContextMenu() {
    startFrame("[General]\nLastEngine=Gecko\n[Option_Main]\nMozilla=1\n");
    TBrowserChild* c = openPage(f, server.url("/menu.html"), "menu");
    QVERIFY(c);
    QCOMPARE(c->windowTitle(), QString("menu"));
    pageScript(c,
               "var r=document.createRange();r.selectNodeContents(document.getElementById('text'));"
               "getSelection().removeAllRanges();getSelection().addRange(r);1");
    QVERIFY(rightClick(c, "#text"));
    QTest::qWait(1500);
    screenshot("jatext-menu-selection-gekko.png");
    // The first item, コピー, is the program's own standing in for WebKit's.
    QApplication::clipboard()->clear();
    QVERIFY(xdotool({"key", "Down"}));
    QTest::qWait(200);
    QVERIFY(xdotool({"key", "Return"}));
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::clipboard()->text(), QString("選択する文章です"), 10000);
    QVERIFY(rightClick(c, "#link"));
    QTest::qWait(1500);
    screenshot("jatext-menu-link-gekko.png");
    QVERIFY(xdotool({"key", "Escape"}));
    QVERIFY(rightClick(c, "#field"));
    QTest::qWait(1500);
    screenshot("jatext-menu-field-gekko.png");
    QVERIFY(xdotool({"key", "Escape"}));
    QVERIFY(fx->errors.isEmpty());
  }
};

ZELVO_TEST_MAIN(TestJapaneseText)
#include "test_japanese_text.moc"
