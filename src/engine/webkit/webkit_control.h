#pragma once

#include <QPointer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine_control.h"
#include "engine/find_position.h"

class QWindow;
class WebKitHost;
class PageServices;
class PageSecurity;
class PagePermissions;
class FullScreenWindow;
class NotificationPopup;
namespace wkproto {
class Message;
}

// The "Gecko" slot: WebKitGTK, rendered by the separate program
// zelvo-webkit-host. One host process serves every control; each control
// owns one view in it and embeds that view's X11 window. When the host dies
// the control shows an error page of its own, and Refresh/Navigate start a
// new host at the last address.
class TMozillaBrowser : public IWebBrowser2 {
  Q_OBJECT
 public:
  // A private control's view is in the host's ephemeral web context.
  explicit TMozillaBrowser(QWidget* parent = nullptr, bool isPrivate = false);
  ~TMozillaBrowser() override;

  void GoBack() override;
  void GoForward() override;
  void Navigate(const QString& URL) override;
  void Refresh() override;
  void Stop() override;
  void ExecWB(int cmdID, int cmdexecopt, const QVariant& input = QVariant()) override;
  QString LocationURL() const override { return location_; }
  bool Busy() const override { return busy_; }
  void FindText(const QString& text, bool backward, bool caseSensitive) override;
  void StopFinding() override;
  QList<TravelEntry> BackEntries(int max) const override { return back_.mid(0, max); }
  QList<TravelEntry> ForwardEntries(int max) const override { return forward_.mid(0, max); }
  void GoToEntry(int steps) override;
  // sessions (webkit_session.cpp): the host's record of the view's history
  // arrives after each change and is kept here, so it outlives the host.
  QByteArray SaveHistory() const override { return historyState_; }
  bool RestoreHistory(const QByteArray& state) override;
  double ZoomFactor() const override { return pageZoom_; }
  void SetZoomFactor(double factor) override;
  bool ViewSource() override;
  void ShowDevTools() override;
  // ---- Printing (webkit_print.cpp)
  void PrintToPdf(const QString& path, const QPageLayout& layout) override;
  // Saved passwords: the host runs the fill in the login-form script's world.
  void FillPassword(const QString& origin, int form, int userField, int passwordField, const QString& user,
                    const QString& password) override;

  // The zoom level of each text size 0..4.
  static double zoomLevelFor(int size);

  // True while the host is gone and the error page stands in for the view.
  bool showsHostErrorPage() const { return errorPage_ != nullptr; }
  // The embedded view's window (0 until the host reported it).
  quint64 viewWindowId() const { return xid_; }

  // Runs a script in the page; done(value, error) gets its result as text.
  // For tests and diagnostics: the interface has no such operation.
  void runJavaScript(const QString& script, std::function<void(const QString&, const QString&)> done);
  // Ends this view's web process, as a crash would.
  void terminateWebProcess();
  // The running host's process id, or 0.
  static qint64 hostProcessId();
  // Starts the host (and its network process) before a view needs it.
  static void readyHost();
  // Ends a host that no view uses.
  static void releaseIdleHost();
  // The host program to use instead of the one beside the program or in
  // the libexec folder; tests point it at the build (empty: the usual search).
  static void setHostProgramForTests(const QString& path);
  PageServices* services() const { return services_; }
  PageSecurity* Security() const override { return security_; }
  PagePermissions* permissions() const { return permissions_; }
  // How often the host is asked whether it is alive, and after how many
  // unanswered asks it is taken for hung.
  static void setLivenessForTests(int intervalMs, int ticks);

  // --- cookies and site data (webkit_site_data.cpp): commands to the host
  // as a whole, which is started for them when none runs; its "site-data"
  // events (and "site-data-lost" when it ends) go to the listener.
  static void sendHostCommand(const wkproto::Message& m);
  static void setSiteDataListener(std::function<void(const wkproto::Message&)> listener);
  // Whether pages may set cookies for other sites than their own (never by
  // default); every host started from now on hears of it.
  static void setThirdPartyCookies(bool allow);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void ContextActionsChanged() override;

 private:
  friend class WebKitHost;
  void hostMessage(const wkproto::Message& m);
  void hostLost();

  bool startView(QString* error);
  void ensureView();
  void requireView() const;
  void send(wkproto::Message m);
  void embed(quint64 xid);
  void dropContainer();
  void showHostErrorPage(const QString& why);
  void focusPage();
  void passKeyToFrame(const wkproto::Message& m);
  // The host hands the frame's keys over before the page sees them; it
  // hears of them again whenever the frame's actions change.
  void scheduleFrameKeys();
  void sendFrameKeys();
  void focusLeavesPage(bool forward);
  void beginLoad();
  void endLoad();
  // The host builds the page's context menu: it holds a copy of the
  // window's items, and a chosen one comes back as "context-action".
  void sendContextItems();
  void pageDialog(const wkproto::Message& m);
  void newWindow(const wkproto::Message& m);
  // Takes the page a click opened in another view of the same host.
  bool adoptOpened(qint64 pending);
  // Sign-in, certificate errors and the secure state (webkit_security.cpp):
  // true when the event was one of those alone.
  bool securityEvent(const wkproto::Message& m);
  // The host's answers to a search, and its copy of the view's history.
  void findEvent(const wkproto::Message& m);
  void travelEvent(const wkproto::Message& m);
  // Permission requests, notifications and full screen of the page.
  void permissionRequest(const wkproto::Message& m);
  void notification(const wkproto::Message& m);
  void fullScreenChanged(bool on);
  // ---- Printing: the host's answers about the PDF it writes, and the
  // page's print(); true when the event was one of those. A host that goes
  // answers the PDF it was writing as failed.
  bool printEvent(const wkproto::Message& m);
  void printLost();
  QString printing_;

  QPointer<WebKitHost> host_;
  bool private_ = false;
  PageServices* services_ = nullptr;
  PageSecurity* security_ = nullptr;
  PagePermissions* permissions_ = nullptr;
  std::unique_ptr<FullScreenWindow> fullScreen_;
  std::map<qint64, QPointer<NotificationPopup>> notifications_;
  int viewId_ = 0;
  quint64 xid_ = 0;
  QWindow* foreign_ = nullptr;
  QWidget* container_ = nullptr;
  QWidget* errorPage_ = nullptr;

  QString location_;
  QString title_;
  QString status_;
  bool busy_ = false;
  int lastProgress_ = -1;
  double zoom_ = 1.0;
  qint64 nextScript_ = 1;
  std::map<qint64, std::function<void(const QString&, const QString&)>> scripts_;
  std::vector<QMetaObject::Connection> contextWatch_;
  std::vector<QMetaObject::Connection> frameKeyWatch_;
  std::string frameKeysSent_;
  bool frameKeysPending_ = false;
  // The search under way: WebKit tells only how many matches there are and
  // whether a step found one, so which one is current is counted here.
  struct FindRequest {
    QString text;
    bool backward = false;
  };
  QString findText_;
  bool findCase_ = false;
  bool finding_ = false;
  FindPosition findPosition_;
  // Requests the host has not answered yet, oldest first: it answers in
  // order, and answers to a text typed past are dropped.
  std::deque<FindRequest> findAnswers_;
  std::deque<QString> countAnswers_;
  QList<TravelEntry> back_, forward_;
  // sessions
  void historyStateEvent(const wkproto::Message& m);
  QByteArray historyState_;
  // Page zoom, source and inspector (webkit_tools.cpp). The view's zoom is
  // the text size's level times the page zoom.
  bool toolsEvent(const wkproto::Message& m);
  void sendZoom();
  double pageZoom_ = 1.0;
};
