#pragma once

#include <QStringList>

#include "engine/engine_control.h"
#include "platform/errors.h"

// A scripted engine control: records every call, and lets a test raise the
// engine's events by hand.
class FakeEngineControl : public IWebBrowser2 {
  Q_OBJECT
 public:
  explicit FakeEngineControl(bool ie, QWidget* parent = nullptr) : IWebBrowser2(parent), ie(ie) {}

  bool ie;
  QStringList calls;  // "Navigate:<url>", "GoBack", "ExecWB:<cmd>:<opt>:<input>", ...
  QString location;
  bool busy = false;
  bool failNext = false;  // the next operation throws EEngineError

  void GoBack() override { record(QStringLiteral("GoBack")); }
  void GoForward() override { record(QStringLiteral("GoForward")); }
  void Navigate(const QString& URL) override {
    record(QStringLiteral("Navigate:") + URL);
    location = URL;
  }
  void Refresh() override { record(QStringLiteral("Refresh")); }
  void Stop() override { record(QStringLiteral("Stop")); }
  void ExecWB(int cmd, int opt, const QVariant& input) override {
    record(QStringLiteral("ExecWB:%1:%2:%3").arg(cmd).arg(opt).arg(input.isValid() ? input.toString() : "-"));
  }
  void FindText(const QString& text, bool backward, bool caseSensitive) override {
    record(QStringLiteral("FindText:%1:%2:%3").arg(text).arg(backward).arg(caseSensitive));
  }
  void StopFinding() override { record(QStringLiteral("StopFinding")); }
  QList<TravelEntry> BackEntries(int max) const override { return back.mid(0, max); }
  QList<TravelEntry> ForwardEntries(int max) const override { return forward.mid(0, max); }
  void GoToEntry(int steps) override { record(QStringLiteral("GoToEntry:%1").arg(steps)); }
  QList<TravelEntry> back, forward;  // what the history lists hold, nearest first
  // Page zoom, source and developer tools.
  double zoomFactor = 1.0;
  double ZoomFactor() const override { return zoomFactor; }
  void SetZoomFactor(double factor) override {
    record(QStringLiteral("SetZoomFactor:%1").arg(factor));
    zoomFactor = factor;
  }
  bool ViewSource() override {
    record(QStringLiteral("ViewSource"));
    return !ie;
  }
  void ShowDevTools() override { record(QStringLiteral("ShowDevTools")); }
  QString LocationURL() const override { return location; }
  bool Busy() const override { return busy; }

  // Raising events as the engine would.
  void status(const QString& t) { emit StatusTextChange(t); }
  void progressTo(qint32 p, qint32 max) { emit ProgressChange(p, max); }
  void commandState(qint32 c, bool e) { emit CommandStateChange(c, e); }
  void title(const QString& t) { emit TitleChange(t); }
  void findResult(int current, int total) { emit FindResult(current, total); }
  bool newWindow(const QString& url) {
    bool cancel = false;
    emit NewWindow2(url, &cancel);
    return cancel;
  }

 private:
  void record(const QString& call) {
    if (failNext) {
      failNext = false;
      throw EEngineError(QStringLiteral("エンジンの操作に失敗しました"));
    }
    calls << call;
  }
};
