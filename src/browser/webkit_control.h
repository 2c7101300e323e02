#pragma once

#include "browser/engine_control.h"

// Placeholder until the WebKit host control lands (being written).
class TMozillaBrowser : public IWebBrowser2 {
  Q_OBJECT
 public:
  explicit TMozillaBrowser(QWidget* parent = nullptr);
  void GoBack() override {}
  void GoForward() override {}
  void Navigate(const QString& URL) override;
  void Refresh() override {}
  void Stop() override {}
  void ExecWB(int, int, const QVariant& = QVariant()) override {}
  QString LocationURL() const override { return {}; }
  bool Busy() const override { return false; }
};
