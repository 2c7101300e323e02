// Clicks, keys and focus: what the frame needs to hear of the input that
// reaches the view's window directly.
#include "webkit-host/host.h"

namespace host {

// Clicks reach this window directly and the frame never sees them; it needs
// to hear of them to activate the child and move keyboard focus here.
gboolean onButtonPress(GtkWidget*, GdkEventButton* e, gpointer data) {
  auto* v = static_cast<View*>(data);
  send(event("button-press", v->id).set("button", static_cast<int>(e->button)));
  return FALSE;
}

namespace {

// The frame gets a key as X gave it to us.
void passKey(View* v, const GdkEventKey* e) {
  send(event("key", v->id)
           .set("keycode", static_cast<int>(e->hardware_keycode))
           .set("state", static_cast<int>(e->state & 0x1fff))
           .set("group", static_cast<int>(e->group))
           .set("time", static_cast<std::int64_t>(e->time)));
}

}  // namespace

// A key the page did not take comes back here once WebKit is done with it;
// it belongs to the frame (its shortcuts, menus and mnemonics).
gboolean onUnhandledKey(GtkWidget*, GdkEventKey* e, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (e->is_modifier) return FALSE;
  // Plain Tab and Shift+Tab at the page's ends come as "focus-leaves".
  const bool tab = e->keyval == GDK_KEY_Tab || e->keyval == GDK_KEY_ISO_Left_Tab || e->keyval == GDK_KEY_KP_Tab;
  if (tab && !(e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK))) return TRUE;
  passKey(v, e);
  return TRUE;
}

namespace {

// A key that goes on to the page is a user action there (one that may
// open a window); the frame counts them.
gboolean pageKey(View* v) {
  send(event("page-key", v->id));
  return FALSE;
}

// Whether an input method is composing text in the page: its keys (F6 to
// F10 convert, for one) are the input method's then, not the frame's.
bool composing(View* v) {
  WebKitInputMethodContext* im = webkit_web_view_get_input_method_context(v->web);
  if (!im) return false;
  char* text = nullptr;
  webkit_input_method_context_get_preedit(im, &text, nullptr, nullptr);
  const bool busy = text && *text;
  g_free(text);
  return busy;
}

}  // namespace

// The window sees each key before the page does: the frame's own keys go
// to the frame at once, also those WebKit would use and never report.
gboolean onFrameKey(GtkWidget*, GdkEventKey* e, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (e->is_modifier) return FALSE;
  if (v->frameKeys.empty() || composing(v)) return pageKey(v);
  bool frames = framekeys::contains(v->frameKeys, framekeys::normalise(gdk_keyval_to_lower(e->keyval), e->state));
  if (!frames && e->group != 0) {
    // Another layout (Cyrillic, Greek) active: the key's own letter counts,
    // as it does for the frame's shortcuts.
    guint base = 0;
    if (gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_window_get_display(e->window)),
                                            e->hardware_keycode, static_cast<GdkModifierType>(e->state), 0, &base,
                                            nullptr, nullptr, nullptr))
      frames = framekeys::contains(v->frameKeys, framekeys::normalise(gdk_keyval_to_lower(base), e->state));
  }
  if (!frames) return pageKey(v);
  passKey(v, e);
  return TRUE;
}

// Tab past the page's first or last element: the page gives the focus away,
// and the window, having nothing else, would give it straight back. It goes
// to the frame instead.
gboolean onWindowFocus(GtkWidget*, GtkDirectionType direction, gpointer data) {
  auto* v = static_cast<View*>(data);
  if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
  if (!gtk_widget_has_focus(GTK_WIDGET(v->web))) return FALSE;
  send(event("focus-leaves", v->id).set("forward", direction == GTK_DIR_TAB_FORWARD));
  return TRUE;
}

}  // namespace host
