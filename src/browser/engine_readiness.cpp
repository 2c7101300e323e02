#include "browser/engine_readiness.h"

#include <QTimer>

#include "engine/webengine_side.h"
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
    // Three steps: the library, the profile that brings up the engine
    // itself, the spare page its first renderer.
    QTimer::singleShot(0, this, [this] {
      try {
        IWebEngineSide& side = webengine_side::get();
        QTimer::singleShot(0, this, [this, &side] {
          side.prepareProfile();
          QTimer::singleShot(0, this, [&side] { side.prepareSparePage(); });
        });
      } catch (const ZelvoError&) {
        // Said by the first window that needs it.
      }
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
