// zelvo-webkit-host: the WebKitGTK engine of the Gecko windows, run as a
// process of its own so that a failing engine never takes the frame down.
// One shared web context for all views (private ones have their own, see
// host_private.cpp); one undecorated top-level window per
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

#include <clocale>
#include <cstdio>
#include <cstring>

#include "engine/engine_language.h"
#include "webkit-host/host.h"

using namespace host;

namespace {

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
  enableIcons(context, cache);  // site icons
  // Third-party cookies are refused until the frame allows them.
  applyCookiePolicy(context);
  watchCookies();
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
