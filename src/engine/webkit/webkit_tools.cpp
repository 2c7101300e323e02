// Page zoom, the page's source and the engine's inspector in a Gekko
// window; the host does the work.
#include <QByteArray>
#include <algorithm>

#include "engine/webkit/webkit_control.h"
#include "engine/webkit/webkit_protocol.h"
#include "page/source_window.h"

namespace {
QString qstr(const std::string& s) { return QString::fromStdString(s); }
constexpr double kMinFactor = 0.25, kMaxFactor = 5.0;
}  // namespace

void TMozillaBrowser::SetZoomFactor(double factor) {
  // Kept for a view started later (a new host) as well.
  pageZoom_ = std::clamp(factor, kMinFactor, kMaxFactor);
  sendZoom();
}

bool TMozillaBrowser::ViewSource() {
  requireView();
  send(wkproto::Message().set("cmd", "source"));
  return true;
}

void TMozillaBrowser::ShowDevTools() {
  requireView();
  send(wkproto::Message().set("cmd", "inspect"));
}

bool TMozillaBrowser::toolsEvent(const wkproto::Message& m) {
  const std::string ev = m.str("ev");
  if (ev == "zoom-wheel") {
    const int steps = static_cast<int>(std::clamp<std::int64_t>(m.integer("steps"), -10, 10));
    if (steps != 0) emit ZoomWheel(steps);
    return true;
  }
  if (ev == "source") {
    const QByteArray data = QByteArray::fromBase64(QByteArray::fromStdString(m.str("data")));
    const QString uri = qstr(m.str("uri"));
    SourceWindow::show(uri.isEmpty() ? location_ : uri, data, qstr(m.str("charset")), m.boolean("cut"));
    return true;
  }
  return false;
}
