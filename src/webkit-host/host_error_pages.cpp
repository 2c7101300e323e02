// The pages a view shows when its load fails or its web process dies, in
// Japanese and at the failed address, so that reloading loads it again.
#include "engine/engine_language.h"
#include "webkit-host/host.h"

namespace host {

namespace {

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

struct CrashReload {
  int id;
  std::string uri;
};

gboolean showCrashPage(gpointer data) {
  auto* c = static_cast<CrashReload*>(data);
  auto it = views.find(c->id);
  if (it != views.end()) {
    const std::string html = crashPage(c->uri);
    it->second->errorPageUri = c->uri.empty() ? "about:blank" : c->uri;
    webkit_web_view_load_alternate_html(it->second->web, html.c_str(), c->uri.empty() ? "about:blank" : c->uri.c_str(),
                                        nullptr);
  }
  delete c;
  return G_SOURCE_REMOVE;
}

}  // namespace

gboolean onLoadFailed(WebKitWebView* web, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
  auto* v = static_cast<View*>(data);
  v->userLoad = false;
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
  v->errorPageUri = uri;
  webkit_web_view_load_alternate_html(web, html.c_str(), uri, nullptr);
  return TRUE;
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

}  // namespace host
