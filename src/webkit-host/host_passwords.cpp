// Saved passwords: the login-form script runs in the top frame of every
// page, in a script world of its own whose message handler the page cannot
// reach; its messages go to the frame as they came, and the frame's fill
// runs in the same world.
#include "passwords/form_script.h"
#include "webkit-host/host.h"

namespace host {

namespace {

constexpr const char* kWorld = "zelvo-passwords";
constexpr const char* kHandler = "zelvoPasswords";

void onPasswordMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  auto* v = static_cast<View*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_string(value)) return;
  gchar* json = jsc_value_to_string(value);
  send(event("password-form", v->id).set("json", json ? json : ""));
  g_free(json);
}

}  // namespace

void watchPasswords(View* v) {
  WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(v->web);
  webkit_user_content_manager_register_script_message_handler_in_world(content, kHandler, kWorld);
  g_signal_connect(content, (std::string("script-message-received::") + kHandler).c_str(),
                   G_CALLBACK(onPasswordMessage), v);
  const std::string source = passwords::formScript(std::string("function (m) { window.webkit.messageHandlers.") +
                                                   kHandler + ".postMessage(m); }");
  WebKitUserScript* script =
      webkit_user_script_new_for_world(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, kWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(content, script);
  webkit_user_script_unref(script);
}

void forgetPasswords(View* v) {
  g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(v->web), v);
}

void fillPassword(View* v, const Message& m) {
  GVariantDict args;
  g_variant_dict_init(&args, nullptr);
  g_variant_dict_insert(&args, "origin", "s", m.str("origin").c_str());
  g_variant_dict_insert(&args, "form", "i", static_cast<gint32>(m.integer("form")));
  g_variant_dict_insert(&args, "userField", "i", static_cast<gint32>(m.integer("user-field", -1)));
  g_variant_dict_insert(&args, "passwordField", "i", static_cast<gint32>(m.integer("password-field", -1)));
  g_variant_dict_insert(&args, "user", "s", m.str("user").c_str());
  g_variant_dict_insert(&args, "password", "s", m.str("password").c_str());
  const std::string body = std::string("return window.") + passwords::kFillFunction + " ? window." +
                           passwords::kFillFunction +
                           "(origin, form, userField, passwordField, user, password) : false;";
  webkit_web_view_call_async_javascript_function(v->web, body.c_str(), -1, g_variant_dict_end(&args), kWorld, nullptr,
                                                 nullptr, nullptr, nullptr);
}

}  // namespace host
