// Page dialogs, permission requests, notifications and full screen: the
// frame asks the user; the page waits for its answer.
#include <algorithm>

#include "webkit-host/host.h"

namespace host {

namespace {

std::int64_t lastDialogId = 0;

}  // namespace

// alert, confirm, prompt and "leave this page?" are the frame's dialogs;
// the page waits until the frame answers.
gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
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
  if (!v->committedUri.empty()) m.set("uri", v->committedUri);
  send(m);
  return TRUE;
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

// ---- permissions, notifications, full screen ----------------------------------
// The frame asks the user and answers with "permission-reply"; until then
// the page waits. A view that goes denies what it still waits for.

namespace {

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

}  // namespace

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

namespace {

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
  renewSpare();
}

}  // namespace

// navigator.permissions.query(): the frame knows what the user answered.
gboolean onQueryPermissionState(WebKitWebView*, WebKitPermissionStateQuery* query, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (v->id <= 0) return FALSE;
  const std::int64_t id = ++lastPermissionId;
  v->permissionStates[id] = webkit_permission_state_query_ref(query);
  send(event("permission-state", v->id)
           .set("id", id)
           .set("name", webkit_permission_state_query_get_name(query))
           .set("uri", v->committedUri));
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

gboolean onPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, gpointer data) {
  auto* v = static_cast<View*>(data);
  const char* kind = permissionKind(request);
  // A window the frame has not taken yet has nobody to ask, and a page the
  // user is leaving gets nothing.
  if (!kind || v->id <= 0 || leavingForUserLoad(v)) {
    webkit_permission_request_deny(request);
    return TRUE;
  }
  const std::int64_t id = ++lastPermissionId;
  v->permissions[id] = {WEBKIT_PERMISSION_REQUEST(g_object_ref(request)), v->committedUri};
  send(event("permission", v->id).set("id", id).set("kind", kind).set("uri", v->committedUri));
  return TRUE;
}

void answerPermission(View* v, const Message& m) {
  auto it = v->permissions.find(m.integer("id"));
  if (it == v->permissions.end()) return;
  WebKitPermissionRequest* request = it->second.request;
  const std::string uri = it->second.uri;
  v->permissions.erase(it);
  // A private window's answer is not carried to the ordinary windows.
  if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request) && m.boolean("remembered") && !v->isPrivate)
    rememberNotificationAnswer(uri, m.boolean("allowed"));
  if (m.boolean("allowed"))
    webkit_permission_request_allow(request);
  else
    webkit_permission_request_deny(request);
  g_object_unref(request);
}

namespace {

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

}  // namespace

gboolean onShowNotification(WebKitWebView*, WebKitNotification* n, gpointer data) {
  auto* v = static_cast<View*>(data);
  const auto id = static_cast<std::int64_t>(webkit_notification_get_id(n));
  if (!notifications.count(id)) {
    notifications[id] = {WEBKIT_NOTIFICATION(g_object_ref(n)), v->id};
    g_signal_connect(n, "closed", G_CALLBACK(onNotificationClosed), nullptr);
  }
  const char* title = webkit_notification_get_title(n);
  const char* body = webkit_notification_get_body(n);
  send(event("notification", v->id)
           .set("id", id)
           .set("title", title ? title : "")
           .set("body", body ? body : "")
           .set("uri", v->committedUri));
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

}  // namespace host
