// The protocol's two ends: events go out one JSON object per line on the
// real stdout, commands come in the same way and are dispatched here.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "webkit-host/host.h"

namespace host {

namespace {

wkproto::LineReader reader;

}  // namespace

void send(Message m) {
  if (protoOut < 0) return;
  std::string line = wkproto::encode(m);
  if (line.size() > wkproto::kMaxLine) {
    // Too long for the frame: the event goes without its longest fields
    // (it says which), so that what it reports still arrives.
    if (!wkproto::shorten(m)) return;
    line = wkproto::encode(m);
  }
  line += '\n';
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = write(protoOut, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      // The frame is gone; nobody is left to show anything to.
      _exit(0);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

Message event(const char* name, int view) {
  Message m;
  m.set("ev", name);
  if (view) m.set("view", view);
  return m;
}

void sendError(int view, const std::string& text) { send(event("error", view).set("message", text)); }

View* findView(const Message& m) {
  const int id = static_cast<int>(m.integer("view"));
  auto it = views.find(id);
  if (it == views.end()) {
    sendError(id, "no such view");
    return nullptr;
  }
  return it->second;
}

namespace {

struct SaveJob {
  int id;
  std::string path;
  std::string temp;
};

void saveDone(const SaveJob* job, GError* error) {
  if (error) {
    if (!job->temp.empty()) unlink(job->temp.c_str());
    send(event("save-failed", job->id).set("path", job->path).set("message", error->message));
  } else if (!job->temp.empty() && rename(job->temp.c_str(), job->path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    unlink(job->temp.c_str());
    send(event("save-failed", job->id).set("path", job->path).set("message", why));
  } else {
    send(event("saved", job->id).set("path", job->path));
  }
}

void onMhtmlSaved(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<SaveJob*>(data);
  GError* error = nullptr;
  webkit_web_view_save_to_file_finish(WEBKIT_WEB_VIEW(source), result, &error);
  saveDone(job, error);
  if (error) g_error_free(error);
  delete job;
}

void onHtmlData(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<SaveJob*>(data);
  GError* error = nullptr;
  gsize size = 0;
  guchar* bytes = webkit_web_resource_get_data_finish(WEBKIT_WEB_RESOURCE(source), result, &size, &error);
  // g_file_set_contents writes a temporary file and renames it.
  if (!error) g_file_set_contents(job->path.c_str(), reinterpret_cast<const char*>(bytes), size, &error);
  saveDone(job, error);
  if (error) g_error_free(error);
  g_free(bytes);
  delete job;
}

void save(const Message& m) {
  View* v = findView(m);
  if (!v) return;
  const std::string path = m.str("path");
  const std::string format = m.str("format", "mhtml");
  if (path.empty()) {
    send(event("save-failed", v->id).set("path", path).set("message", "no file name"));
    return;
  }
  if (format == "html") {
    WebKitWebResource* resource = webkit_web_view_get_main_resource(v->web);
    if (!resource) {
      send(event("save-failed", v->id).set("path", path).set("message", "no page loaded"));
      return;
    }
    webkit_web_resource_get_data(resource, nullptr, onHtmlData, new SaveJob{v->id, path, {}});
    return;
  }
  // The archive goes to a temporary name first so a failed save leaves an
  // older file of that name intact.
  auto* job = new SaveJob{v->id, path, path + ".part"};
  GFile* file = g_file_new_for_path(job->temp.c_str());
  webkit_web_view_save_to_file(v->web, file, WEBKIT_SAVE_MODE_MHTML, nullptr, onMhtmlSaved, job);
  g_object_unref(file);
}

struct EvalJob {
  int id;
  std::int64_t request;
};

void onEvaluated(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<EvalJob*>(data);
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
  Message m = event("result", job->id).set("id", job->request);
  if (error) {
    m.set("error", error->message);
    g_error_free(error);
  } else {
    if (value && !jsc_value_is_undefined(value) && !jsc_value_is_null(value)) {
      char* text = jsc_value_to_string(value);
      m.set("value", text ? text : "");
      g_free(text);
    } else {
      m.set("value", "");
    }
  }
  if (value) g_object_unref(value);
  send(m);
  delete job;
}

void evaluate(const Message& m) {
  View* v = findView(m);
  if (!v) return;
  const std::string script = m.str("script");
  webkit_web_view_evaluate_javascript(v->web, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                      nullptr, onEvaluated, new EvalJob{v->id, m.integer("id")});
}

void handle(const Message& m) {
  const std::string cmd = m.str("cmd");
  if (cmd == "create") return createView(m);
  if (cmd == "destroy") return destroyView(m);
  if (cmd == "save") return save(m);
  if (cmd == "eval") return evaluate(m);
  // Readied before the first view: the network process comes up now.
  if (cmd == "prepare") return prepareSpare();
  if (cmd == "ping") return send(event("pong", 0).set("id", m.integer("id")));
  if (cmd == "adopt") return adoptView(m);
  if (cmd == "discard") return discardView(m);
  if (cmd == "download-destination") return downloadCommand(m, false);
  if (cmd == "download-cancel") return downloadCommand(m, true);
  if (cmd == "notification-clicked") return notificationCommand(m, true);
  if (cmd == "notification-closed") return notificationCommand(m, false);
  // Cookies and site data: the program's, not a view's.
  if (isSiteDataCommand(cmd)) return siteDataCommand(cmd, m);
  View* v = findView(m);
  if (!v) return;
  if (cmd == "navigate") {
    startUserLoad(v);
    webkit_web_view_load_uri(v->web, m.str("url", "about:blank").c_str());
  } else if (cmd == "back") {
    startUserLoad(v);
    webkit_web_view_go_back(v->web);
  } else if (cmd == "forward") {
    startUserLoad(v);
    webkit_web_view_go_forward(v->web);
  } else if (cmd == "reload") {
    startUserLoad(v);
    webkit_web_view_reload(v->web);
  } else if (cmd == "stop") {
    webkit_web_view_stop_loading(v->web);
  } else if (cmd == "copy") {
    webkit_web_view_execute_editing_command(v->web, WEBKIT_EDITING_COMMAND_COPY);
  } else if (cmd == "select-all") {
    webkit_web_view_execute_editing_command(v->web, WEBKIT_EDITING_COMMAND_SELECT_ALL);
  } else if (cmd == "zoom") {
    const double level = m.number("level", 1.0);
    if (level > 0.05 && level < 20) setZoom(v, level);
  } else if (cmd == "resize") {
    const int w = static_cast<int>(m.integer("width")), h = static_cast<int>(m.integer("height"));
    if (w > 0 && h > 0) gtk_window_resize(GTK_WINDOW(v->window), w, h);
  } else if (cmd == "context-item") {
    const auto index = m.integer("index", -1);
    if (index < 0 || index > 63) return sendError(v->id, "context item index out of range");
    if (v->contextItems.size() <= static_cast<std::size_t>(index)) v->contextItems.resize(index + 1);
    v->contextItems[index] = ContextItem{m.str("label"), m.boolean("enabled", true)};
  } else if (cmd == "context-items") {
    const auto count = m.integer("count", 0);
    if (count >= 0 && static_cast<std::size_t>(count) < v->contextItems.size()) v->contextItems.resize(count);
  } else if (cmd == "dialog-reply") {
    answerDialog(v, m);
  } else if (isSecurityCommand(cmd)) {
    securityCommand(v, cmd, m);
  } else if (isToolsCommand(cmd)) {
    toolsCommand(v, cmd);
  } else if (cmd == "password-fill") {  // saved passwords
    fillPassword(v, m);
  } else if (isFindCommand(cmd)) {
    findCommand(v, cmd, m);
  } else if (cmd == "permission-reply") {
    answerPermission(v, m);
  } else if (cmd == "permission-state-reply") {
    answerPermissionState(v, m);
  } else if (cmd == "leave-fullscreen") {
    static const char kLeave[] = "document.fullscreenElement && document.exitFullscreen()";
    webkit_web_view_evaluate_javascript(v->web, kLeave, -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  } else if (cmd == "frame-keys") {
    v->frameKeys = framekeys::decode(m.str("keys"));
  } else if (cmd == "restore-session") {  // sessions
    restoreSession(v, m);
  } else if (cmd == "print-pdf") {  // printing
    printCommand(v, m);
  } else if (cmd == "terminate-web-process") {
    webkit_web_view_terminate_web_process(v->web);
  } else {
    sendError(v->id, "unknown command: " + cmd);
  }
}

}  // namespace

gboolean onInput(GIOChannel*, GIOCondition, gpointer) {
  char buf[65536];
  const ssize_t n = read(protoIn, buf, sizeof buf);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return G_SOURCE_CONTINUE;
  if (n <= 0) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
  }
  reader.feed(buf, static_cast<std::size_t>(n));
  while (auto line = reader.next()) {
    if (line->empty()) continue;
    if (reader.cut()) {
      const Message head = wkproto::decodeHead(*line);
      send(event("rejected", static_cast<int>(head.integer("view")))
               .set("cmd", head.str("cmd"))
               .set("message", "command too long"));
      continue;
    }
    std::string why;
    auto m = wkproto::decode(*line, &why);
    if (!m) {
      sendError(0, "malformed command: " + why);
      continue;
    }
    handle(*m);
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace host
