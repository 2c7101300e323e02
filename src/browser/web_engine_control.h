#pragma once

#include <QUrl>

#include "browser/engine_control.h"

class QWebEngineView;
class QWebEngineProfile;
class QWebEngineDownloadRequest;

// The "Internet Explorer" slot: Qt WebEngine. All windows share one
// persistent profile (cookies, cache) under the user's data folder.
class TWebBrowser : public IWebBrowser2 {
  Q_OBJECT
 public:
  explicit TWebBrowser(QWidget* parent = nullptr);
  ~TWebBrowser() override;

  void GoBack() override;
  void GoForward() override;
  void Navigate(const QString& URL) override;
  void Refresh() override;
  void Stop() override;
  void ExecWB(int cmdID, int cmdexecopt, const QVariant& input = QVariant()) override;
  QString LocationURL() const override;
  bool Busy() const override;

  QWebEngineView* view() const { return view_; }
  // The zoom factor of each text size 0..4.
  static double zoomFactorFor(int size);
  static QWebEngineProfile* sharedProfile();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void reportHistory();
  // The engine's own items, then the window's (ContextActions()).
  void showContextMenu(const QPoint& pos);
  void showCrashPage(const QUrl& url);
  void watchDownload(QWebEngineDownloadRequest* download);

  QWebEngineView* view_;
  bool busy_ = false;
  bool crashed_ = false;
  QUrl crashedUrl_;
};
