// The yardstick for a Gecko window: a bare WebKitGTK program whose view's
// web process was started at its launch (it loads about:blank at once), as
// a browser has its engine running by the time the user types.
//   webkit_bare time URL     ms from the request (the program idle for a
//                            second) to the end of the load
//   webkit_bare memory URL   PSS of the process tree with 1 and with 5
//                            windows, each with a view of its own
#include <gtk/gtk.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_pss.h"

namespace {

bool finished = false;

void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer) {
  if (event == WEBKIT_LOAD_FINISHED) finished = true;
}

gboolean onFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer) {
  std::fprintf(stderr, "webkit_bare: %s: %s\n", uri, error->message);
  return FALSE;
}

void runFor(int ms) {
  const gint64 end = g_get_monotonic_time() + ms * 1000LL;
  while (g_get_monotonic_time() < end)
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
}

bool loadAndWait(WebKitWebView* view, const char* uri) {
  finished = false;
  webkit_web_view_load_uri(view, uri);
  const gint64 end = g_get_monotonic_time() + 60 * G_USEC_PER_SEC;
  while (!finished && g_get_monotonic_time() < end) g_main_context_iteration(nullptr, TRUE);
  return finished;
}

WebKitWebView* newWindow() {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 750, 560);
  GtkWidget* view = webkit_web_view_new();
  gtk_container_add(GTK_CONTAINER(window), view);
  g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), nullptr);
  g_signal_connect(view, "load-failed", G_CALLBACK(onFailed), nullptr);
  gtk_widget_show_all(window);
  return WEBKIT_WEB_VIEW(view);
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 3 || (std::strcmp(argv[1], "time") != 0 && std::strcmp(argv[1], "memory") != 0)) {
    std::fprintf(stderr, "usage: webkit_bare time|memory URI\n");
    return 2;
  }
  const char* uri = argv[2];
  if (std::strcmp(argv[1], "time") == 0) {
    WebKitWebView* view = newWindow();
    loadAndWait(view, "about:blank");  // the web process started at launch
    runFor(1000);
    const gint64 t0 = g_get_monotonic_time();
    if (!loadAndWait(view, uri)) return 1;
    std::printf("%.1f\n", (g_get_monotonic_time() - t0) / 1000.0);
  } else {
    std::vector<WebKitWebView*> views;
    long long one = 0;
    for (int i = 0; i < 5; ++i) {
      views.push_back(newWindow());
      if (!loadAndWait(views.back(), uri)) return 1;
      if (i == 0) {
        runFor(2000);
        one = treePssKiB(getpid());
      }
    }
    runFor(2000);
    std::printf("%lld %lld\n", one, treePssKiB(getpid()));
  }
  std::fflush(stdout);
  return 0;
}
