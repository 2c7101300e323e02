// Find in page and the view's back and forward lists.
#include <string>

#include "webkit-host/host.h"

namespace host {

namespace {

// Beyond this many matches WebKit counts no further.
constexpr guint kMostMatches = 1000;
// The frame lists at most this many entries on each side.
constexpr int kTravelEntries = 15;
// Titles and addresses of history entries are the pages' own: cut long ones.
constexpr std::size_t kLongestField = 2048;

std::string cut(const char* text) {
  std::string s = text ? text : "";
  if (s.size() <= kLongestField) return s;
  std::size_t end = kLongestField;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  return s.substr(0, end);
}

std::string searchText(WebKitFindController* find) {
  const char* text = webkit_find_controller_get_search_text(find);
  return text ? text : "";
}

// WebKit answers each search or step once and each count once, in the
// order asked; the frame matches the answers to its requests by that order.
void onFound(WebKitFindController*, guint, gpointer data) {
  send(event("find", static_cast<View*>(data)->id).set("found", true));
}

void onNotFound(WebKitFindController*, gpointer data) {
  send(event("find", static_cast<View*>(data)->id).set("found", false));
}

void onCounted(WebKitFindController*, guint count, gpointer data) {
  const int n = count > kMostMatches ? static_cast<int>(kMostMatches) : static_cast<int>(count);
  send(event("find-count", static_cast<View*>(data)->id).set("count", n));
}

void find(View* v, const Message& m) {
  WebKitFindController* controller = webkit_web_view_get_find_controller(v->web);
  const std::string text = m.str("text");
  const bool again = m.boolean("again");
  if (text.empty()) {
    // Nothing to find; answered all the same, as the frame counts answers.
    send(event("find", v->id).set("found", false));
    if (!again) send(event("find-count", v->id).set("count", 0));
    return;
  }
  if (again && searchText(controller) == text) {
    if (m.boolean("backward"))
      webkit_find_controller_search_previous(controller);
    else
      webkit_find_controller_search_next(controller);
    return;
  }
  guint32 options = WEBKIT_FIND_OPTIONS_WRAP_AROUND;
  if (!m.boolean("case-sensitive")) options |= WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE;
  // Counting tells how many matches there are, searching highlights them
  // all. In this order: counting takes every highlight away. A step asks
  // for one answer only, even where it has to search anew.
  if (!again) webkit_find_controller_count_matches(controller, text.c_str(), options, kMostMatches);
  webkit_find_controller_search(controller, text.c_str(), options, kMostMatches);
}

void goToEntry(View* v, const Message& m) {
  const auto steps = m.integer("steps");
  if (steps == 0 || steps < -kTravelEntries || steps > kTravelEntries) return;
  WebKitBackForwardList* list = webkit_web_view_get_back_forward_list(v->web);
  if (WebKitBackForwardListItem* item = webkit_back_forward_list_get_nth_item(list, static_cast<gint>(steps))) {
    startUserLoad(v);
    webkit_web_view_go_to_back_forward_list_item(v->web, item);
  }
}

}  // namespace

void watchFind(View* v) {
  WebKitFindController* controller = webkit_web_view_get_find_controller(v->web);
  g_signal_connect(controller, "found-text", G_CALLBACK(onFound), v);
  g_signal_connect(controller, "failed-to-find-text", G_CALLBACK(onNotFound), v);
  g_signal_connect(controller, "counted-matches", G_CALLBACK(onCounted), v);
}

void forgetFind(View* v) { g_signal_handlers_disconnect_by_data(webkit_web_view_get_find_controller(v->web), v); }

void sendTravel(View* v) {
  WebKitBackForwardList* list = webkit_web_view_get_back_forward_list(v->web);
  Message m = event("travel", v->id);
  for (const int side : {-1, 1}) {
    const std::string name = side < 0 ? "back" : "forward";
    int count = 0;
    while (count < kTravelEntries) {
      WebKitBackForwardListItem* item = webkit_back_forward_list_get_nth_item(list, side * (count + 1));
      if (!item) break;
      const std::string n = std::to_string(count++);
      m.set(name + "-title-" + n, cut(webkit_back_forward_list_item_get_title(item)));
      m.set(name + "-uri-" + n, cut(webkit_back_forward_list_item_get_uri(item)));
    }
    m.set(name + "-count", count);
  }
  send(m);
}

bool isFindCommand(const std::string& cmd) { return cmd == "find" || cmd == "find-stop" || cmd == "go-to-entry"; }

void findCommand(View* v, const std::string& cmd, const Message& m) {
  if (cmd == "find")
    find(v, m);
  else if (cmd == "find-stop")
    webkit_find_controller_search_finish(webkit_web_view_get_find_controller(v->web));
  else if (cmd == "go-to-entry")
    goToEntry(v, m);
}

}  // namespace host
