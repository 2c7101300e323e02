// Downloads. Each download is reported to the frame, which asks the user where it
// goes and answers with "download-destination" or "download-cancel". The
// download belongs to the host, not to the view whose page started it.
#include "webkit-host/host.h"

namespace host {

namespace {

struct Download {
  std::int64_t id = 0;
  WebKitDownload* download = nullptr;
  bool failed = false;
  bool isPrivate = false;  // started in the private windows' context
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
  // A compressed body's announced size is not what arrives once unpacked.
  bool encoded = false;
  if (WebKitURIResponse* r = webkit_download_get_response(download))
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(r)) {
      const char* coding = soup_message_headers_get_one(headers, "Content-Encoding");
      encoded = coding && *coding && g_ascii_strcasecmp(coding, "identity") != 0;
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
           .set("total", contentLength(download))
           .set("encoded", encoded)
           .set("private", d->isPrivate));
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

}  // namespace

void onDownloadStarted(WebKitWebContext* from, WebKitDownload* download, gpointer) {
  auto* d = new Download;
  d->id = ++lastDownloadId;
  d->isPrivate = from != context;
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

}  // namespace host
