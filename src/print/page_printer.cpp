#include "print/page_printer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>

#include "engine/engine_control.h"
#include "page/page_services.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/guarded.h"
#include "platform/user_folders.h"

namespace {

// Qt's dialog lists the PDF file printer last under a name of its own.
void nameFilePrinter(QPrintDialog* dialog) {
  const QString qtName = QCoreApplication::translate("QPrintDialog", "Print to File (PDF)");
  for (QComboBox* box : dialog->findChildren<QComboBox*>(QStringLiteral("printers"))) {
    const int i = box->findText(qtName);
    if (i >= 0) box->setItemText(i, QStringLiteral("PDF に保存"));
  }
}

}  // namespace

PagePrinter* PagePrinter::of(IWebBrowser2* control) {
  if (auto* p = control->findChild<PagePrinter*>(QString(), Qt::FindDirectChildrenOnly)) return p;
  return new PagePrinter(control);
}

PagePrinter::PagePrinter(IWebBrowser2* control) : QObject(control), control_(control) {
  clock_.start();
  connect(control, &IWebBrowser2::PdfPrinted, this,
          [this](const QString& path, const QString& error) { guarded::run([&] { pdfPrinted(path, error); }); });
  connect(control, &IWebBrowser2::PrintRequested, this,
          [this] { guarded::run([this] { start(print::PrintGate::From::Page); }); });
}

PagePrinter::~PagePrinter() {
  if (dialog_) delete dialog_.data();
}

QWidget* PagePrinter::window() const { return control_; }

void PagePrinter::print() { start(print::PrintGate::From::User); }

void PagePrinter::start(print::PrintGate::From from) {
  if (!gate_.begin(from, clock_.elapsed())) {
    if (dialog_ && from == print::PrintGate::From::User) {
      dialog_->raise();
      dialog_->activateWindow();
    }
    return;
  }
  printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
  auto* dialog = new QPrintDialog(printer_.get(), window());
  dialog->setObjectName(QStringLiteral("PrintDialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog->setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
  // The printer lives as long as the dialog that holds it.
  connect(dialog, &QObject::destroyed, [keep = printer_] {});
  connect(dialog, &QDialog::finished, this, [this](int result) {
    guarded::run([&] {
      if (result != QDialog::Accepted) return finish();
      try {
        render(printer_->pageLayout(), [this] { output(); });
      } catch (...) {
        finish();
        throw;
      }
    });
  });
  dialog_ = dialog;
  placeOver(dialog, window());
  dialog->show();
  nameFilePrinter(dialog);  // the list is filled as it shows
}

void PagePrinter::preview() {
  if (!gate_.begin(print::PrintGate::From::User, clock_.elapsed())) {
    if (dialog_) dialog_->raise();
    return;
  }
  try {
    printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
    render(printer_->pageLayout(), [this] { openPreview(); });
  } catch (...) {
    finish();
    throw;
  }
}

void PagePrinter::render(const QPageLayout& layout, std::function<void()> then) {
  if (!folder_) {
    auto folder = std::make_unique<QTemporaryDir>(user_folders::runtime() + QStringLiteral("/print-XXXXXX"));
    if (!folder->isValid()) throw EInOutError(QStringLiteral("%1 に書き込めません").arg(user_folders::runtime()));
    folder_ = std::move(folder);
  }
  // Each rendering gets a name of its own, so a late answer about an
  // earlier one is not taken for it.
  static int serial = 0;
  const QString path = folder_->filePath(QStringLiteral("page-%1.pdf").arg(++serial));
  then_ = std::move(then);
  pending_ = path;
  rendered_ = layout;
  try {
    control_->PrintToPdf(path, layout);
  } catch (...) {
    pending_.clear();
    then_ = nullptr;
    throw;
  }
}

void PagePrinter::pdfPrinted(const QString& path, const QString& error) {
  if (path.isEmpty() || path != pending_) return;
  pending_.clear();
  std::function<void()> then = std::exchange(then_, nullptr);
  const bool previewOpen = dialog_ && qobject_cast<QPrintPreviewDialog*>(dialog_);
  try {
    if (!error.isEmpty()) throw EEngineError(error);
    auto document = std::make_unique<QPdfDocument>();
    if (document->load(path) != QPdfDocument::Error::None || document->pageCount() < 1)
      throw EEngineError(QStringLiteral("エンジンの作った PDF を読めません"));
    document_ = std::move(document);
    pdf_ = path;
    if (then) then();
  } catch (...) {
    // An open preview stays with what it shows; a print ends here.
    if (!previewOpen) finish();
    throw;
  }
}

void PagePrinter::output() {
  QPrinter& printer = *printer_;
  const bool whole = printer.printRange() != QPrinter::PageRange;
  const bool toPdfFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
  const int copies = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
  if (print::copyEnginePdf(toPdfFile, whole, copies)) {
    QFile pdf(pdf_);
    if (!pdf.open(QIODevice::ReadOnly)) {
      finish();
      throw EInOutError(QStringLiteral("%1 を読めません").arg(pdf_));
    }
    QString why;
    if (!atomicReplaceFile(printer.outputFileName(), pdf.readAll(), &why)) {
      finish();
      throw EInOutError(QStringLiteral("%1 に書き込めません").arg(printer.outputFileName()));
    }
    return finish();
  }
  try {
    paint(printer, whole);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void PagePrinter::paint(QPrinter& printer, bool wholeDocument) {
  if (!document_) return;
  const int copies = printer.supportsMultipleCopies() ? 1 : printer.copyCount();
  const std::vector<int> pages =
      print::pagesToPrint(document_->pageCount(), wholeDocument ? 0 : printer.fromPage(),
                          wholeDocument ? 0 : printer.toPage(), copies, printer.collateCopies());
  if (pages.empty()) throw EEngineError(QStringLiteral("印刷するページがありません"));
  // The engine's pages carry their margins already.
  printer.setFullPage(true);
  QPainter painter;
  if (!painter.begin(&printer)) throw EInOutError(QStringLiteral("プリンターに出力できません"));
  // The preview draws the pages smaller than they were rendered.
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF paper(QPointF(0, 0), printer.paperRect(QPrinter::DevicePixel).size());
  bool first = true;
  for (int page : pages) {
    if (!first && !printer.newPage()) throw EInOutError(QStringLiteral("プリンターに出力できません"));
    first = false;
    const QSizeF points = document_->pagePointSize(page);
    const QImage image = document_->render(page, print::imageSize(points, printer.resolution()));
    painter.drawImage(print::fitOnPaper(points, paper), image);
  }
  if (!painter.end()) throw EInOutError(QStringLiteral("プリンターに出力できません"));
}

void PagePrinter::openPreview() {
  auto* dialog = new QPrintPreviewDialog(printer_.get(), window());
  dialog->setObjectName(QStringLiteral("PrintPreviewDialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(QStringLiteral("印刷プレビュー"));
  connect(dialog, &QObject::destroyed, [keep = printer_] {});
  connect(dialog, &QPrintPreviewDialog::paintRequested, this,
          [this](QPrinter* printer) { guarded::run([&] { paintPreview(printer); }); });
  connect(dialog, &QDialog::finished, this, [this] { guarded::run([this] { finish(); }); });
  dialog_ = dialog;
  dialog->resize(800, 700);
  dialog->show();
}

void PagePrinter::paintPreview(QPrinter* printer) {
  // A paper size or orientation other than the one the engine laid the
  // page out on: the page is laid out again, and meanwhile shown as it was.
  const QPageLayout wanted = printer->pageLayout();
  if (!(wanted == rendered_) && pending_.isEmpty()) {
    QPointer<QDialog> dialog = dialog_;
    render(wanted, [dialog] {
      if (!dialog) return;
      if (auto* view = dialog->findChild<QPrintPreviewWidget*>()) view->updatePreview();
    });
  }
  paint(*printer, true);
}

void PagePrinter::finish() {
  gate_.end(clock_.elapsed());
  pending_.clear();
  then_ = nullptr;
  document_.reset();
  folder_.reset();
  pdf_.clear();
  emit ended();
}
