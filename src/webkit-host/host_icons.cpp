// Site icons: the web view's icon, as WebKit's icon database has it, made
// into a PNG of at most 256 pixels each way and sent to the frame.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "webkit-host/host.h"

namespace host {

namespace {

constexpr int kMaxSide = 256;
constexpr gsize kMaxPng = 256 * 1024;

std::string iconPng(WebKitWebView* web) {
  cairo_surface_t* surface = webkit_web_view_get_favicon(web);
  if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return {};
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  if (w <= 0 || h <= 0) return {};
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_surface(surface, 0, 0, w, h);
  if (!pixbuf) return {};
  if (w > kMaxSide || h > kMaxSide) {
    const double scale = double(kMaxSide) / (w > h ? w : h);
    GdkPixbuf* smaller = gdk_pixbuf_scale_simple(pixbuf, w * scale > 1 ? int(w * scale) : 1,
                                                 h * scale > 1 ? int(h * scale) : 1, GDK_INTERP_BILINEAR);
    g_object_unref(pixbuf);
    pixbuf = smaller;
    if (!pixbuf) return {};
  }
  gchar* buffer = nullptr;
  gsize size = 0;
  const gboolean saved = gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr);
  g_object_unref(pixbuf);
  std::string out;
  if (saved && size <= kMaxPng) {
    gchar* text = g_base64_encode(reinterpret_cast<const guchar*>(buffer), size);
    out = text;
    g_free(text);
  }
  g_free(buffer);
  return out;
}

void onFavicon(GObject*, GParamSpec*, gpointer data) {
  auto* v = static_cast<View*>(data);
  send(event("icon", v->id).set("png", iconPng(v->web)));
}

}  // namespace

void enableIcons(WebKitWebContext* context, const char* cacheFolder) {
  gchar* folder = g_build_filename(cacheFolder, "icondatabase", nullptr);
  webkit_web_context_set_favicon_database_directory(context, folder);
  g_free(folder);
}

void watchIcon(View* v) { g_signal_connect(v->web, "notify::favicon", G_CALLBACK(onFavicon), v); }

}  // namespace host
