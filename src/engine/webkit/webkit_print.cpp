// Printing in a Gekko window: the host writes the page as PDF through
// WebKit's print operation on GTK's file printer, and passes the page's
// print() on.
#include <QDir>

#include "engine/webkit/webkit_control.h"
#include "engine/webkit/webkit_protocol.h"

void TMozillaBrowser::PrintToPdf(const QString& path, const QPageLayout& layout) {
  requireView();
  if (!printing_.isEmpty()) throw EEngineError(QStringLiteral("このウィンドウは印刷中です"));
  // GTK takes the paper upright and turns it by the orientation, as Qt's
  // page size does; margins are those of the page as laid out.
  const QSizeF paper = layout.pageSize().size(QPageSize::Millimeter);
  const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
  send(wkproto::Message()
           .set("cmd", "print-pdf")
           .set("path", QDir::toNativeSeparators(path).toStdString())
           .set("width", paper.width())
           .set("height", paper.height())
           .set("landscape", layout.orientation() == QPageLayout::Landscape)
           .set("left", margins.left())
           .set("top", margins.top())
           .set("right", margins.right())
           .set("bottom", margins.bottom()));
  printing_ = path;
}

bool TMozillaBrowser::printEvent(const wkproto::Message& m) {
  const std::string ev = m.str("ev");
  if (ev == "print-request") {
    emit PrintRequested();
    return true;
  }
  if (ev != "printed" && ev != "print-failed") return false;
  const QString path = QString::fromStdString(m.str("path"));
  if (path != printing_) return true;  // not the PDF waited for
  printing_.clear();
  emit PdfPrinted(
      path, ev == "printed"
                ? QString()
                : QStringLiteral("ページを PDF にできませんでした (%1)").arg(QString::fromStdString(m.str("message"))));
  return true;
}

void TMozillaBrowser::printLost() {
  if (printing_.isEmpty()) return;
  const QString path = std::exchange(printing_, QString());
  emit PdfPrinted(path, QStringLiteral("WebKit エンジンが終了したため印刷できませんでした"));
}
