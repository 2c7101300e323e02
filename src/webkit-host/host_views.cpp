// The views: each an undecorated top-level window with its web view, whose
// X11 id the frame embeds; their creation, hand-over, loading and history
// as the frame sees them, and the windows pages open.
#include <gdk/gdkx.h>

#include <utility>

#include "webkit-host/host.h"

namespace host {

namespace {

int lastPendingId = 0;

void onMouseTarget(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer data) {
  auto* v = static_cast<View*>(data);
  std::string text;
  if (webkit_hit_test_result_context_is_link(hit)) {
    const char* uri = webkit_hit_test_result_get_link_uri(hit);
    if (uri) text = uri;
  }
  if (text == v->status) return;
  v->status = text;
  send(event("status", v->id).set("text", text));
}

void onProgress(GObject*, GParamSpec*, gpointer data) {
  auto* v = static_cast<View*>(data);
  send(event("progress", v->id).set("value", webkit_web_view_get_estimated_load_progress(v->web)));
}

void onLoadChanged(WebKitWebView*, WebKitLoadEvent load, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* phase = "started";
  switch (load) {
    case WEBKIT_LOAD_STARTED:
      phase = "started";
      break;
    case WEBKIT_LOAD_REDIRECTED:
      phase = "redirected";
      break;
    case WEBKIT_LOAD_COMMITTED:
      phase = "committed";
      break;
    case WEBKIT_LOAD_FINISHED:
      phase = "finished";
      break;
  }
  Message m = event("load", v->id).set("phase", phase);
  const char* uri = webkit_web_view_get_uri(v->web);
  if (uri) m.set("uri", uri);
  if (load == WEBKIT_LOAD_COMMITTED) {
    v->committedUri = uri ? uri : "";
    if (!v->errorPageUri.empty() && v->errorPageUri == v->committedUri) m.set("error-page", true);
    v->errorPageUri.clear();
  }
  if (load == WEBKIT_LOAD_COMMITTED || load == WEBKIT_LOAD_FINISHED) v->userLoad = false;
  addSecurityState(v, load, m);
  if (load == WEBKIT_LOAD_FINISHED) {
    const char* title = webkit_web_view_get_title(v->web);
    m.set("title", title ? title : "");
  }
  send(m);
  if (load == WEBKIT_LOAD_COMMITTED || load == WEBKIT_LOAD_FINISHED) sendHistory(v);
  if (load == WEBKIT_LOAD_FINISHED) sendSessionState(v);  // sessions: titles are known by now
}

void onTitle(GObject*, GParamSpec*, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* title = webkit_web_view_get_title(v->web);
  send(event("title", v->id).set("text", title ? title : ""));
}

void onUri(GObject*, GParamSpec*, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* uri = webkit_web_view_get_uri(v->web);
  send(event("uri", v->id).set("uri", uri ? uri : ""));
}

void onBackForward(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (webkit_web_view_can_go_back(v->web) != v->canBack || webkit_web_view_can_go_forward(v->web) != v->canForward)
    sendHistory(v);
  sendTravel(v);
  sendSessionState(v);  // sessions
}

// A page asks for a window of its own (target=_blank, window.open): the
// frame decides whether it opens. On a click the new page is made here at
// once, related to its opener (window.opener, postMessage), and waits for
// the frame to adopt it; without a click nothing is made.
GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  auto* v = static_cast<View*>(data);
  std::string uri;
  if (WebKitURIRequest* request = webkit_navigation_action_get_request(action))
    if (const char* u = webkit_uri_request_get_uri(request)) uri = u;
  const bool gesture = webkit_navigation_action_is_user_gesture(action);
  Message m = event("new-window", v->id).set("uri", uri).set("user-gesture", gesture);
  GtkWidget* opened = nullptr;
  if (gesture) {
    int w = 640, h = 480;
    gtk_window_get_size(GTK_WINDOW(v->window), &w, &h);
    View* p = buildView(--lastPendingId, w, h, v->web, v->isPrivate);
    pendingViews[p->id] = p;
    m.set("pending", p->id);
    opened = GTK_WIDGET(p->web);
  }
  send(m);
  return opened;
}

// window.close() from the page's script.
void onClose(WebKitWebView*, gpointer data) { send(event("close-request", static_cast<View*>(data)->id)); }

void onWindowDestroyed(GtkWidget*, gpointer data);

}  // namespace

void sendHistory(View* v) {
  v->canBack = webkit_web_view_can_go_back(v->web);
  v->canForward = webkit_web_view_can_go_forward(v->web);
  send(event("history", v->id).set("back", v->canBack).set("forward", v->canForward));
}

void startUserLoad(View* v) { v->userLoad = true; }

// Until the new document commits, WebKit names the destination as the
// view's address; a load dropped before it started (a page that would not
// be left) leaves nothing loading.
bool leavingForUserLoad(View* v) { return v->userLoad && webkit_web_view_is_loading(v->web); }

// A view in an undecorated window of its own, realised so that it has an
// X window to embed; related views share their opener's web process.
View* buildView(int id, int w, int h, WebKitWebView* related, bool isPrivate) {
  auto* v = new View;
  v->id = id;
  v->isPrivate = isPrivate;
  // A related view is in its opener's context; a private one holds it too.
  WebKitWebContext* own = isPrivate ? holdPrivateContext() : context;
  v->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_decorated(GTK_WINDOW(v->window), FALSE);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(v->window), TRUE);
  gtk_window_set_skip_pager_hint(GTK_WINDOW(v->window), TRUE);
  gtk_window_set_default_size(GTK_WINDOW(v->window), w > 0 ? w : 640, h > 0 ? h : 480);
  // A content manager of each view's own (a related view would share its
  // opener's), so a script's message names the view it came from.
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  if (related)
    v->web = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, "settings", settings,
                                          "user-content-manager", content, nullptr));
  else
    v->web = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", own, "settings", settings,
                                          "user-content-manager", content, nullptr));
  g_object_unref(content);
  gtk_container_add(GTK_CONTAINER(v->window), GTK_WIDGET(v->web));

  g_signal_connect(v->web, "mouse-target-changed", G_CALLBACK(onMouseTarget), v);
  g_signal_connect(v->web, "notify::estimated-load-progress", G_CALLBACK(onProgress), v);
  g_signal_connect(v->web, "load-changed", G_CALLBACK(onLoadChanged), v);
  g_signal_connect(v->web, "load-failed", G_CALLBACK(onLoadFailed), v);
  g_signal_connect(v->web, "notify::title", G_CALLBACK(onTitle), v);
  watchIcon(v);  // site icons
  g_signal_connect(v->web, "notify::uri", G_CALLBACK(onUri), v);
  g_signal_connect(v->web, "create", G_CALLBACK(onCreate), v);
  g_signal_connect(v->web, "close", G_CALLBACK(onClose), v);
  g_signal_connect(v->web, "script-dialog", G_CALLBACK(onScriptDialog), v);
  g_signal_connect(v->web, "decide-policy", G_CALLBACK(onDecidePolicy), v);
  g_signal_connect(v->web, "button-press-event", G_CALLBACK(onButtonPress), v);
  g_signal_connect_after(v->web, "key-press-event", G_CALLBACK(onUnhandledKey), v);
  g_signal_connect(v->window, "key-press-event", G_CALLBACK(onFrameKey), v);
  g_signal_connect(v->window, "focus", G_CALLBACK(onWindowFocus), v);
  g_signal_connect(v->web, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), v);
  g_signal_connect(v->web, "context-menu", G_CALLBACK(onContextMenu), v);
  g_signal_connect(v->web, "permission-request", G_CALLBACK(onPermissionRequest), v);
  g_signal_connect(v->web, "query-permission-state", G_CALLBACK(onQueryPermissionState), v);
  g_signal_connect(v->web, "show-notification", G_CALLBACK(onShowNotification), v);
  g_signal_connect(v->web, "enter-fullscreen", G_CALLBACK(onEnterFullScreen), v);
  g_signal_connect(v->web, "leave-fullscreen", G_CALLBACK(onLeaveFullScreen), v);
  g_signal_connect(v->web, "print", G_CALLBACK(onPrintRequest), v);  // printing
  g_signal_connect(webkit_web_view_get_back_forward_list(v->web), "changed", G_CALLBACK(onBackForward), v);
  watchSecurity(v);
  watchFind(v);
  watchTools(v);
  watchPasswords(v);

  g_signal_connect(v->window, "destroy", G_CALLBACK(onWindowDestroyed), v);
  gtk_widget_realize(v->window);
  return v;
}

namespace {

// Shows a view's window and tells the frame which X window to embed.
void announceView(View* v) {
  // Never a window of its own on the screen: no window manager takes it
  // (it would frame and place it, racing the frame that embeds it), and
  // until it is embedded it is mapped where nobody sees it.
  GdkWindow* own = gtk_widget_get_window(v->window);
  gdk_window_set_override_redirect(own, TRUE);
  gtk_window_move(GTK_WINDOW(v->window), -32000, -32000);
  gtk_widget_show_all(v->window);
  gtk_widget_grab_focus(GTK_WIDGET(v->web));
  views[v->id] = v;
  const auto xid = static_cast<std::int64_t>(gdk_x11_window_get_xid(gtk_widget_get_window(v->window)));
  send(event("created", v->id).set("xid", xid));
}

// A view built before any is asked for (WebKit's side of a view comes up,
// and the network process with it), which the first "create" takes over.
// Its web process is started ahead too, without the spare loading anything
// (which would stay in its history): a page of its own loads about:blank,
// and the spare, made related to it, shares its process. Starting that
// process is most of the time a first page takes.
View* spare = nullptr;
GtkWidget* warmWindow = nullptr;

}  // namespace

void prepareSpare() {
  if (spare) return;
  warmWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  auto* warm =
      WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
  gtk_container_add(GTK_CONTAINER(warmWindow), GTK_WIDGET(warm));
  webkit_web_view_load_uri(warm, "about:blank");
  spare = buildView(0, 640, 480, warm);
}

namespace {

// Once the spare is taken, its page keeps the process going alone.
void dropWarmPage() {
  if (warmWindow) gtk_widget_destroy(warmWindow);
  warmWindow = nullptr;
}

// A taken spare is replaced, so that every window finds one ready; the new
// one's web process starts once no page is loading (it would slow the
// window that took the last one), or after a few seconds of a page that
// never stops.
guint respareTimer = 0;
gint64 respareDeadline = 0;

gboolean respareWhenQuiet(gpointer) {
  bool loading = false;
  for (const auto& [id, v] : views) loading = loading || webkit_web_view_is_loading(v->web);
  if (loading && g_get_monotonic_time() < respareDeadline) return G_SOURCE_CONTINUE;
  respareTimer = 0;
  prepareSpare();
  return G_SOURCE_REMOVE;
}

void respareLater() {
  if (respareTimer) return;
  respareDeadline = g_get_monotonic_time() + 3 * G_USEC_PER_SEC;
  respareTimer = g_timeout_add(50, respareWhenQuiet, nullptr);
}

}  // namespace

void renewSpare() {
  if (!spare) return;
  View* old = std::exchange(spare, nullptr);
  forgetView(old);
  gtk_widget_destroy(old->window);
  delete old;
  dropWarmPage();
  respareLater();
}

void createView(const Message& m) {
  const int id = static_cast<int>(m.integer("view"));
  if (id <= 0 || views.count(id)) {
    sendError(id, "view id in use or invalid");
    return;
  }
  const int w = static_cast<int>(m.integer("width", 640)), h = static_cast<int>(m.integer("height", 480));
  const bool isPrivate = m.boolean("private");
  // The spare is in the ordinary context: a private view is built anew.
  View* v = isPrivate ? nullptr : spare;
  if (v) spare = nullptr;
  if (v) {
    respareLater();
    v->id = id;
    if (w > 0 && h > 0) gtk_window_resize(GTK_WINDOW(v->window), w, h);
  } else {
    v = buildView(id, w, h, nullptr, isPrivate);
  }
  announceView(v);
  if (!isPrivate) dropWarmPage();

  const std::string url = m.str("url");
  if (!url.empty()) webkit_web_view_load_uri(v->web, url.c_str());
}

void forgetView(View* v) {
  views.erase(v->id);
  pendingViews.erase(v->id);
  // A page waiting for a dialog's answer is let go.
  for (auto& [id, dialog] : v->dialogs) {
    webkit_script_dialog_close(dialog);
    webkit_script_dialog_unref(dialog);
  }
  v->dialogs.clear();
  forgetSecurity(v);
  forgetTools(v);
  for (auto& [id, p] : v->permissions) {
    webkit_permission_request_deny(p.request);
    g_object_unref(p.request);
  }
  v->permissions.clear();
  for (auto& [id, query] : v->permissionStates) {
    webkit_permission_state_query_finish(query, WEBKIT_PERMISSION_STATE_PROMPT);
    webkit_permission_state_query_unref(query);
  }
  v->permissionStates.clear();
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(v->web), v);
  forgetFind(v);
  forgetPasswords(v);
  g_signal_handlers_disconnect_by_data(v->web, v);
  g_signal_handlers_disconnect_by_data(v->window, v);
  if (v->isPrivate) {
    v->isPrivate = false;
    releasePrivateContext();
  }
}

void destroyView(const Message& m) {
  const int id = static_cast<int>(m.integer("view"));
  auto it = views.find(id);
  // A view whose window went with the frame's is gone already.
  if (it == views.end()) return send(event("destroyed", id));
  View* v = it->second;
  forgetView(v);
  gtk_widget_destroy(v->window);
  send(event("destroyed", id));
  delete v;
}

namespace {

// The X window was destroyed under us (its embedder's window went first);
// GTK destroys the widgets with it, so the view is gone.
void onWindowDestroyed(GtkWidget*, gpointer data) {
  auto* v = static_cast<View*>(data);
  forgetView(v);
  send(event("destroyed", v->id).set("lost", true));
  delete v;
}

}  // namespace

// The frame opened a window for a page made on a click: that page replaces
// the new, empty view the frame created for the window, under its id.
void adoptView(const Message& m) {
  const int id = static_cast<int>(m.integer("view"));
  auto it = pendingViews.find(static_cast<int>(m.integer("pending")));
  if (it == pendingViews.end()) return sendError(id, "no such opened window");
  View* p = it->second;
  pendingViews.erase(it);
  if (auto old = views.find(id); old != views.end()) {
    View* v = old->second;
    forgetView(v);
    gtk_widget_destroy(v->window);
    delete v;
  }
  p->id = id;
  int w = static_cast<int>(m.integer("width")), h = static_cast<int>(m.integer("height"));
  if (w > 0 && h > 0) gtk_window_resize(GTK_WINDOW(p->window), w, h);
  announceView(p);
  // What the frame missed while the page waited.
  if (const char* uri = webkit_web_view_get_uri(p->web)) send(event("uri", id).set("uri", uri));
  const char* title = webkit_web_view_get_title(p->web);
  if (title && *title) send(event("title", id).set("text", title));
  if (!webkit_web_view_is_loading(p->web)) send(event("load", id).set("phase", "finished"));
  sendHistory(p);
  sendTravel(p);
}

// The frame did not open the window (blocked, or the other engine's).
void discardView(const Message& m) {
  auto it = pendingViews.find(static_cast<int>(m.integer("pending")));
  if (it == pendingViews.end()) return;
  View* p = it->second;
  forgetView(p);
  gtk_widget_destroy(p->window);
  delete p;
}

}  // namespace host
