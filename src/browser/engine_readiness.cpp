#include "browser/engine_readiness.h"

#include <QTimer>

#include "engine/webengine/web_engine_control.h"
#include "engine/webkit/webkit_control.h"
#include "platform/errors.h"

TEngineReadiness::TEngineReadiness(QObject* owner) : QObject(owner) {}

TEngineReadiness::~TEngineReadiness() {
  if (webKitReadied_) TMozillaBrowser::releaseIdleHost();
}

void TEngineReadiness::ready(bool webEngine) {
  if (webEngine) {
    if (webEngineReadied_) return;
    webEngineReadied_ = true;
    // Two steps: the profile brings up the engine itself, the spare page
    // its first renderer.
    QTimer::singleShot(0, this, [this] {
      TWebBrowser::sharedProfile();
      QTimer::singleShot(0, this, [] { TWebBrowser::prepareSparePage(); });
    });
    return;
  }
  if (webKitReadied_) return;
  webKitReadied_ = true;
  QTimer::singleShot(0, this, [] {
    try {
      TMozillaBrowser::readyHost();
    } catch (const ZelvoError&) {
      // Said by the first Gekko window, which needs the host.
    }
  });
}
