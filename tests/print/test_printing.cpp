// Printing and PDF documents in both engines, through the frame with the
// real engines and a local server: the print dialog's "PDF に保存" gives a
// PDF that holds the page's Japanese text, a page's print() in a loop opens
// one dialog, and a PDF the server sends is shown in the window, not
// downloaded.
#include <QBuffer>
#include <QComboBox>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

#include "frame_fixture.h"
#include "http_server.h"
#include "page/downloads.h"
#include "page_test_util.h"
#include "print/page_printer.h"
#include "test_main.h"

namespace {

const QString kText = QStringLiteral("印刷される日本語の文章");

QString pdfText(const QString& path) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
  if (!p.waitForFinished(30000)) return QStringLiteral("<pdftotext failed>");
  return QString::fromUtf8(p.readAllStandardOutput());
}

QList<QPrintDialog*> printDialogs() {
  QList<QPrintDialog*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QPrintDialog*>(w); d && d->isVisible()) out << d;
  return out;
}

QByteArray pdfOf(const QString& text) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter writer(&buffer);
  QPainter(&writer).drawText(QPointF(500, 1000), text);
  return bytes;
}

}  // namespace

class TestPrinting : public QObject {
  Q_OBJECT

  TestHttpServer server;
  QTranslator japanese;
  FrameFixture* fx = nullptr;
  TMainForm* f = nullptr;

  TBrowserChild* open(const QByteArray& config, const char* path, const QString& title) {
    fx = new FrameFixture;
    f = fx->startShown(config, QSize(1000, 720));
    if (!f) return nullptr;
    return openPage(f, server.url(path), title);
  }

 private slots:
  void initTestCase() {
    QVERIFY(server.isListening());
    TMozillaBrowser::setHostProgramForTests(QStringLiteral(ZELVO_TEST_HOST));
    // The dialog as the program shows it: in Japanese.
    if (japanese.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      QCoreApplication::installTranslator(&japanese);
    server.pages["/page.html"] = "<!DOCTYPE html><meta charset=utf-8><title>印刷</title><h1>" + kText.toUtf8() +
                                 "</h1><p>二段落目も日本語です。</p>";
    // More pages in landscape than upright.
    server.pages["/long.html"] =
        "<!DOCTYPE html><meta charset=utf-8><title>長い</title>"
        "<style>div{height:100mm}</style><div>一</div><div>二</div><div>三</div>"
        "<div>四</div><div>五</div>";
    server.pages["/doc.pdf"] = pdfOf(QStringLiteral("PDF の文書"));
    server.types["/doc.pdf"] = "application/pdf";
  }

  void cleanup() { endFrame(fx); }

  // ファイル > 印刷..., "PDF に保存" chosen in the dialog, a file name typed,
  // OK: the file is the page as PDF, its text searchable.
  void printToPdfFile_data() { addEngineRows(); }
  void printToPdfFile() {
    QFETCH(QByteArray, config);
    TBrowserChild* c = open(config, "/page.html", QStringLiteral("印刷"));
    QVERIFY(c);
    QAction* item = f->findChild<QAction*>(QStringLiteral("mnuFile_Print"));
    QVERIFY(item && item->isEnabled());
    QCOMPARE(item->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    item->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(printDialogs().size(), 1, 10000);
    QPrintDialog* dialog = printDialogs().first();

    auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
    QVERIFY(printers);
    const int pdf = printers->findText(QStringLiteral("PDF に保存"));
    QVERIFY2(pdf >= 0, "the dialog offers PDF に保存");
    printers->setCurrentIndex(pdf);
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    QVERIFY(name && name->isEnabled());
    const QString target = fx->path(QStringLiteral("印刷結果.pdf"));
    name->setText(target);
    PagePrinter* printer = PagePrinter::of(c->Control());
    QSignalSpy ended(printer, &PagePrinter::ended);
    dialog->accept();
    QVERIFY(ended.wait(30000));
    QVERIFY2(fx->errors.isEmpty(), qPrintable(fx->errors.join(u'\n')));
    const QString text = pdfText(target);
    QVERIFY2(text.contains(kText), qPrintable(text));
  }

  // 印刷プレビュー... shows the page as the engine laid it out, and lays it
  // out again when the orientation changes.
  void preview_data() { addEngineRows(); }
  void preview() {
    QFETCH(QByteArray, config);
    TBrowserChild* c = open(config, "/long.html", QStringLiteral("長い"));
    QVERIFY(c);
    f->findChild<QAction*>(QStringLiteral("mnuFile_PrintPreview"))->trigger();
    PagePrinter* printer = PagePrinter::of(c->Control());
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QPrintPreviewDialog*>(printer->dialog()), 30000);
    auto* view = printer->dialog()->findChild<QPrintPreviewWidget*>();
    QVERIFY(view);
    QTRY_VERIFY_WITH_TIMEOUT(view->pageCount() > 1, 10000);
    const int portrait = view->pageCount();
    view->setLandscapeOrientation();
    QTRY_VERIFY_WITH_TIMEOUT(view->pageCount() > portrait, 30000);
    QSignalSpy ended(printer, &PagePrinter::ended);
    printer->dialog()->reject();
    QVERIFY(ended.count() == 1 || ended.wait(10000));
    QVERIFY2(fx->errors.isEmpty(), qPrintable(fx->errors.join(u'\n')));
  }

  // A page that calls print() again and again gets one dialog at a time.
  void pagePrintLoop_data() { addEngineRows(); }
  void pagePrintLoop() {
    QFETCH(QByteArray, config);
    TBrowserChild* c = open(config, "/page.html", QStringLiteral("印刷"));
    QVERIFY(c);
    QCOMPARE(pageScript(c, QStringLiteral("for (var i = 0; i < 20; i++) window.print(); 'ok'")), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(printDialogs().size(), 1, 10000);
    printDialogs().first()->reject();
    QTRY_COMPARE(printDialogs().size(), 0);
  }

  // A PDF from the server shows in the window, as a PDF document with the
  // engine's viewer in it; nothing is offered for download.
  void pdfShown_data() { addEngineRows(); }
  void pdfShown() {
    QFETCH(QByteArray, config);
    TBrowserChild* c = open(config, "/doc.pdf", QString());
    QVERIFY(c);
    const QString viewer = QStringLiteral(
        "document.contentType + (document.querySelector('embed[type=\"application/pdf\"], "
        "iframe[src^=\"webkit-pdfjs-viewer:\"]') ? ' viewer' : '')");
    QTRY_COMPARE_WITH_TIMEOUT(pageScript(c, viewer), QStringLiteral("application/pdf viewer"), 20000);
    QCOMPARE(c->Control()->LocationURL(), server.url("/doc.pdf"));
    QCOMPARE(DownloadManager::instance()->waiting(c), 0);
    QVERIFY(fx->errors.isEmpty());
    if (!c->IsIE()) return;  // Gekko's viewer has a save button of its own
    // 名前をつけて保存 offers the document itself as a download.
    f->findChild<QAction*>(QStringLiteral("mnuFile_SaveAs"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(DownloadManager::instance()->question(c), 10000);
    QCOMPARE(DownloadManager::instance()->question(c)->selectedFiles().value(0).section(u'/', -1),
             QStringLiteral("doc.pdf"));
  }
};

ZELVO_TEST_MAIN(TestPrinting)
#include "test_printing.moc"
