// Private views: a second web context over an ephemeral website data
// manager, so that their cookies, caches and storage stay in memory. It is
// made for the first private view and dropped, with all it holds, as soon
// as the last one is gone.
#include <unistd.h>

#include "webkit-host/host.h"

namespace host {

namespace {

WebKitWebContext* privateContext = nullptr;
WebKitWebsiteDataManager* privateManager = nullptr;
int privateViews = 0;

void onPrivateDataCleared(GObject* manager, GAsyncResult* result, gpointer context) {
  webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result, nullptr);
  g_object_unref(static_cast<WebKitWebContext*>(context));
  g_object_unref(manager);
}

struct Dropped {
  WebKitWebContext* context;
  WebKitWebsiteDataManager* manager;
};

// Runs once the last private view's widgets are destroyed. This session's
// data is wiped from the network process now, not whenever it lets go.
gboolean dropPrivateContext(gpointer data) {
  auto* d = static_cast<Dropped*>(data);
  webkit_website_data_manager_clear(d->manager, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr, onPrivateDataCleared, d->context);
  delete d;
  return G_SOURCE_REMOVE;
}

}  // namespace

WebKitWebContext* holdPrivateContext() {
  if (!privateContext) {
    privateManager = webkit_website_data_manager_new_ephemeral();
    privateContext = webkit_web_context_new_with_website_data_manager(privateManager);
    if (geteuid() != 0) webkit_web_context_set_sandbox_enabled(privateContext, TRUE);
    applyCookiePolicy(privateContext);
    g_signal_connect(privateContext, "download-started", G_CALLBACK(onDownloadStarted), nullptr);
    g_signal_connect(privateContext, "initialize-notification-permissions",
                     G_CALLBACK(onInitializeNotificationPermissions), nullptr);
  }
  ++privateViews;
  return privateContext;
}

WebKitWebContext* privateContextIfAny() { return privateContext; }

void releasePrivateContext() {
  if (privateViews == 0 || --privateViews > 0) return;
  // A private view made from now on starts from nothing.
  g_idle_add(dropPrivateContext, new Dropped{privateContext, privateManager});
  privateContext = nullptr;
  privateManager = nullptr;
}

}  // namespace host
