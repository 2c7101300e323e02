// Ctrl+wheel zoom, the page's source and the engine's inspector.
#include <glib.h>

#include <algorithm>

#include "webkit-host/host.h"

namespace host {

namespace {

// The most of a document's source sent to the frame.
constexpr gsize kMaxSource = gsize(8) << 20;

// Ctrl+wheel zooms the page: the frame steps the level.
gboolean onScroll(GtkWidget*, GdkEventScroll* e, gpointer data) {
  if (!(e->state & GDK_CONTROL_MASK)) return FALSE;
  auto* v = static_cast<View*>(data);
  int steps = 0;
  if (e->direction == GDK_SCROLL_UP) {
    steps = 1;
  } else if (e->direction == GDK_SCROLL_DOWN) {
    steps = -1;
  } else if (e->direction == GDK_SCROLL_SMOOTH) {
    // A touchpad's small deltas add up to whole notches.
    v->wheelRest -= e->delta_y;
    steps = static_cast<int>(v->wheelRest);
    v->wheelRest -= steps;
  }
  if (steps != 0) send(event("zoom-wheel", v->id).set("steps", steps));
  return TRUE;
}

// The inspector gets a window of its own, never a part of the embedded one.
gboolean onInspectorAttach(WebKitWebInspector*, gpointer) { return TRUE; }

struct SourceJob {
  int id;
  std::string uri;
  std::string charset;
};

void onSourceData(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<SourceJob*>(data);
  GError* error = nullptr;
  gsize size = 0;
  guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &size, &error);
  if (error) {
    sendError(job->id, std::string("no source: ") + error->message);
    g_error_free(error);
  } else {
    const bool cut = size > kMaxSource;
    gchar* encoded = g_base64_encode(bytes, std::min(size, kMaxSource));
    send(event("source", job->id)
             .set("uri", job->uri)
             .set("charset", job->charset)
             .set("cut", cut)
             .set("data", encoded));
    g_free(encoded);
  }
  g_free(bytes);
  delete job;
}

// The document's character set as its response names it, if it does.
std::string responseCharset(WebKitWebResource* resource) {
  WebKitURIResponse* response = webkit_web_resource_get_response(resource);
  SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
  if (!headers) return {};
  GHashTable* params = nullptr;
  std::string charset;
  if (soup_message_headers_get_content_type(headers, &params) && params) {
    if (const auto* c = static_cast<const char*>(g_hash_table_lookup(params, "charset"))) charset = c;
  }
  if (params) g_hash_table_destroy(params);
  return charset.size() <= 64 ? charset : std::string();
}

void sendSource(View* v) {
  WebKitWebResource* resource = webkit_web_view_get_main_resource(v->web);
  if (!resource) return sendError(v->id, "no source: no page loaded");
  const char* uri = webkit_web_resource_get_uri(resource);
  webkit_web_resource_get_data(resource, nullptr, onSourceData,
                               new SourceJob{v->id, uri ? uri : "", responseCharset(resource)});
}

void inspect(View* v) {
  webkit_settings_set_enable_developer_extras(settings, TRUE);
  WebKitWebInspector* inspector = webkit_web_view_get_inspector(v->web);
  if (!g_object_get_data(G_OBJECT(inspector), "zelvo-watched")) {
    g_object_set_data(G_OBJECT(inspector), "zelvo-watched", GINT_TO_POINTER(1));
    g_signal_connect(inspector, "attach", G_CALLBACK(onInspectorAttach), nullptr);
  }
  webkit_web_inspector_show(inspector);
}

// The engine's zoom does not reach devicePixelRatio, as it does in other
// engines, so pages would draw their canvases and pick their images for
// 100%: the page reads the engine's ratio times the zoom instead. The
// engine's own getter is kept on ours, so that a change replaces only the
// factor.
std::string zoomRatioScript(double level) {
  char factor[32];
  g_ascii_dtostr(factor, sizeof factor, level);
  return std::string(
             "(function(){var d=Object.getOwnPropertyDescriptor(window,'devicePixelRatio');"
             "if(!d||!d.get)return;var own=d.get.zelvoEngineRatio||d.get;"
             "var get=function(){return own.call(this)*") +
         factor +
         ";};get.zelvoEngineRatio=own;"
         "Object.defineProperty(window,'devicePixelRatio',{get:get,set:d.set,enumerable:d.enumerable,"
         "configurable:true});})();";
}

}  // namespace

void setZoom(View* v, double level) {
  webkit_web_view_set_zoom_level(v->web, level);
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(v->web);
  if (v->zoomScript) {
    webkit_user_content_manager_remove_script(content, v->zoomScript);
    webkit_user_script_unref(v->zoomScript);
    v->zoomScript = nullptr;
  }
  const std::string script = zoomRatioScript(level);
  if (level != 1.0) {
    v->zoomScript = webkit_user_script_new(script.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                           WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, v->zoomScript);
  }
  // The page shown now (100% puts the engine's own ratio back).
  webkit_web_view_evaluate_javascript(v->web, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void watchTools(View* v) { g_signal_connect(v->web, "scroll-event", G_CALLBACK(onScroll), v); }

void forgetTools(View* v) {
  if (v->zoomScript) webkit_user_script_unref(v->zoomScript);
  v->zoomScript = nullptr;
}

bool isToolsCommand(const std::string& cmd) { return cmd == "source" || cmd == "inspect"; }

void toolsCommand(View* v, const std::string& cmd) {
  if (cmd == "source")
    sendSource(v);
  else if (cmd == "inspect")
    inspect(v);
}

}  // namespace host
