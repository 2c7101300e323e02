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

void onPrivateDataCleared(GObject* manager, GAsyncResult* result, gpointer data) {
  webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result, nullptr);
  g_object_unref(static_cast<WebKitWebContext*>(data));
  g_object_unref(manager);
}

// Runs once the last private view's widgets are destroyed.
gboolean dropPrivateContext(gpointer) {
  if (privateViews > 0 || !privateContext) return G_SOURCE_REMOVE;
  WebKitWebContext* context = privateContext;
  WebKitWebsiteDataManager* manager = privateManager;
  privateContext = nullptr;
  privateManager = nullptr;
  // The next private view starts from nothing; this session's data is
  // wiped from the network process now, not whenever it lets go.
  webkit_website_data_manager_clear(manager, WEBKIT_WEBSITE_DATA_ALL, 0, nullptr, onPrivateDataCleared, context);
  return G_SOURCE_REMOVE;
}

}  // namespace

WebKitWebContext* holdPrivateContext() {
  if (!privateContext) {
    privateManager = webkit_website_data_manager_new_ephemeral();
    privateContext = webkit_web_context_new_with_website_data_manager(privateManager);
    if (geteuid() != 0) webkit_web_context_set_sandbox_enabled(privateContext, TRUE);
    g_signal_connect(privateContext, "download-started", G_CALLBACK(onDownloadStarted), nullptr);
    g_signal_connect(privateContext, "initialize-notification-permissions",
                     G_CALLBACK(onInitializeNotificationPermissions), nullptr);
  }
  ++privateViews;
  return privateContext;
}

void releasePrivateContext() {
  if (privateViews > 0 && --privateViews == 0) g_idle_add(dropPrivateContext, nullptr);
}

}  // namespace host
