// Page zoom, Ctrl+wheel and the engine's developer tools.
#include <QChildEvent>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <algorithm>

#include "engine/webengine/web_engine_control.h"

namespace {
// The engine takes factors from 25% to 500%.
constexpr double kMinFactor = 0.25, kMaxFactor = 5.0;
}  // namespace

void TWebBrowser::SetZoomFactor(double factor) {
  pageZoom_ = std::clamp(factor, kMinFactor, kMaxFactor);
  applyZoom();
}

void TWebBrowser::applyZoom() { view_->setZoomFactor(std::clamp(textZoom_ * pageZoom_, kMinFactor, kMaxFactor)); }

void TWebBrowser::watchZoomWheel(QObject* widget) {
  widget->removeEventFilter(this);
  widget->installEventFilter(this);
}

bool TWebBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_) {
    if (event->type() == QEvent::ChildAdded) {
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child->isWidgetType()) watchZoomWheel(child);
    }
    return false;
  }
  if (event->type() != QEvent::Wheel) return false;
  auto* wheel = static_cast<QWheelEvent*>(event);
  if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
  // Whole notches of 120; a touchpad's small deltas add up to them.
  wheelRest_ += wheel->angleDelta().y();
  const int steps = wheelRest_ / 120;
  wheelRest_ -= steps * 120;
  if (steps != 0) emit ZoomWheel(steps);
  return true;
}

void TWebBrowser::ShowDevTools() {
  if (!devTools_) {
    auto* tools = new QWebEngineView();
    tools->setObjectName(QStringLiteral("DevTools"));
    tools->setAttribute(Qt::WA_DeleteOnClose);
    // The page's own profile: a private window's inspector keeps nothing either.
    tools->setPage(new QWebEnginePage(view_->page()->profile(), tools));
    view_->page()->setDevToolsPage(tools->page());
    tools->resize(900, 600);
    devTools_ = tools;
  }
  const QString url = LocationURL();
  devTools_->setWindowTitle(QStringLiteral("開発者ツール - ") + (url.isEmpty() ? QStringLiteral("about:blank") : url));
  devTools_->show();
  devTools_->raise();
  devTools_->activateWindow();
}
