// The view's history as WebKit records it, sent to the frame after each
// change and given back to a new view.
#include <string>

#include "webkit-host/host.h"

namespace host {

namespace {

// As large as the frame keeps: a longer record is neither sent nor taken.
constexpr gsize kMaxState = gsize(4) << 20;

}  // namespace

void sendSessionState(View* v) {
  WebKitWebViewSessionState* state = webkit_web_view_get_session_state(v->web);
  if (!state) return;
  GBytes* bytes = webkit_web_view_session_state_serialize(state);
  webkit_web_view_session_state_unref(state);
  if (!bytes) return;
  gsize size = 0;
  const auto* data = static_cast<const guchar*>(g_bytes_get_data(bytes, &size));
  if (size > 0 && size <= kMaxState) {
    gchar* text = g_base64_encode(data, size);
    send(event("session-state", v->id).set("state", text));
    g_free(text);
  }
  g_bytes_unref(bytes);
}

void restoreSession(View* v, const Message& m) {
  // The record came from a file the frame read: its size is checked here
  // again, and WebKit refuses what it cannot parse.
  const std::string text = m.str("state");
  if (text.empty() || text.size() > kMaxState / 3 * 4 + 4) return sendError(v->id, "session state refused");
  gsize size = 0;
  guchar* data = g_base64_decode(text.c_str(), &size);
  GBytes* bytes = g_bytes_new_take(data, size);
  WebKitWebViewSessionState* state = size > 0 ? webkit_web_view_session_state_new(bytes) : nullptr;
  g_bytes_unref(bytes);
  if (!state) return sendError(v->id, "session state refused");
  webkit_web_view_restore_session_state(v->web, state);
  webkit_web_view_session_state_unref(state);
  // Restoring fills the lists only; the current entry is loaded as history is.
  WebKitBackForwardList* list = webkit_web_view_get_back_forward_list(v->web);
  if (WebKitBackForwardListItem* current = webkit_back_forward_list_get_current_item(list)) {
    startUserLoad(v);
    webkit_web_view_go_to_back_forward_list_item(v->web, current);
  }
  sendHistory(v);
  sendTravel(v);
}

}  // namespace host
