#pragma once

#include <QObject>

// Readies an engine before its first window is asked for, so that the first
// window of either kind opens as quickly as the next one: Qt WebEngine's
// profile and a spare page with its renderer, or the WebKit host with its
// network process. Each step runs on its own from the event loop, so the
// frame stays responsive. A failure here is not reported: the window that
// needs the engine reports it.
class TEngineReadiness : public QObject {
  Q_OBJECT
 public:
  explicit TEngineReadiness(QObject* owner);
  // A WebKit host readied but never used is let go.
  ~TEngineReadiness() override;

  // Each engine is readied once; later calls for it do nothing.
  void ready(bool webEngine);

 private:
  bool webEngineReadied_ = false;
  bool webKitReadied_ = false;
};
