// Sign-in and certificates: the frame asks the user and answers with a
// command; nothing here waits.
#include <cstring>

#include "webkit-host/host.h"

namespace host {

namespace {

std::int64_t lastAuthId = 0;

void onAuthCancelled(WebKitAuthenticationRequest* request, gpointer data) {
  auto* v = static_cast<View*>(data);
  for (auto it = v->auths.begin(); it != v->auths.end(); ++it) {
    if (it->second != request) continue;
    send(event("auth-cancelled", v->id).set("id", it->first));
    g_signal_handlers_disconnect_by_data(request, v);
    g_object_unref(request);
    v->auths.erase(it);
    return;
  }
}

gboolean onAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) {
  auto* v = static_cast<View*>(data);
  const std::int64_t id = ++lastAuthId;
  v->auths[id] = WEBKIT_AUTHENTICATION_REQUEST(g_object_ref(request));
  g_signal_connect(request, "cancelled", G_CALLBACK(onAuthCancelled), v);
  // The scheme of what asks for the password, not of the page shown or
  // being loaded: it says whether the password would travel in clear.
  std::string scheme = "http";
  if (WebKitSecurityOrigin* origin = webkit_authentication_request_get_security_origin(request)) {
    if (const char* protocol = webkit_security_origin_get_protocol(origin); protocol && !std::strcmp(protocol, "https"))
      scheme = "https";
    webkit_security_origin_unref(origin);
  }
  const char* host = webkit_authentication_request_get_host(request);
  const char* realm = webkit_authentication_request_get_realm(request);
  send(event("authenticate", v->id)
           .set("id", id)
           .set("host", host ? host : "")
           .set("port", static_cast<int>(webkit_authentication_request_get_port(request)))
           .set("scheme", scheme)
           .set("realm", realm ? realm : "")
           .set("proxy", static_cast<bool>(webkit_authentication_request_is_for_proxy(request)))
           .set("retry", static_cast<bool>(webkit_authentication_request_is_retry(request))));
  return TRUE;
}

// The frame's answer. Without credentials the request goes on unanswered,
// so the server's own page (its 401 or 407 body) shows.
void answerAuth(View* v, const Message& m) {
  auto it = v->auths.find(m.integer("id"));
  if (it == v->auths.end()) return;
  WebKitAuthenticationRequest* request = it->second;
  v->auths.erase(it);
  g_signal_handlers_disconnect_by_data(request, v);
  if (m.boolean("accepted")) {
    // Kept in memory for this session only, never in a keyring.
    WebKitCredential* credential = webkit_credential_new(m.str("user").c_str(), m.str("password").c_str(),
                                                         WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
    webkit_authentication_request_authenticate(request, credential);
    webkit_credential_free(credential);
  } else {
    webkit_authentication_request_authenticate(request, nullptr);
  }
  g_object_unref(request);
}

void forgetTls(View* v) {
  if (v->tlsCertificate) g_object_unref(v->tlsCertificate);
  v->tlsCertificate = nullptr;
}

gboolean onTlsErrors(WebKitWebView*, gchar* uri, GTlsCertificate* certificate, GTlsCertificateFlags errors,
                     gpointer data) {
  auto* v = static_cast<View*>(data);
  forgetTls(v);
  v->tlsCertificate = G_TLS_CERTIFICATE(g_object_ref(certificate));
  v->tlsUri = uri ? uri : "";
  v->tlsHost.clear();
  if (GUri* parsed = g_uri_parse(v->tlsUri.c_str(), G_URI_FLAGS_NONE, nullptr)) {
    if (const char* host = g_uri_get_host(parsed)) v->tlsHost = host;
    g_uri_unref(parsed);
  }
  std::string fingerprint;
  GByteArray* der = nullptr;
  g_object_get(certificate, "certificate", &der, nullptr);
  if (der) {
    gchar* sum = g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len);
    fingerprint = sum ? sum : "";
    g_free(sum);
    g_byte_array_unref(der);
  }
  send(event("tls-error", v->id)
           .set("uri", v->tlsUri)
           .set("host", v->tlsHost)
           .set("flags", static_cast<int>(errors))
           .set("fingerprint", fingerprint));
  return TRUE;  // the frame sends the page to show, or lets the certificate through
}

void onInsecureContent(WebKitWebView*, WebKitInsecureContentEvent, gpointer data) {
  send(event("insecure-content", static_cast<View*>(data)->id));
}

// The certificate page's own links ("zelvo:...") go to the frame, never to the network.
gboolean onPageAction(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || g_ascii_strncasecmp(uri, "zelvo:", 6) != 0) return FALSE;
  webkit_policy_decision_ignore(decision);
  send(event("page-action", static_cast<View*>(data)->id).set("uri", uri));
  return TRUE;
}

}  // namespace

// What a committed load tells about the page's security.
void addSecurityState(View* v, WebKitLoadEvent load, Message& m) {
  if (load == WEBKIT_LOAD_STARTED && v->certPage == 2) v->certPage = 0;
  if (load != WEBKIT_LOAD_COMMITTED) return;
  if (v->certPage == 1) v->certPage = 2;
  m.set("cert-page", v->certPage == 2);
  GTlsCertificate* certificate = nullptr;
  GTlsCertificateFlags errors = static_cast<GTlsCertificateFlags>(0);
  if (webkit_web_view_get_tls_info(v->web, &certificate, &errors)) m.set("tls-errors", static_cast<int>(errors));
}

void watchSecurity(View* v) {
  g_signal_connect(v->web, "authenticate", G_CALLBACK(onAuthenticate), v);
  g_signal_connect(v->web, "load-failed-with-tls-errors", G_CALLBACK(onTlsErrors), v);
  g_signal_connect(v->web, "insecure-content-detected", G_CALLBACK(onInsecureContent), v);
  g_signal_connect(v->web, "decide-policy", G_CALLBACK(onPageAction), v);
}

// A view that goes cancels what it waited for.
void forgetSecurity(View* v) {
  for (auto& [id, request] : v->auths) {
    g_signal_handlers_disconnect_by_data(request, v);
    webkit_authentication_request_cancel(request);
    g_object_unref(request);
  }
  v->auths.clear();
  forgetTls(v);
}

void securityCommand(View* v, const std::string& cmd, const Message& m) {
  if (cmd == "auth-reply") {
    answerAuth(v, m);
  } else if (cmd == "tls-page") {
    if (v->tlsUri.empty()) return;
    v->certPage = 1;
    webkit_web_view_load_alternate_html(v->web, m.str("html").c_str(), v->tlsUri.c_str(), nullptr);
  } else if (cmd == "tls-allow") {
    if (!v->tlsCertificate || v->tlsHost.empty()) return;
    webkit_web_context_allow_tls_certificate_for_host(webkit_web_view_get_context(v->web), v->tlsCertificate,
                                                      v->tlsHost.c_str());
    startUserLoad(v);
    webkit_web_view_load_uri(v->web, v->tlsUri.c_str());
  } else if (cmd == "leave") {
    startUserLoad(v);
    if (webkit_web_view_can_go_back(v->web))
      webkit_web_view_go_back(v->web);
    else
      webkit_web_view_load_uri(v->web, "about:blank");
  }
}

bool isSecurityCommand(const std::string& cmd) {
  return cmd == "auth-reply" || cmd == "tls-page" || cmd == "tls-allow" || cmd == "leave";
}

}  // namespace host
