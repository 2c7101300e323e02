#pragma once

#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>

#include "engine/engine_control.h"

class QEventLoop;
class QWebEngineView;
class QWebEngineProfile;
class QWebEngineDownloadRequest;
class PageServices;
class PageSecurity;
class QAuthenticator;
class QWebEngineCertificateError;
class PagePermissions;
class FullScreenWindow;
class QWebEnginePage;
struct PageDialogRequest;
struct PageDialogAnswer;

// The "Internet Explorer" slot: Qt WebEngine. All windows share one
// persistent profile (cookies, cache) under the user's data folder; private
// windows share one off-the-record profile, gone with the last of them.
class TWebBrowser : public IWebBrowser2 {
  Q_OBJECT
 public:
  explicit TWebBrowser(QWidget* parent = nullptr, bool isPrivate = false);
  ~TWebBrowser() override;

  void GoBack() override;
  void GoForward() override;
  void Navigate(const QString& URL) override;
  void Refresh() override;
  void Stop() override;
  void ExecWB(int cmdID, int cmdexecopt, const QVariant& input = QVariant()) override;
  QString LocationURL() const override;
  bool Busy() const override;
  bool DeferClose() override;
  PageSecurity* Security() const override { return security_; }
  void FindText(const QString& text, bool backward, bool caseSensitive) override;
  void StopFinding() override;
  QList<TravelEntry> BackEntries(int max) const override;
  QList<TravelEntry> ForwardEntries(int max) const override;
  void GoToEntry(int steps) override;
  // sessions (web_engine_session.cpp)
  QByteArray SaveHistory() const override;
  bool RestoreHistory(const QByteArray& state) override;
  double ZoomFactor() const override { return pageZoom_; }
  void SetZoomFactor(double factor) override;
  bool ViewSource() override { return false; }
  void ShowDevTools() override;
  // ---- Printing (web_engine_print.cpp)
  void PrintToPdf(const QString& path, const QPageLayout& layout) override;
  // Saved passwords (web_engine_passwords.cpp).
  void FillPassword(const QString& origin, int form, int userField, int passwordField, const QString& user,
                    const QString& password) override;

  QWebEngineView* view() const { return view_; }
  // The zoom factor of each text size 0..4.
  static double zoomFactorFor(int size);
  static QWebEngineProfile* sharedProfile();
  // private windows: the off-the-record profile while one of them is open.
  static QWebEngineProfile* livePrivateProfile();
  // A page with a renderer of its own at about:blank, so that the first
  // window does not wait for the engine to come up; let go once a window
  // exists.
  static void prepareSparePage();
  PageServices* services() const { return services_; }
  PagePermissions* permissions() const { return permissions_; }
  // The engine waits for the answer: the dialog runs in an event loop of
  // its own while everything else goes on.
  PageDialogAnswer runPageDialog(const PageDialogRequest& request);
  // A link of the certificate page (its own scheme) was followed.
  void certificateAction(const QUrl& url);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void reportHistory();
  // The program's own items for what is under the pointer, then the
  // window's (ContextActions()).
  void showContextMenu(const QPoint& pos);
  void showCrashPage(const QUrl& url);
  void watchDownload(QWebEngineDownloadRequest* download);
  // Runs the nested event loop in which the engine waits for a dialog's
  // answer; answered() tells whether it came.
  void waitForAnswer(QEventLoop& loop, const std::function<bool()>& answered);
  // Sign-in, certificates and the secure state (web_engine_security.cpp).
  void watchSecurity();
  void signIn(const QUrl& url, QAuthenticator* auth, const QString& proxyHost);
  void certificateError(QWebEngineCertificateError error);
  void updateSecurity();
  // Permission requests and full screen, answered through the program's own questions and window.
  void watchPermissionsAndFullScreen(QWebEnginePage* page);
  // window.print() and the page's PDF, and PDF documents in the engine's viewer.
  void watchPrinting(QWebEnginePage* page);
  bool showsPdf_ = false;  // the page is a PDF document in the viewer
  // The login-form script in a world of its own, reporting over a web channel.
  void watchPasswords(QWebEnginePage* page);

  // private windows: holds the off-the-record profile this page uses.
  std::shared_ptr<QWebEngineProfile> privateProfile_;
  QWebEngineView* view_;
  PageServices* services_;
  PageSecurity* security_;
  QUrl certPageUrl_;  // refused for its certificate; its page follows the failed load
  QString certPageHtml_;
  PagePermissions* permissions_;
  std::unique_ptr<FullScreenWindow> fullScreen_;
  int dialogDepth_ = 0;  // page dialogs the engine is waiting for
  bool closing_ = false;
  bool busy_ = false;
  bool crashed_ = false;
  bool findCaseSensitive_ = false;  // of the last search
  QUrl crashedUrl_;
  // Page zoom and developer tools (web_engine_tools.cpp): the engine's zoom
  // is the text size's factor times the page zoom.
  void applyZoom();
  void watchZoomWheel(QObject* widget);
  double textZoom_ = 1.0;
  double pageZoom_ = 1.0;
  int wheelRest_ = 0;  // of a wheel turned with Ctrl, short of a notch
  QPointer<QWidget> devTools_;
};
