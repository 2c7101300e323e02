// The WebKit host's shared state: its views, the protocol's two ends and
// the handlers each part of the host connects to a view's signals.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/webkit/webkit_protocol.h"
#include "page/frame_keys.h"

namespace host {

using wkproto::Message;

inline int protoOut = -1;  // the real stdout; fd 1 itself goes to stderr
inline int protoIn = -1;
inline WebKitWebContext* context = nullptr;
inline WebKitSettings* settings = nullptr;

// An item the frame adds to the page's context menu.
struct ContextItem {
  std::string label;
  bool enabled = true;
};

struct View {
  int id = 0;
  std::vector<ContextItem> contextItems;
  // The frame's own keys, which go to it before the page sees them.
  framekeys::KeyList frameKeys;
  GtkWidget* window = nullptr;
  WebKitWebView* web = nullptr;
  std::string status;
  bool canBack = false;
  bool canForward = false;
  // The address of the document shown (its load committed). The page's
  // requests are named by it, never by the address being loaded.
  std::string committedUri;
  // The address at which the page of a failed load (or of a dead web
  // process) is about to be shown: that commit shows no page of the site's.
  std::string errorPageUri;
  // A load the frame asked for (the user's address, history, reload) that
  // has not committed yet: the page shown is being left.
  bool userLoad = false;
  // Script dialogs the page waits for, by the id the frame answers with.
  std::map<std::int64_t, WebKitScriptDialog*> dialogs;
  // Sign-in requests waiting for the frame's answer, by id.
  std::map<std::int64_t, WebKitAuthenticationRequest*> auths;
  // The last load refused for its certificate, which "tls-allow" lets through.
  GTlsCertificate* tlsCertificate = nullptr;
  std::string tlsUri;
  std::string tlsHost;
  int certPage = 0;  // 1: the certificate page is loading, 2: it is shown
  // Permission requests waiting for the frame's answer, likewise, with the
  // address of the document that asked, and the page's questions about
  // what it has been allowed.
  struct Permission {
    WebKitPermissionRequest* request;
    std::string uri;
  };
  std::map<std::int64_t, Permission> permissions;
  std::map<std::int64_t, WebKitPermissionStateQuery*> permissionStates;
  double wheelRest = 0;                    // of a touchpad turned with Ctrl, short of a notch
  WebKitUserScript* zoomScript = nullptr;  // the zoom as the page's devicePixelRatio
  // private windows: the view is in the ephemeral web context.
  bool isPrivate = false;
};
inline std::map<int, View*> views;
// Windows a page opened on a click, kept until the frame gives them a view
// id of its own ("adopt") or drops them ("discard"). Their ids are negative.
inline std::map<int, View*> pendingViews;

// --- protocol (host_protocol.cpp)
void send(Message m);
Message event(const char* name, int view);
void sendError(int view, const std::string& text);
View* findView(const Message& m);
gboolean onInput(GIOChannel*, GIOCondition, gpointer);

// --- views (host_views.cpp)
void sendHistory(View* v);
// The frame starts a load in the view (the user's address, history, reload).
void startUserLoad(View* v);
// Whether such a load is on its way: the page shown may ask nothing then.
bool leavingForUserLoad(View* v);
View* buildView(int id, int w, int h, WebKitWebView* related, bool isPrivate = false);
void prepareSpare();
// A spare's web process knows the notification answers of when it started:
// after a new answer the spare is made again.
void renewSpare();
void createView(const Message& m);
void forgetView(View* v);
void destroyView(const Message& m);
void adoptView(const Message& m);
void discardView(const Message& m);

// --- private views (host_private.cpp)
// The ephemeral web context, made for the first private view; each view
// built in it holds it, and lets go when it is forgotten.
WebKitWebContext* holdPrivateContext();
void releasePrivateContext();
WebKitWebContext* privateContextIfAny();

// --- failed loads and dead web processes (host_error_pages.cpp)
gboolean onLoadFailed(WebKitWebView* web, WebKitLoadEvent, gchar* uri, GError* error, gpointer data);
void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data);

// --- sign-in and certificates (host_security.cpp)
void addSecurityState(View* v, WebKitLoadEvent load, Message& m);
void watchSecurity(View* v);
void forgetSecurity(View* v);
void securityCommand(View* v, const std::string& cmd, const Message& m);
bool isSecurityCommand(const std::string& cmd);

// --- page dialogs, permissions, notifications, full screen (host_dialogs.cpp)
gboolean onScriptDialog(WebKitWebView* web, WebKitScriptDialog* dialog, gpointer data);
void answerDialog(View* v, const Message& m);
void onInitializeNotificationPermissions(WebKitWebContext* context, gpointer);
gboolean onQueryPermissionState(WebKitWebView* web, WebKitPermissionStateQuery* query, gpointer data);
void answerPermissionState(View* v, const Message& m);
gboolean onPermissionRequest(WebKitWebView* web, WebKitPermissionRequest* request, gpointer data);
void answerPermission(View* v, const Message& m);
gboolean onShowNotification(WebKitWebView* web, WebKitNotification* n, gpointer data);
void notificationCommand(const Message& m, bool clicked);
gboolean onEnterFullScreen(WebKitWebView*, gpointer data);
gboolean onLeaveFullScreen(WebKitWebView*, gpointer data);

// --- keys, clicks and focus (host_input.cpp)
gboolean onButtonPress(GtkWidget*, GdkEventButton* e, gpointer data);
gboolean onUnhandledKey(GtkWidget*, GdkEventKey* e, gpointer data);
gboolean onFrameKey(GtkWidget*, GdkEventKey* e, gpointer data);
gboolean onWindowFocus(GtkWidget*, GtkDirectionType direction, gpointer data);

// --- context menus (host_context_menu.cpp)
gboolean onContextMenu(WebKitWebView* web, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer data);

// --- downloads (host_downloads.cpp)
void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer);
void downloadCommand(const Message& m, bool cancel);
gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer);

// --- find in page and the back and forward lists (host_find.cpp)
void watchFind(View* v);
void forgetFind(View* v);
void sendTravel(View* v);
bool isFindCommand(const std::string& cmd);
void findCommand(View* v, const std::string& cmd, const Message& m);

// --- site icons (host_icons.cpp)
// Turns WebKit's icon database on, under the host's cache folder.
void enableIcons(WebKitWebContext* context, const char* cacheFolder);
// Sends the view's icon ("icon", base64 PNG, empty for none) as it changes.
void watchIcon(View* v);
// --- the view's history kept for a later run (host_session.cpp)
void sendSessionState(View* v);
void restoreSession(View* v, const Message& m);
// --- Ctrl+wheel zoom, page source and inspector (host_tools.cpp)
void watchTools(View* v);
void forgetTools(View* v);
bool isToolsCommand(const std::string& cmd);
void toolsCommand(View* v, const std::string& cmd);
void setZoom(View* v, double level);
// --- printing (host_print.cpp)
gboolean onPrintRequest(WebKitWebView* web, WebKitPrintOperation* op, gpointer data);
void printCommand(View* v, const Message& m);
// --- cookies and site data (host_site_data.cpp)
// Third-party cookies are refused until the frame allows them, in every context.
inline bool thirdPartyCookies = false;
void applyCookiePolicy(WebKitWebContext* c);
void watchCookies();
bool isSiteDataCommand(const std::string& cmd);
void siteDataCommand(const std::string& cmd, const Message& m);
// --- saved passwords (host_passwords.cpp)
void watchPasswords(View* v);
void forgetPasswords(View* v);
void fillPassword(View* v, const Message& m);

}  // namespace host
