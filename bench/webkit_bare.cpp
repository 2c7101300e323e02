// The yardstick for a Gecko child: a bare WebKitGTK window loading the page
// given on the command line. Prints the milliseconds from start to the end
// of the load and exits.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>

namespace {

gint64 started = 0;

void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer) {
  if (event != WEBKIT_LOAD_FINISHED) return;
  std::printf("%.1f\n", (g_get_monotonic_time() - started) / 1000.0);
  std::fflush(stdout);
  gtk_main_quit();
}

gboolean onFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer) {
  std::fprintf(stderr, "webkit_bare: %s: %s\n", uri, error->message);
  return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
  started = g_get_monotonic_time();
  gtk_init(&argc, &argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: webkit_bare URI\n");
    return 2;
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
  GtkWidget* view = webkit_web_view_new();
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), nullptr);
  g_signal_connect(view, "load-failed", G_CALLBACK(onFailed), nullptr);
  gtk_widget_show_all(window);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
  gtk_main();
  return 0;
}
