// The page's context menu: WebKit's own items in Japanese, then the frame's.
#include "page/page_menu_items.h"
#include "webkit-host/host.h"

namespace host {

namespace {

void onContextItemActivated(GSimpleAction* action, GVariant*, gpointer) {
  const int view = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(action), "zelvo-view"));
  const int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(action), "zelvo-index"));
  send(event("context-action", view).set("index", index));
}

// Items whose captions WebKit's Japanese translation lacks: they take the
// captions the other engine's menu has, and do what WebKit's would.
struct OwnItem {
  WebKitContextMenuAction stock;
  PageMenuItem item;
  const char* command;  // an editing command, or null for history and loading
};
constexpr OwnItem kOwnItems[] = {
    {WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, PageMenuItem::Back, nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD, PageMenuItem::Forward, nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_STOP, PageMenuItem::Stop, nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_CUT, PageMenuItem::Cut, WEBKIT_EDITING_COMMAND_CUT},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY, PageMenuItem::Copy, WEBKIT_EDITING_COMMAND_COPY},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE, PageMenuItem::Paste, WEBKIT_EDITING_COMMAND_PASTE},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT, PageMenuItem::PasteAsPlainText,
     WEBKIT_EDITING_COMMAND_PASTE_AS_PLAIN_TEXT},
    {WEBKIT_CONTEXT_MENU_ACTION_DELETE, PageMenuItem::Delete, "Delete"},
    {WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL, PageMenuItem::SelectAll, WEBKIT_EDITING_COMMAND_SELECT_ALL},
};

void onOwnItemActivated(GSimpleAction* action, GVariant*, gpointer data) {
  auto* v = static_cast<View*>(data);
  WebKitWebView* web = v->web;
  const auto* own = static_cast<const OwnItem*>(g_object_get_data(G_OBJECT(action), "zelvo-own"));
  if (own->command) {
    webkit_web_view_execute_editing_command(web, own->command);
  } else if (own->stock == WEBKIT_CONTEXT_MENU_ACTION_GO_BACK) {
    startUserLoad(v);
    webkit_web_view_go_back(web);
  } else if (own->stock == WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD) {
    startUserLoad(v);
    webkit_web_view_go_forward(web);
  } else {
    webkit_web_view_stop_loading(web);
  }
}

void japaneseCaptions(View* v, WebKitContextMenu* menu) {
  GList* items = g_list_copy(webkit_context_menu_get_items(menu));
  guint position = 0;
  for (GList* l = items; l; l = l->next) {
    auto* item = WEBKIT_CONTEXT_MENU_ITEM(l->data);
    const WebKitContextMenuAction stock = webkit_context_menu_item_get_stock_action(item);
    // WebKit's own extras (a link to the selected text) have no Japanese.
    if (stock == WEBKIT_CONTEXT_MENU_ACTION_CUSTOM) {
      webkit_context_menu_remove(menu, item);
      continue;
    }
    const OwnItem* own = nullptr;
    for (const OwnItem& o : kOwnItems)
      if (o.stock == stock) own = &o;
    if (own) {
      GSimpleAction* action = g_simple_action_new(pageMenuItemName(own->item), nullptr);
      g_simple_action_set_enabled(action, g_action_get_enabled(webkit_context_menu_item_get_gaction(item)));
      g_object_set_data(G_OBJECT(action), "zelvo-own", const_cast<OwnItem*>(own));
      g_signal_connect(action, "activate", G_CALLBACK(onOwnItemActivated), v);
      webkit_context_menu_insert(
          menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), pageMenuCaptionText(own->item), nullptr),
          static_cast<gint>(position));
      g_object_unref(action);
      webkit_context_menu_remove(menu, item);
    }
    ++position;
  }
  g_list_free(items);
}

}  // namespace

// The engine's own menu in Japanese, then the frame's items; choosing one
// of those is the frame's business.
gboolean onContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*, gpointer data) {
  auto* v = static_cast<View*>(data);
  japaneseCaptions(v, menu);
  if (v->contextItems.empty()) return FALSE;
  if (webkit_context_menu_get_n_items(menu) > 0)
    webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
  for (std::size_t i = 0; i < v->contextItems.size(); ++i) {
    const std::string name = "zelvo-context-" + std::to_string(i);
    GSimpleAction* action = g_simple_action_new(name.c_str(), nullptr);
    g_simple_action_set_enabled(action, v->contextItems[i].enabled);
    g_object_set_data(G_OBJECT(action), "zelvo-view", GINT_TO_POINTER(v->id));
    g_object_set_data(G_OBJECT(action), "zelvo-index", GINT_TO_POINTER(static_cast<int>(i)));
    g_signal_connect(action, "activate", G_CALLBACK(onContextItemActivated), nullptr);
    webkit_context_menu_append(
        menu, webkit_context_menu_item_new_from_gaction(G_ACTION(action), v->contextItems[i].label.c_str(), nullptr));
    g_object_unref(action);
  }
  return FALSE;
}

}  // namespace host
