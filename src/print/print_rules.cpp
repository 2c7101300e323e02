#include "print/print_rules.h"

#include <algorithm>
#include <cmath>

namespace print {

std::vector<int> pagesToPrint(int pageCount, int fromPage, int toPage, int copies, bool collate) {
  std::vector<int> pages;
  if (pageCount <= 0) return pages;
  int first = 1, last = pageCount;
  if (fromPage > 0 || toPage > 0) {
    first = std::max(1, fromPage);
    last = toPage > 0 ? std::min(toPage, pageCount) : pageCount;
  }
  copies = std::clamp(copies, 1, 999);
  if (first > last) return pages;
  if (collate) {
    for (int c = 0; c < copies; ++c)
      for (int p = first; p <= last; ++p) pages.push_back(p - 1);
  } else {
    for (int p = first; p <= last; ++p)
      for (int c = 0; c < copies; ++c) pages.push_back(p - 1);
  }
  return pages;
}

bool copyEnginePdf(bool toPdfFile, bool wholeDocument, int copies) { return toPdfFile && wholeDocument && copies <= 1; }

QRectF fitOnPaper(const QSizeF& pageSize, const QRectF& paper) {
  if (pageSize.isEmpty() || paper.isEmpty()) return {};
  const QSizeF fitted = pageSize.scaled(paper.size(), Qt::KeepAspectRatio);
  return QRectF(paper.left() + (paper.width() - fitted.width()) / 2,
                paper.top() + (paper.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

QSize imageSize(const QSizeF& pointSize, int printerDpi) {
  const int dpi = std::clamp(printerDpi, 72, kMaxDpi);
  return QSize(std::max(1, static_cast<int>(std::lround(pointSize.width() * dpi / 72.0))),
               std::max(1, static_cast<int>(std::lround(pointSize.height() * dpi / 72.0))));
}

bool PrintGate::begin(From from, qint64 nowMs) {
  if (busy_) return false;
  if (from == From::Page && lastEnded_ && nowMs - *lastEnded_ < kPageQuietMs) return false;
  busy_ = true;
  return true;
}

void PrintGate::end(qint64 nowMs) {
  if (!busy_) return;
  busy_ = false;
  lastEnded_ = nowMs;
}

}  // namespace print
