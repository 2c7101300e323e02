#include "zoom/page_zoom.h"

#include "engine/engine_control.h"
#include "platform/guarded.h"
#include "zoom/zoom_rules.h"
#include "zoom/zoom_store.h"

PageZoom::PageZoom(IWebBrowser2* control, std::function<bool()> remember)
    : QObject(control), control_(control), remember_(std::move(remember)), level_(zoom::kDefaultLevel) {
  setObjectName(QStringLiteral("PageZoom"));
  connect(control, &IWebBrowser2::NavigateComplete2, this,
          [this](const QString& url) { guarded::run([&] { pageShown(url); }); });
  connect(control, &IWebBrowser2::ZoomWheel, this, [this](int steps) {
    guarded::run([&] {
      int level = level_;
      for (int i = 0; i < steps; ++i) level = zoom::nextLevel(level);
      for (int i = 0; i > steps; --i) level = zoom::previousLevel(level);
      choose(level);
    });
  });
}

PageZoom* PageZoom::of(const IWebBrowser2* control) {
  return control ? control->findChild<PageZoom*>(QStringLiteral("PageZoom"), Qt::FindDirectChildrenOnly) : nullptr;
}

void PageZoom::zoomIn() { choose(zoom::nextLevel(level_)); }
void PageZoom::zoomOut() { choose(zoom::previousLevel(level_)); }
void PageZoom::reset() { choose(zoom::kDefaultLevel); }

void PageZoom::choose(int level) {
  apply(level);
  if (remember_()) zoom::storeLevel(control_->LocationURL(), level_);
}

void PageZoom::apply(int level) {
  level = zoom::clampLevel(level);
  if (level == level_) return;
  level_ = level;
  control_->SetZoomFactor(level_ / 100.0);
  emit levelChanged(level_);
}

void PageZoom::pageShown(const QString& url) {
  // Within one site the level the user chose there stays.
  const QString site = zoom::siteKey(url);
  if (site == site_) return;
  site_ = site;
  apply(zoom::storedLevel(url));
}
