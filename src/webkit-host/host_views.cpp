// zelvo-webkit-host: the WebKitGTK engine of the Gecko windows, run as a
// process of its own so that a failing engine never takes the frame down.
// One shared web context for all views; one undecorated top-level window per
// view, whose X11 id the frame embeds. Commands arrive one JSON object per
// line on stdin, events leave the same way on stdout. End of stdin ends the
// host.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/engine_language.h"
#include "page/frame_keys.h"
#include "page/page_menu_items.h"
#include "engine/webkit/webkit_protocol.h"

namespace {

using wkproto::Message;

int protoOut = -1;  // the real stdout; fd 1 itself goes to stderr
int protoIn = -1;
wkproto::LineReader reader;
WebKitWebContext* context = nullptr;
WebKitSettings* settings = nullptr;

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
  // Script dialogs the page waits for, by the id the frame answers with.
  std::map<std::int64_t, WebKitScriptDialog*> dialogs;
  // Sign-in requests waiting for the frame's answer, by id.
  std::map<std::int64_t, WebKitAuthenticationRequest*> auths;
  // The last load refused for its certificate, which "tls-allow" lets through.
  GTlsCertificate* tlsCertificate = nullptr;
  std::string tlsUri;
  std::string tlsHost;
  int certPage = 0;  // 1: the certificate page is loading, 2: it is shown
  // Permission requests waiting for the frame's answer, likewise, and
  // the page's questions about what it has been allowed.
  std::map<std::int64_t, WebKitPermissionRequest*> permissions;
  std::map<std::int64_t, WebKitPermissionStateQuery*> permissionStates;
};
std::map<int, View*> views;
// Windows a page opened on a click, kept until the frame gives them a view
// id of its own ("adopt") or drops them ("discard"). Their ids are negative.
std::map<int, View*> pendingViews;
int lastPendingId = 0;
std::int64_t lastDialogId = 0;

void send(Message m) {
  if (protoOut < 0) return;
  std::string line = wkproto::encode(m);
  if (line.size() > wkproto::kMaxLine) {
    // Too long for the frame: the event goes without its longest fields
    // (it says which), so that what it reports still arrives.
    if (!wkproto::shorten(m)) return;
    line = wkproto::encode(m);
  }
  line += '\n';
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = write(protoOut, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      // The frame is gone; nobody is left to show anything to.
      _exit(0);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

Message event(const char* name, int view) {
  Message m;
  m.set("ev", name);
  if (view) m.set("view", view);
  return m;
}

void sendError(int view, const std::string& text) { send(event("error", view).set("message", text)); }

void sendHistory(View* v) {
  v->canBack = webkit_web_view_can_go_back(v->web);
  v->canForward = webkit_web_view_can_go_forward(v->web);
  send(event("history", v->id).set("back", v->canBack).set("forward", v->canForward));
}

using engine_language::htmlEscape;

// The page shown in a view whose web process died. Loaded as alternate
// content for the failed address, so reloading loads that address again.
std::string crashPage(const std::string& uri) {
  const std::string u = htmlEscape(uri);
  return "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>ページを表示できません</title>"
         "<style>body{font-family:sans-serif;margin:2em;color:#222}code{word-break:break-all}</style></head><body>"
         "<h1>ページを表示できません</h1>"
         "<p>このページを表示していたプロセスが終了しました。</p><p><code>" +
         u +
         "</code></p><p>再読み込みすると、もう一度読み込みます。</p>"
         "<p><button onclick=\"location.reload()\">再読み込み</button></p></body></html>";
}

// --- sign-in and certificates ------------------------------------------------
// The frame asks the user and answers with a command; nothing here waits.

std::int64_t lastAuthId = 0;

void onAuthCancelled(WebKitAuthenticationRequest* request, gpointer data) {
  auto* v = static_cast<View*>(data);
  for (auto it = v->auths.begin(); it != v->auths.end(); ++it) {
    if (it->second != request) continue;
    send(event("auth-cancelled", v->id).set("id", it->first));
    g_signal_handlers_disconnect_by_data(request, v);
    g_object_unref(request);
    v->auths.erase(it);
    return;
  }
}

gboolean onAuthenticate(WebKitWebView* web, WebKitAuthenticationRequest* request, gpointer data) {
  auto* v = static_cast<View*>(data);
  const std::int64_t id = ++lastAuthId;
  v->auths[id] = WEBKIT_AUTHENTICATION_REQUEST(g_object_ref(request));
  g_signal_connect(request, "cancelled", G_CALLBACK(onAuthCancelled), v);
  std::string scheme = "http";
  if (const char* uri = webkit_web_view_get_uri(web); uri && g_str_has_prefix(uri, "https:")) scheme = "https";
  const char* host = webkit_authentication_request_get_host(request);
  const char* realm = webkit_authentication_request_get_realm(request);
  send(event("authenticate", v->id)
           .set("id", id)
           .set("host", host ? host : "")
           .set("port", static_cast<int>(webkit_authentication_request_get_port(request)))
           .set("scheme", scheme)
           .set("realm", realm ? realm : "")
           .set("proxy", static_cast<bool>(webkit_authentication_request_is_for_proxy(request)))
           .set("retry", static_cast<bool>(webkit_authentication_request_is_retry(request))));
  return TRUE;
}

// The frame's answer. Without credentials the request goes on unanswered,
// so the server's own page (its 401 or 407 body) shows.
void answerAuth(View* v, const Message& m) {
  auto it = v->auths.find(m.integer("id"));
  if (it == v->auths.end()) return;
  WebKitAuthenticationRequest* request = it->second;
  v->auths.erase(it);
  g_signal_handlers_disconnect_by_data(request, v);
  if (m.boolean("accepted")) {
    // Kept in memory for this session only, never in a keyring.
    WebKitCredential* credential = webkit_credential_new(m.str("user").c_str(), m.str("password").c_str(),
                                                         WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
    webkit_authentication_request_authenticate(request, credential);
    webkit_credential_free(credential);
  } else {
    webkit_authentication_request_authenticate(request, nullptr);
  }
  g_object_unref(request);
}

void forgetTls(View* v) {
  if (v->tlsCertificate) g_object_unref(v->tlsCertificate);
  v->tlsCertificate = nullptr;
}

gboolean onTlsErrors(WebKitWebView*, gchar* uri, GTlsCertificate* certificate, GTlsCertificateFlags errors,
                     gpointer data) {
  auto* v = static_cast<View*>(data);
  forgetTls(v);
  v->tlsCertificate = G_TLS_CERTIFICATE(g_object_ref(certificate));
  v->tlsUri = uri ? uri : "";
  v->tlsHost.clear();
  if (GUri* parsed = g_uri_parse(v->tlsUri.c_str(), G_URI_FLAGS_NONE, nullptr)) {
    if (const char* host = g_uri_get_host(parsed)) v->tlsHost = host;
    g_uri_unref(parsed);
  }
  std::string fingerprint;
  GByteArray* der = nullptr;
  g_object_get(certificate, "certificate", &der, nullptr);
  if (der) {
    gchar* sum = g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len);
    fingerprint = sum ? sum : "";
    g_free(sum);
    g_byte_array_unref(der);
  }
  send(event("tls-error", v->id)
           .set("uri", v->tlsUri)
           .set("host", v->tlsHost)
           .set("flags", static_cast<int>(errors))
           .set("fingerprint", fingerprint));
  return TRUE;  // the frame sends the page to show, or lets the certificate through
}

void onInsecureContent(WebKitWebView*, WebKitInsecureContentEvent, gpointer data) {
  send(event("insecure-content", static_cast<View*>(data)->id));
}

// The certificate page's own links ("zelvo:...") go to the frame, never to the network.
gboolean onPageAction(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || g_ascii_strncasecmp(uri, "zelvo:", 6) != 0) return FALSE;
  webkit_policy_decision_ignore(decision);
  send(event("page-action", static_cast<View*>(data)->id).set("uri", uri));
  return TRUE;
}

// What a committed load tells about the page's security.
void addSecurityState(View* v, WebKitLoadEvent load, Message& m) {
  if (load == WEBKIT_LOAD_STARTED && v->certPage == 2) v->certPage = 0;
  if (load != WEBKIT_LOAD_COMMITTED) return;
  if (v->certPage == 1) v->certPage = 2;
  m.set("cert-page", v->certPage == 2);
  GTlsCertificate* certificate = nullptr;
  GTlsCertificateFlags errors = static_cast<GTlsCertificateFlags>(0);
  if (webkit_web_view_get_tls_info(v->web, &certificate, &errors)) m.set("tls-errors", static_cast<int>(errors));
}

void watchSecurity(View* v) {
  g_signal_connect(v->web, "authenticate", G_CALLBACK(onAuthenticate), v);
  g_signal_connect(v->web, "load-failed-with-tls-errors", G_CALLBACK(onTlsErrors), v);
  g_signal_connect(v->web, "insecure-content-detected", G_CALLBACK(onInsecureContent), v);
  g_signal_connect(v->web, "decide-policy", G_CALLBACK(onPageAction), v);
}

// A view that goes cancels what it waited for.
void forgetSecurity(View* v) {
  for (auto& [id, request] : v->auths) {
    g_signal_handlers_disconnect_by_data(request, v);
    webkit_authentication_request_cancel(request);
    g_object_unref(request);
  }
  v->auths.clear();
  forgetTls(v);
}

void securityCommand(View* v, const std::string& cmd, const Message& m) {
  if (cmd == "auth-reply") {
    answerAuth(v, m);
  } else if (cmd == "tls-page") {
    if (v->tlsUri.empty()) return;
    v->certPage = 1;
    webkit_web_view_load_alternate_html(v->web, m.str("html").c_str(), v->tlsUri.c_str(), nullptr);
  } else if (cmd == "tls-allow") {
    if (!v->tlsCertificate || v->tlsHost.empty()) return;
    webkit_web_context_allow_tls_certificate_for_host(context, v->tlsCertificate, v->tlsHost.c_str());
    webkit_web_view_load_uri(v->web, v->tlsUri.c_str());
  } else if (cmd == "leave") {
    if (webkit_web_view_can_go_back(v->web))
      webkit_web_view_go_back(v->web);
    else
      webkit_web_view_load_uri(v->web, "about:blank");
  }
}

bool isSecurityCommand(const std::string& cmd) {
  return cmd == "auth-reply" || cmd == "tls-page" || cmd == "tls-allow" || cmd == "leave";
}

// --- WebKit signals -------------------------------------------------------

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
  if (const char* uri = webkit_web_view_get_uri(v->web)) m.set("uri", uri);
  addSecurityState(v, load, m);
  if (load == WEBKIT_LOAD_FINISHED) {
    const char* title = webkit_web_view_get_title(v->web);
    m.set("title", title ? title : "");
  }
  send(m);
  if (load == WEBKIT_LOAD_COMMITTED || load == WEBKIT_LOAD_FINISHED) sendHistory(v);
}

// What the page shown for a failed load says went wrong.
engine_language::LoadFailure loadFailure(const GError* error) {
  using engine_language::LoadFailure;
  if (error->domain == G_RESOLVER_ERROR) return LoadFailure::HostNotFound;
  if (error->domain == G_IO_ERROR) {
    switch (error->code) {
      case G_IO_ERROR_CONNECTION_REFUSED:
        return LoadFailure::ConnectionRefused;
      case G_IO_ERROR_TIMED_OUT:
        return LoadFailure::TimedOut;
      case G_IO_ERROR_HOST_UNREACHABLE:
      case G_IO_ERROR_NETWORK_UNREACHABLE:
        return LoadFailure::Unreachable;
      case G_IO_ERROR_NOT_FOUND:
        return LoadFailure::FileNotFound;
      default:
        return LoadFailure::Other;
    }
  }
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST))
    return LoadFailure::FileNotFound;
  if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL))
    return LoadFailure::UnknownScheme;
  if (g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT))
    return LoadFailure::RestrictedPort;
  return LoadFailure::Other;
}

gboolean onLoadFailed(WebKitWebView* web, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
  auto* v = static_cast<View*>(data);
  const bool cancelled = g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED);
  send(event("load-failed", v->id)
           .set("uri", uri ? uri : "")
           .set("message", error ? error->message : "")
           .set("cancelled", cancelled));
  // No page for a load that was stopped or became a download or media.
  if (!error || !uri || cancelled ||
      g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
      g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD))
    return FALSE;
  // WebKit's own page is the network library's message alone, in English.
  const std::string html = engine_language::loadFailedPage(uri, loadFailure(error), error->message);
  webkit_web_view_load_alternate_html(web, html.c_str(), uri, nullptr);
  return TRUE;
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
}

View* buildView(int id, int w, int h, WebKitWebView* related);

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
    View* p = buildView(--lastPendingId, w, h, v->web);
    pendingViews[p->id] = p;
    m.set("pending", p->id);
    opened = GTK_WIDGET(p->web);
  }
  send(m);
  return opened;
}

// window.close() from the page's script.
void onClose(WebKitWebView*, gpointer data) { send(event("close-request", static_cast<View*>(data)->id)); }

// alert, confirm, prompt and "leave this page?" are the frame's dialogs;
// the page waits until the frame answers.
gboolean onScriptDialog(WebKitWebView* web, WebKitScriptDialog* dialog, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* kind = "alert";
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
      kind = "alert";
      break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      kind = "confirm";
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      kind = "prompt";
      break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      kind = "leave";
      break;
  }
  const std::int64_t id = ++lastDialogId;
  v->dialogs[id] = webkit_script_dialog_ref(dialog);
  Message m = event("dialog", v->id).set("id", id).set("kind", kind);
  if (const char* text = webkit_script_dialog_get_message(dialog)) m.set("message", text);
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_PROMPT)
    if (const char* d = webkit_script_dialog_prompt_get_default_text(dialog)) m.set("default", d);
  if (const char* uri = webkit_web_view_get_uri(web)) m.set("uri", uri);
  send(m);
  return TRUE;
}

// ---- permissions, notifications, full screen ----------------------------------
// The frame asks the user and answers with "permission-reply"; until then
// the page waits. A view that goes denies what it still waits for.

std::int64_t lastPermissionId = 0;

// The kind's name as the frame knows it, or nothing for requests that are
// refused without asking.
const char* permissionKind(WebKitPermissionRequest* r) {
  if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(r)) return "geolocation";
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(r)) return "notifications";
  if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(r)) {
    auto* media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(r);
    if (webkit_user_media_permission_is_for_display_device(media)) return "screen";
    const bool audio = webkit_user_media_permission_is_for_audio_device(media);
    const bool video = webkit_user_media_permission_is_for_video_device(media);
    return audio && video ? "camera+microphone" : video ? "camera" : "microphone";
  }
  if (WEBKIT_IS_DEVICE_INFO_PERMISSION_REQUEST(r)) return "device-info";
  if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(r)) return "pointer-lock";
  if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(r)) return "clipboard-read";
  if (WEBKIT_IS_MEDIA_KEY_SYSTEM_PERMISSION_REQUEST(r)) return "media-keys";
  if (WEBKIT_IS_WEBSITE_DATA_ACCESS_PERMISSION_REQUEST(r)) return "storage-access";
  return nullptr;
}

// The notification answers of the session, for web processes started
// later (their Notification.permission), as origins' addresses.
std::vector<std::string> notificationsAllowed, notificationsDenied;

void onInitializeNotificationPermissions(WebKitWebContext* context, gpointer) {
  auto origins = [](const std::vector<std::string>& uris) {
    GList* list = nullptr;
    for (const std::string& uri : uris) list = g_list_prepend(list, webkit_security_origin_new_for_uri(uri.c_str()));
    return list;
  };
  GList* allowed = origins(notificationsAllowed);
  GList* denied = origins(notificationsDenied);
  webkit_web_context_initialize_notification_permissions(context, allowed, denied);
  g_list_free_full(allowed, reinterpret_cast<GDestroyNotify>(webkit_security_origin_unref));
  g_list_free_full(denied, reinterpret_cast<GDestroyNotify>(webkit_security_origin_unref));
}

void rememberNotificationAnswer(const std::string& uri, bool allowed) {
  if (uri.empty()) return;
  WebKitSecurityOrigin* origin = webkit_security_origin_new_for_uri(uri.c_str());
  gchar* text = webkit_security_origin_to_string(origin);
  webkit_security_origin_unref(origin);
  if (!text) return;
  const std::string key = text;
  g_free(text);
  for (auto* list : {&notificationsAllowed, &notificationsDenied})
    list->erase(std::remove(list->begin(), list->end(), key), list->end());
  (allowed ? notificationsAllowed : notificationsDenied).push_back(key);
  onInitializeNotificationPermissions(context, nullptr);
}

// navigator.permissions.query(): the frame knows what the user answered.
gboolean onQueryPermissionState(WebKitWebView* web, WebKitPermissionStateQuery* query, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (v->id <= 0) return FALSE;
  const std::int64_t id = ++lastPermissionId;
  v->permissionStates[id] = webkit_permission_state_query_ref(query);
  const char* uri = webkit_web_view_get_uri(web);
  send(event("permission-state", v->id)
           .set("id", id)
           .set("name", webkit_permission_state_query_get_name(query))
           .set("uri", uri ? uri : ""));
  return TRUE;
}

void answerPermissionState(View* v, const Message& m) {
  auto it = v->permissionStates.find(m.integer("id"));
  if (it == v->permissionStates.end()) return;
  const std::string state = m.str("state");
  webkit_permission_state_query_finish(it->second, state == "granted"  ? WEBKIT_PERMISSION_STATE_GRANTED
                                                   : state == "denied" ? WEBKIT_PERMISSION_STATE_DENIED
                                                                       : WEBKIT_PERMISSION_STATE_PROMPT);
  webkit_permission_state_query_unref(it->second);
  v->permissionStates.erase(it);
}

gboolean onPermissionRequest(WebKitWebView* web, WebKitPermissionRequest* request, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* kind = permissionKind(request);
  // A window the frame has not taken yet has nobody to ask.
  if (!kind || v->id <= 0) {
    webkit_permission_request_deny(request);
    return TRUE;
  }
  const std::int64_t id = ++lastPermissionId;
  v->permissions[id] = WEBKIT_PERMISSION_REQUEST(g_object_ref(request));
  const char* uri = webkit_web_view_get_uri(web);
  send(event("permission", v->id).set("id", id).set("kind", kind).set("uri", uri ? uri : ""));
  return TRUE;
}

void answerPermission(View* v, const Message& m) {
  auto it = v->permissions.find(m.integer("id"));
  if (it == v->permissions.end()) return;
  WebKitPermissionRequest* request = it->second;
  v->permissions.erase(it);
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request) && m.boolean("remembered")) {
    const char* uri = webkit_web_view_get_uri(v->web);
    rememberNotificationAnswer(uri ? uri : "", m.boolean("allowed"));
  }
  if (m.boolean("allowed"))
    webkit_permission_request_allow(request);
  else
    webkit_permission_request_deny(request);
  g_object_unref(request);
}

// Notifications a site was allowed to show are the frame's to show; the
// page hears when one is clicked or closed there.
struct ShownNotification {
  WebKitNotification* notification;
  int view;
};
std::map<std::int64_t, ShownNotification> notifications;

void onNotificationClosed(WebKitNotification* n, gpointer) {
  const auto id = static_cast<std::int64_t>(webkit_notification_get_id(n));
  auto it = notifications.find(id);
  if (it == notifications.end()) return;
  send(event("notification-closed", it->second.view).set("id", id));
  g_signal_handlers_disconnect_by_func(n, reinterpret_cast<gpointer>(onNotificationClosed), nullptr);
  g_object_unref(n);
  notifications.erase(it);
}

gboolean onShowNotification(WebKitWebView* web, WebKitNotification* n, gpointer data) {
  auto* v = static_cast<View*>(data);
  const auto id = static_cast<std::int64_t>(webkit_notification_get_id(n));
  if (!notifications.count(id)) {
    notifications[id] = {WEBKIT_NOTIFICATION(g_object_ref(n)), v->id};
    g_signal_connect(n, "closed", G_CALLBACK(onNotificationClosed), nullptr);
  }
  const char* title = webkit_notification_get_title(n);
  const char* body = webkit_notification_get_body(n);
  const char* uri = webkit_web_view_get_uri(web);
  send(event("notification", v->id)
           .set("id", id)
           .set("title", title ? title : "")
           .set("body", body ? body : "")
           .set("uri", uri ? uri : ""));
  return TRUE;
}

void notificationCommand(const Message& m, bool clicked) {
  auto it = notifications.find(m.integer("id"));
  if (it == notifications.end()) return;
  if (clicked)
    webkit_notification_clicked(it->second.notification);
  else
    webkit_notification_close(it->second.notification);  // "closed" forgets it
}

// The frame shows the view full screen (it moves the window it embeds into
// one that fills the screen); WebKit goes on with its own part, so that the
// page knows and Esc leaves.
gboolean onEnterFullScreen(WebKitWebView*, gpointer data) {
  send(event("fullscreen", static_cast<View*>(data)->id).set("on", true));
  return FALSE;
}

gboolean onLeaveFullScreen(WebKitWebView*, gpointer data) {
  send(event("fullscreen", static_cast<View*>(data)->id).set("on", false));
  return FALSE;
}

// Clicks reach this window directly and the frame never sees them; it needs
// to hear of them to activate the child and move keyboard focus here.
gboolean onButtonPress(GtkWidget*, GdkEventButton* e, gpointer data) {
  auto* v = static_cast<View*>(data);
  send(event("button-press", v->id).set("button", static_cast<int>(e->button)));
  return FALSE;
}

// The frame gets a key as X gave it to us.
void passKey(View* v, const GdkEventKey* e) {
  send(event("key", v->id)
           .set("keycode", static_cast<int>(e->hardware_keycode))
           .set("state", static_cast<int>(e->state & 0x1fff))
           .set("group", static_cast<int>(e->group))
           .set("time", static_cast<std::int64_t>(e->time)));
}

// A key the page did not take comes back here once WebKit is done with it;
// it belongs to the frame (its shortcuts, menus and mnemonics).
gboolean onUnhandledKey(GtkWidget*, GdkEventKey* e, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (e->is_modifier) return FALSE;
  // Plain Tab and Shift+Tab at the page's ends come as "focus-leaves".
  const bool tab = e->keyval == GDK_KEY_Tab || e->keyval == GDK_KEY_ISO_Left_Tab || e->keyval == GDK_KEY_KP_Tab;
  if (tab && !(e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK))) return TRUE;
  passKey(v, e);
  return TRUE;
}

// Whether an input method is composing text in the page: its keys (F6 to
// F10 convert, for one) are the input method's then, not the frame's.
bool composing(View* v) {
  WebKitInputMethodContext* im = webkit_web_view_get_input_method_context(v->web);
  if (!im) return false;
  char* text = nullptr;
  webkit_input_method_context_get_preedit(im, &text, nullptr, nullptr);
  const bool busy = text && *text;
  g_free(text);
  return busy;
}

// The window sees each key before the page does: the frame's own keys go
// to the frame at once, also those WebKit would use and never report.
gboolean onFrameKey(GtkWidget*, GdkEventKey* e, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (e->is_modifier || v->frameKeys.empty() || composing(v)) return FALSE;
  bool frames = framekeys::contains(v->frameKeys, framekeys::normalise(gdk_keyval_to_lower(e->keyval), e->state));
  if (!frames && e->group != 0) {
    // Another layout (Cyrillic, Greek) active: the key's own letter counts,
    // as it does for the frame's shortcuts.
    guint base = 0;
    if (gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_window_get_display(e->window)),
                                            e->hardware_keycode, static_cast<GdkModifierType>(e->state), 0, &base,
                                            nullptr, nullptr, nullptr))
      frames = framekeys::contains(v->frameKeys, framekeys::normalise(gdk_keyval_to_lower(base), e->state));
  }
  if (!frames) return FALSE;
  passKey(v, e);
  return TRUE;
}

// Tab past the page's first or last element: the page gives the focus away,
// and the window, having nothing else, would give it straight back. It goes
// to the frame instead.
gboolean onWindowFocus(GtkWidget*, GtkDirectionType direction, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
  if (!gtk_widget_has_focus(GTK_WIDGET(v->web))) return FALSE;
  send(event("focus-leaves", v->id).set("forward", direction == GTK_DIR_TAB_FORWARD));
  return TRUE;
}

void onContextItemActivated(GSimpleAction* action, GVariant*, gpointer) {
  const int view = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(action), "zelvo-view"));
  const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(action), "zelvo-index"));
  send(event("context-action", view).set("index", index));
}

// Items whose captions WebKit's Japanese translation lacks: they take the
// captions the other engine's menu has, and do what WebKit's would.
struct OwnItem {
  WebKitContextMenuAction stock;
  PageMenuItem item;
  const char* command;  // an editing command, or null for history and loading
};
constexpr OwnItem kOwnItems[] = {
    {WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, PageMenuItem::Back, nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD, PageMenuItem::Forward, nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_STOP, PageMenuItem::Stop, nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_CUT, PageMenuItem::Cut, WEBKIT_EDITING_COMMAND_CUT},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY, PageMenuItem::Copy, WEBKIT_EDITING_COMMAND_COPY},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE, PageMenuItem::Paste, WEBKIT_EDITING_COMMAND_PASTE},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT, PageMenuItem::PasteAsPlainText,
     WEBKIT_EDITING_COMMAND_PASTE_AS_PLAIN_TEXT},
    {WEBKIT_CONTEXT_MENU_ACTION_DELETE, PageMenuItem::Delete, "Delete"},
    {WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL, PageMenuItem::SelectAll, WEBKIT_EDITING_COMMAND_SELECT_ALL},
};

void onOwnItemActivated(GSimpleAction* action, GVariant*, gpointer data) {
  auto* web = static_cast<WebKitWebView*>(data);
  const auto* own = static_cast<const OwnItem*>(g_object_get_data(G_OBJECT(action), "zelvo-own"));
  if (own->command)
    webkit_web_view_execute_editing_command(web, own->command);
  else if (own->stock == WEBKIT_CONTEXT_MENU_ACTION_GO_BACK)
    webkit_web_view_go_back(web);
  else if (own->stock == WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD)
    webkit_web_view_go_forward(web);
  else
    webkit_web_view_stop_loading(web);
}

void japaneseCaptions(WebKitWebView* web, WebKitContextMenu* menu) {
  GList* items = g_list_copy(webkit_context_menu_get_items(menu));
  guint position = 0;
  for (GList* l = items; l; l = l->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(l->data);
    const WebKitContextMenuAction stock = webkit_context_menu_item_get_stock_action(item);
    // WebKit's own extras (a link to the selected text) have no Japanese.
    if (stock == WEBKIT_CONTEXT_MENU_ACTION_CUSTOM) {
      webkit_context_menu_remove(menu, item);
      continue;
    }
    const OwnItem* own = nullptr;
    for (const OwnItem& o : kOwnItems)
      if (o.stock == stock) own = &o;
    if (own) {
      GSimpleAction* action = g_simple_action_new(pageMenuItemName(own->item), nullptr);
      g_simple_action_set_enabled(action, g_action_get_enabled(webkit_context_menu_item_get_gaction(item)));
      g_object_set_data(G_OBJECT(action), "zelvo-own", const_cast<OwnItem*>(own));
      g_signal_connect(action, "activate", G_CALLBACK(onOwnItemActivated), web);
      webkit_context_menu_insert(
          menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), pageMenuCaptionText(own->item), nullptr),
          static_cast<gint>(position));
      g_object_unref(action);
      webkit_context_menu_remove(menu, item);
    }
    ++position;
  }
  g_list_free(items);
}

// The engine's own menu in Japanese, then the frame's items; choosing one
// of those is the frame's business.
gboolean onContextMenu(WebKitWebView* web, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer data) {
  auto* v = static_cast<View*>(data);
  japaneseCaptions(web, menu);
  if (v->contextItems.empty()) return FALSE;
  if (webkit_context_menu_get_n_items(menu) > 0)
    webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  for (std::size_t i = 0; i < v->contextItems.size(); ++i) {
    const std::string name = "zelvo-context-" + std::to_string(i);
    GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
    g_simple_action_set_enabled(action, v->contextItems[i].enabled);
    g_object_set_data(G_OBJECT(action), "zelvo-view", GINT_TO_POINTER(v->id));
    g_object_set_data(G_OBJECT(action), "zelvo-index", GINT_TO_POINTER(static_cast<int>(i)));
    g_signal_connect(action, "activate", G_CALLBACK(onContextItemActivated), nullptr);
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), v->contextItems[i].label.c_str(), nullptr));
    g_object_unref(action);
  }
  return FALSE;
}

struct CrashReload {
  int id;
  std::string uri;
};

gboolean showCrashPage(gpointer data) {
  auto* c = static_cast<CrashReload*>(data);
  auto it = views.find(c->id);
  if (it != views.end()) {
    const std::string html = crashPage(c->uri);
    webkit_web_view_load_alternate_html(it->second->web, html.c_str(), c->uri.empty() ? "about:blank" : c->uri.c_str(),
                                        nullptr);
  }
  delete c;
  return G_SOURCE_REMOVE;
}

void onWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* uri = webkit_web_view_get_uri(v->web);
  const char* why = reason == WEBKIT_WEB_PROCESS_CRASHED                 ? "crashed"
                    : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? "memory"
                                                                         : "terminated";
  send(event("web-process-terminated", v->id).set("reason", why).set("uri", uri ? uri : ""));
  // Not from inside the signal: the view is still tearing its process down.
  g_idle_add(showCrashPage, new CrashReload{v->id, uri ? uri : ""});
}

// --- commands ---------------------------------------------------------------

View* findView(const Message& m) {
  const int id = static_cast<int>(m.integer("view"));
  auto it = views.find(id);
  if (it == views.end()) {
    sendError(id, "no such view");
    return nullptr;
  }
  return it->second;
}

void onWindowDestroyed(GtkWidget*, gpointer data);

// A view in an undecorated window of its own, realised so that it has an
// X window to embed; related views share their opener's web process.
gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer);

View* buildView(int id, int w, int h, WebKitWebView* related) {
  auto* v = new View;
  v->id = id;
  v->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_decorated(GTK_WINDOW(v->window), FALSE);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(v->window), TRUE);
  gtk_window_set_skip_pager_hint(GTK_WINDOW(v->window), TRUE);
  gtk_window_set_default_size(GTK_WINDOW(v->window), w > 0 ? w : 640, h > 0 ? h : 480);
  if (related)
    v->web =
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, "settings", settings, nullptr));
  else
    v->web = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
  gtk_container_add(GTK_CONTAINER(v->window), GTK_WIDGET(v->web));

  g_signal_connect(v->web, "mouse-target-changed", G_CALLBACK(onMouseTarget), v);
  g_signal_connect(v->web, "notify::estimated-load-progress", G_CALLBACK(onProgress), v);
  g_signal_connect(v->web, "load-changed", G_CALLBACK(onLoadChanged), v);
  g_signal_connect(v->web, "load-failed", G_CALLBACK(onLoadFailed), v);
  g_signal_connect(v->web, "notify::title", G_CALLBACK(onTitle), v);
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
  g_signal_connect(webkit_web_view_get_back_forward_list(v->web), "changed", G_CALLBACK(onBackForward), v);
  watchSecurity(v);

  g_signal_connect(v->window, "destroy", G_CALLBACK(onWindowDestroyed), v);
  gtk_widget_realize(v->window);
  return v;
}

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

void prepareSpare() {
  if (spare) return;
  warmWindow = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  auto* warm =
      WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
  gtk_container_add(GTK_CONTAINER(warmWindow), GTK_WIDGET(warm));
  webkit_web_view_load_uri(warm, "about:blank");
  spare = buildView(0, 640, 480, warm);
}

// Once the spare is taken, its page keeps the process going alone.
void dropWarmPage() {
  if (warmWindow) gtk_widget_destroy(warmWindow);
  warmWindow = nullptr;
}

void createView(const Message& m) {
  const int id = static_cast<int>(m.integer("view"));
  if (id <= 0 || views.count(id)) {
    sendError(id, "view id in use or invalid");
    return;
  }
  const int w = static_cast<int>(m.integer("width", 640)), h = static_cast<int>(m.integer("height", 480));
  View* v = spare;
  spare = nullptr;
  if (v) {
    v->id = id;
    if (w > 0 && h > 0) gtk_window_resize(GTK_WINDOW(v->window), w, h);
  } else {
    v = buildView(id, w, h, nullptr);
  }
  announceView(v);
  dropWarmPage();

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
  for (auto& [id, request] : v->permissions) {
    webkit_permission_request_deny(request);
    g_object_unref(request);
  }
  v->permissions.clear();
  for (auto& [id, query] : v->permissionStates) {
    webkit_permission_state_query_finish(query, WEBKIT_PERMISSION_STATE_PROMPT);
    webkit_permission_state_query_unref(query);
  }
  v->permissionStates.clear();
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(v->web), v);
  g_signal_handlers_disconnect_by_data(v->web, v);
  g_signal_handlers_disconnect_by_data(v->window, v);
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

// The X window was destroyed under us (its embedder's window went first);
// GTK destroys the widgets with it, so the view is gone.
void onWindowDestroyed(GtkWidget*, gpointer data) {
  auto* v = static_cast<View*>(data);
  forgetView(v);
  send(event("destroyed", v->id).set("lost", true));
  delete v;
}

struct SaveJob {
  int id;
  std::string path;
  std::string temp;
};

void saveDone(const SaveJob* job, GError* error) {
  if (error) {
    if (!job->temp.empty()) unlink(job->temp.c_str());
    send(event("save-failed", job->id).set("path", job->path).set("message", error->message));
  } else if (!job->temp.empty() && rename(job->temp.c_str(), job->path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    unlink(job->temp.c_str());
    send(event("save-failed", job->id).set("path", job->path).set("message", why));
  } else {
    send(event("saved", job->id).set("path", job->path));
  }
}

void onMhtmlSaved(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<SaveJob*>(data);
  GError* error = nullptr;
  webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(source), result, &error);
  saveDone(job, error);
  if (error) g_error_free(error);
  delete job;
}

void onHtmlData(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<SaveJob*>(data);
  GError* error = nullptr;
  gsize size = 0;
  guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &size, &error);
  // g_file_set_contents writes a temporary file and renames it.
  if (!error) g_file_set_contents(job->path.c_str(), reinterpret_cast<const char*>(bytes), size, &error);
  saveDone(job, error);
  if (error) g_error_free(error);
  g_free(bytes);
  delete job;
}

void save(const Message& m) {
  View* v = findView(m);
  if (!v) return;
  const std::string path = m.str("path");
  const std::string format = m.str("format", "mhtml");
  if (path.empty()) {
    send(event("save-failed", v->id).set("path", path).set("message", "no file name"));
    return;
  }
  if (format == "html") {
    WebKitWebResource* resource = webkit_web_view_get_main_resource(v->web);
    if (!resource) {
      send(event("save-failed", v->id).set("path", path).set("message", "no page loaded"));
      return;
    }
    webkit_web_resource_get_data(resource, nullptr, onHtmlData, new SaveJob{v->id, path, {}});
    return;
  }
  // The archive goes to a temporary name first so a failed save leaves an
  // older file of that name intact.
  auto* job = new SaveJob{v->id, path, path + ".part"};
  GFile* file = g_file_new_for_path(job->temp.c_str());
  webkit_web_view_save_to_file(v->web, file, WEBKIT_SAVE_MODE_MHTML, nullptr, onMhtmlSaved, job);
  g_object_unref(file);
}

struct EvalJob {
  int id;
  std::int64_t request;
};

void onEvaluated(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<EvalJob*>(data);
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
  Message m = event("result", job->id).set("id", job->request);
  if (error) {
    m.set("error", error->message);
    g_error_free(error);
  } else {
    if (value && !jsc_value_is_undefined(value) && !jsc_value_is_null(value)) {
      char* text = jsc_value_to_string(value);
      m.set("value", text ? text : "");
      g_free(text);
    } else {
      m.set("value", "");
    }
  }
  if (value) g_object_unref(value);
  send(m);
  delete job;
}

void evaluate(const Message& m) {
  View* v = findView(m);
  if (!v) return;
  const std::string script = m.str("script");
  webkit_web_view_evaluate_javascript(v->web, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                      nullptr, onEvaluated, new EvalJob{v->id, m.integer("id")});
}

// The frame's answer to a script dialog.
void answerDialog(View* v, const Message& m) {
  auto it = v->dialogs.find(m.integer("id"));
  if (it == v->dialogs.end()) return;
  WebKitScriptDialog* dialog = it->second;
  v->dialogs.erase(it);
  const bool accepted = m.boolean("accepted");
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, accepted);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      // A prompt that is not accepted returns null to the page.
      if (accepted) webkit_script_dialog_prompt_set_text(dialog, m.str("text").c_str());
      break;
    default:
      break;
  }
  webkit_script_dialog_close(dialog);
  webkit_script_dialog_unref(dialog);
}

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

// ---- downloads ----------------------------------------------------------------
// Each download is reported to the frame, which asks the user where it
// goes and answers with "download-destination" or "download-cancel". The
// download belongs to the host, not to the view whose page started it.

struct Download {
  std::int64_t id = 0;
  WebKitDownload* download = nullptr;
  bool failed = false;
  gint64 lastReport = 0;
};
std::map<std::int64_t, Download*> downloads;
std::int64_t lastDownloadId = 0;

int viewIdOf(WebKitWebView* web) {
  for (const auto& [id, v] : views)
    if (v->web == web) return id;
  return 0;
}

std::int64_t contentLength(WebKitDownload* download) {
  WebKitURIResponse* r = webkit_download_get_response(download);
  return r ? static_cast<std::int64_t>(webkit_uri_response_get_content_length(r)) : 0;
}

gboolean onDecideDestination(WebKitDownload* download, gchar* suggested, gpointer data) {
  auto* d = static_cast<Download*>(data);
  // The server's own name where it gave one; WebKit's suggestion drops
  // leading dots and the like.
  std::string name = suggested ? suggested : "";
  if (WebKitURIResponse* r = webkit_download_get_response(download))
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(r)) {
      GHashTable* params = nullptr;
      if (soup_message_headers_get_content_disposition(headers, nullptr, &params) && params) {
        if (auto* own = static_cast<const char*>(g_hash_table_lookup(params, "filename")); own && *own) name = own;
      }
      if (params) g_hash_table_destroy(params);
    }
  std::string uri;
  if (WebKitURIRequest* request = webkit_download_get_request(download))
    if (const char* u = webkit_uri_request_get_uri(request)) uri = u;
  WebKitWebView* web = webkit_download_get_web_view(download);
  send(event("download-started", web ? viewIdOf(web) : 0)
           .set("download", d->id)
           .set("uri", uri)
           .set("name", name)
           .set("total", contentLength(download)));
  return TRUE;  // the destination comes later, from the frame
}

void onDownloadData(WebKitDownload* download, guint64, gpointer data) {
  auto* d = static_cast<Download*>(data);
  const gint64 now = g_get_monotonic_time();
  if (now - d->lastReport < 100000) return;  // ten reports a second at most
  d->lastReport = now;
  send(event("download-progress", 0)
           .set("download", d->id)
           .set("received", static_cast<std::int64_t>(webkit_download_get_received_data_length(download)))
           .set("total", contentLength(download)));
}

void onDownloadFailed(WebKitDownload*, GError* error, gpointer data) {
  auto* d = static_cast<Download*>(data);
  d->failed = true;
  const bool cancelled = g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER);
  send(event("download-failed", 0)
           .set("download", d->id)
           .set("cancelled", cancelled)
           .set("message", error ? error->message : ""));
}

// Comes after "failed" too: the end of the download either way.
void onDownloadFinished(WebKitDownload* download, gpointer data) {
  auto* d = static_cast<Download*>(data);
  if (!d->failed)
    send(event("download-finished", 0)
             .set("download", d->id)
             .set("received", static_cast<std::int64_t>(webkit_download_get_received_data_length(download))));
  downloads.erase(d->id);
  g_signal_handlers_disconnect_by_data(download, d);
  g_object_unref(download);
  delete d;
}

void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  auto* d = new Download;
  d->id = ++lastDownloadId;
  d->download = WEBKIT_DOWNLOAD(g_object_ref(download));
  downloads[d->id] = d;
  g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), d);
  g_signal_connect(download, "received-data", G_CALLBACK(onDownloadData), d);
  g_signal_connect(download, "failed", G_CALLBACK(onDownloadFailed), d);
  g_signal_connect(download, "finished", G_CALLBACK(onDownloadFinished), d);
}

void downloadCommand(const Message& m, bool cancel) {
  auto it = downloads.find(m.integer("download"));
  if (it == downloads.end()) return;
  WebKitDownload* download = it->second->download;
  const std::string path = m.str("path");
  if (cancel || path.empty()) return webkit_download_cancel(download);
  // The file is the frame's NAME.part, which it may replace.
  webkit_download_set_allow_overwrite(download, TRUE);
  // This API takes the destination as a file URI.
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  if (!uri) return webkit_download_cancel(download);
  webkit_download_set_destination(download, uri);
  g_free(uri);
}

// A page's answer that WebKit would show but the user expects to keep: an
// attachment, or a type no view can show, becomes a download.
gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) return FALSE;
  bool attachment = false;
  if (SoupMessageHeaders* headers =
          webkit_uri_response_get_http_headers(webkit_response_policy_decision_get_response(response))) {
    char* disposition = nullptr;
    if (soup_message_headers_get_content_disposition(headers, &disposition, nullptr)) {
      attachment = disposition && g_ascii_strcasecmp(disposition, "attachment") == 0;
      g_free(disposition);
    }
  }
  if (!attachment && webkit_response_policy_decision_is_mime_type_supported(response)) return FALSE;
  webkit_policy_decision_download(decision);
  return TRUE;
}

void handle(const Message& m) {
  const std::string cmd = m.str("cmd");
  if (cmd == "create") return createView(m);
  if (cmd == "destroy") return destroyView(m);
  if (cmd == "save") return save(m);
  if (cmd == "eval") return evaluate(m);
  // Readied before the first view: the network process comes up now.
  if (cmd == "prepare") return prepareSpare();
  if (cmd == "ping") return send(event("pong", 0).set("id", m.integer("id")));
  if (cmd == "adopt") return adoptView(m);
  if (cmd == "discard") return discardView(m);
  if (cmd == "download-destination") return downloadCommand(m, false);
  if (cmd == "download-cancel") return downloadCommand(m, true);
  if (cmd == "notification-clicked") return notificationCommand(m, true);
  if (cmd == "notification-closed") return notificationCommand(m, false);
  View* v = findView(m);
  if (!v) return;
  if (cmd == "navigate") {
    webkit_web_view_load_uri(v->web, m.str("url", "about:blank").c_str());
  } else if (cmd == "back") {
    webkit_web_view_go_back(v->web);
  } else if (cmd == "forward") {
    webkit_web_view_go_forward(v->web);
  } else if (cmd == "reload") {
    webkit_web_view_reload(v->web);
  } else if (cmd == "stop") {
    webkit_web_view_stop_loading(v->web);
  } else if (cmd == "copy") {
    webkit_web_view_execute_editing_command(v->web, WEBKIT_EDITING_COMMAND_COPY);
  } else if (cmd == "select-all") {
    webkit_web_view_execute_editing_command(v->web, WEBKIT_EDITING_COMMAND_SELECT_ALL);
  } else if (cmd == "zoom") {
    const double level = m.number("level", 1.0);
    if (level > 0.05 && level < 20) webkit_web_view_set_zoom_level(v->web, level);
  } else if (cmd == "resize") {
    const int w = static_cast<int>(m.integer("width")), h = static_cast<int>(m.integer("height"));
    if (w > 0 && h > 0) gtk_window_resize(GTK_WINDOW(v->window), w, h);
  } else if (cmd == "context-item") {
    const auto index = m.integer("index", -1);
    if (index < 0 || index > 63) return sendError(v->id, "context item index out of range");
    if (v->contextItems.size() <= static_cast<std::size_t>(index)) v->contextItems.resize(index + 1);
    v->contextItems[index] = ContextItem{m.str("label"), m.boolean("enabled", true)};
  } else if (cmd == "context-items") {
    const auto count = m.integer("count", 0);
    if (count >= 0 && static_cast<std::size_t>(count) < v->contextItems.size()) v->contextItems.resize(count);
  } else if (cmd == "dialog-reply") {
    answerDialog(v, m);
  } else if (isSecurityCommand(cmd)) {
    securityCommand(v, cmd, m);
  } else if (cmd == "permission-reply") {
    answerPermission(v, m);
  } else if (cmd == "permission-state-reply") {
    answerPermissionState(v, m);
  } else if (cmd == "leave-fullscreen") {
    static const char kLeave[] = "document.fullscreenElement && document.exitFullscreen()";
    webkit_web_view_evaluate_javascript(v->web, kLeave, -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  } else if (cmd == "frame-keys") {
    v->frameKeys = framekeys::decode(m.str("keys"));
  } else if (cmd == "terminate-web-process") {
    webkit_web_view_terminate_web_process(v->web);
  } else {
    sendError(v->id, "unknown command: " + cmd);
  }
}

gboolean onInput(GIOChannel*, GIOCondition, gpointer) {
  char buf[65536];
  const ssize_t n = read(protoIn, buf, sizeof buf);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return G_SOURCE_CONTINUE;
  if (n <= 0) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
  }
  reader.feed(buf, static_cast<std::size_t>(n));
  while (auto line = reader.next()) {
    if (line->empty()) continue;
    if (reader.cut()) {
      const Message head = wkproto::decodeHead(*line);
      send(event("rejected", static_cast<int>(head.integer("view")))
               .set("cmd", head.str("cmd"))
               .set("message", "command too long"));
      continue;
    }
    std::string why;
    auto m = wkproto::decode(*line, &why);
    if (!m) {
      sendError(0, "malformed command: " + why);
      continue;
    }
    handle(*m);
  }
  return G_SOURCE_CONTINUE;
}

void enableFeature(WebKitSettings* s, const char* identifier) {
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* f = webkit_feature_list_get(features, i);
    if (std::strcmp(webkit_feature_get_identifier(f), identifier) == 0) webkit_settings_set_feature_enabled(s, f, TRUE);
  }
  webkit_feature_list_unref(features);
}

XErrorHandler gdkErrorHandler = nullptr;

// Our windows live inside the frame's. When the frame takes its windows
// down before it has handed ours back, requests on ours fail with these two
// errors; they mean "that window is gone", which the host learns anyway.
int onXError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  return gdkErrorHandler ? gdkErrorHandler(display, error) : 0;
}

// Moves fd onto a close-on-exec descriptor of its own and puts `replacement`
// in its place, so the engine's helper processes never inherit the protocol.
int takeOver(int fd, int replacement) {
  const int own = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (own < 0) return -1;
  dup2(replacement, fd);
  return own;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  // Normally the end of stdin ends the host; this covers a frame killed
  // while a read is pending.
  prctl(PR_SET_PDEATHSIG, SIGTERM);

  // Stdout carries only the protocol: anything a library prints goes to stderr.
  protoOut = takeOver(STDOUT_FILENO, STDERR_FILENO);
  const int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  protoIn = takeOver(STDIN_FILENO, devnull >= 0 ? devnull : STDERR_FILENO);
  if (devnull >= 0) close(devnull);
  if (protoOut < 0 || protoIn < 0) return 1;

  // WebKit's and GTK's own texts (menus, messages) in Japanese, here and in
  // WebKit's processes, the rest of the locale as the user has it.
  for (const auto& [name, value] : engine_language::japaneseMessagesEnvironment(getenv)) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  // A locale the system lacks would leave every process in "C", where no
  // translation is looked up.
  if (!setlocale(LC_ALL, "")) setenv("LC_ALL", "C.UTF-8", 1);
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("zelvo-webkit-host: cannot open the X display\n", stderr);
    return 1;
  }
  gdkErrorHandler = XSetErrorHandler(onXError);

  gchar* data = g_build_filename(g_get_user_data_dir(), "zelvo", "webkit", nullptr);
  gchar* cache = g_build_filename(g_get_user_cache_dir(), "zelvo", "webkit", nullptr);
  WebKitWebsiteDataManager* manager =
      webkit_website_data_manager_new("base-data-directory", data, "base-cache-directory", cache, nullptr);
  context = webkit_web_context_new_with_website_data_manager(manager);
  // The web processes run in WebKit's sandbox (bubblewrap), which cannot
  // work as root; the frame says so when it starts.
  if (geteuid() != 0) webkit_web_context_set_sandbox_enabled(context, TRUE);
  gchar* cookies = g_build_filename(data, "cookies.sqlite", nullptr);
  webkit_cookie_manager_set_persistent_storage(webkit_web_context_get_cookie_manager(context), cookies,
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  g_free(cookies);
  g_free(cache);
  g_free(data);
  // Passwords are never written to a keyring.
  webkit_website_data_manager_set_persistent_credential_storage_enabled(manager, FALSE);
  settings = webkit_settings_new();
  webkit_settings_set_enable_write_console_messages_to_stdout(settings, FALSE);
  // Every window a page asks for comes to the frame, which decides.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  // Pages may ask for full screen, the camera and the microphone; the frame
  // shows the one and asks the user about the others.
  webkit_settings_set_enable_fullscreen(settings, TRUE);
  webkit_settings_set_enable_media_stream(settings, TRUE);
  // Pages that declare no encoding (Shift_JIS, EUC-JP, ISO-2022-JP, UTF-8)
  // are read by what their bytes are, not as Latin-1.
  enableFeature(settings, "UsesEncodingDetector");

  g_signal_connect(context, "download-started", G_CALLBACK(onDownloadStarted), nullptr);
  g_signal_connect(context, "initialize-notification-permissions", G_CALLBACK(onInitializeNotificationPermissions),
                   nullptr);

  GIOChannel* channel = g_io_channel_unix_new(protoIn);
  g_io_add_watch(channel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), onInput, nullptr);
  g_io_channel_unref(channel);

  send(event("ready", 0).set("pid", static_cast<int>(getpid())));
  gtk_main();

  while (!pendingViews.empty()) {
    View* v = pendingViews.begin()->second;
    forgetView(v);
    gtk_widget_destroy(v->window);
    delete v;
  }
  while (!views.empty()) {
    View* v = views.begin()->second;
    forgetView(v);
    gtk_widget_destroy(v->window);
    delete v;
  }
  g_object_unref(settings);
  g_object_unref(context);
  g_object_unref(manager);
  return 0;
}
