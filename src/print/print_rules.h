#pragma once

// What goes to the printer, and when a window may print, without widgets.
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <optional>
#include <vector>

namespace print {

// The pages (0-based) of a document of pageCount pages that go to the
// printer, in order: fromPage..toPage (1-based, both 0 for the whole
// document) clipped to the document, `copies` times. Collated copies come
// whole one after another; otherwise each page is repeated in place.
std::vector<int> pagesToPrint(int pageCount, int fromPage, int toPage, int copies, bool collate);

// The engine's PDF itself is the answer when it goes to a PDF file whole
// and once: the file keeps its text rather than pictures of the pages.
bool copyEnginePdf(bool toPdfFile, bool wholeDocument, int copies);

// Where a page of pageSize goes on paper: as large as fits, its shape
// kept, centred.
QRectF fitOnPaper(const QSizeF& pageSize, const QRectF& paper);

// The image size for a page of pointSize (1/72 inch) at the printer's
// resolution, which is capped at kMaxDpi: finer pictures only cost memory.
inline constexpr int kMaxDpi = 300;
QSize imageSize(const QSizeF& pointSize, int printerDpi);

// One print at a time per window. What the user asks for waits only for
// the print under way; a page's print() is also refused for a moment after
// the last print ended, so a page that calls it in a loop cannot keep the
// dialog on the screen.
class PrintGate {
 public:
  static constexpr qint64 kPageQuietMs = 3000;
  enum class From { User, Page };
  bool begin(From from, qint64 nowMs);
  void end(qint64 nowMs);
  bool busy() const { return busy_; }

 private:
  bool busy_ = false;
  std::optional<qint64> lastEnded_;
};

}  // namespace print
