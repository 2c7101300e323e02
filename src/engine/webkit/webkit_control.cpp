#include "engine/webkit/webkit_control.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlatformSurfaceEvent>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <set>

#include "engine/address.h"
#include "engine/webkit/webkit_protocol.h"
#include "page/downloads.h"
#include "page/frame_key_rules.h"
#include "page/full_screen.h"
#include "page/page_security.h"
#include "page/page_services.h"
#include "page/permissions.h"
#include "page/save_dialog.h"
#include "platform/errors.h"
#include "platform/guarded.h"

namespace {

QString& hostProgramOverride() {
  static QString path;
  return path;
}

int& livenessIntervalSetting() {
  static int ms = 1000;
  return ms;
}
int livenessInterval() { return livenessIntervalSetting(); }
int& livenessTicksSetting() {
  static int ticks = 4;
  return ticks;
}
int livenessTicks() { return livenessTicksSetting(); }

QString hostProgram() {
  QStringList candidates;
  if (!hostProgramOverride().isEmpty())
    candidates << hostProgramOverride();
  else
    candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/zelvo-webkit-host")
               << QStringLiteral(ZELVO_LIBEXECDIR "/zelvo-webkit-host");
  for (const QString& c : candidates) {
    const QFileInfo info(c);
    if (info.isFile() && info.isExecutable()) return info.absoluteFilePath();
  }
  return {};
}

std::string utf8(const QString& s) { return s.toStdString(); }

// Whether the sender left this field out for being too long.
bool wasCut(const wkproto::Message& m, const char* field) {
  const std::string cut = "," + m.str("cut") + ",";
  return cut.find("," + std::string(field) + ",") != std::string::npos;
}
QString qstr(const std::string& s) { return QString::fromStdString(s); }

// Cookies and site data: the listener of the host's answers, and the
// cookie rule every host is started with.
std::function<void(const wkproto::Message&)>& siteDataListener() {
  static std::function<void(const wkproto::Message&)> listener;
  return listener;
}
bool& thirdPartyCookiesAllowed() {
  static bool allowed = false;
  return allowed;
}
wkproto::Message cookiePolicyCommand() {
  return wkproto::Message().set("cmd", "cookie-policy").set("third-party", thirdPartyCookiesAllowed());
}

xcb_connection_t* xcbConnection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

// Hands an embedded window back to the root window, unmapped, so that it
// survives our windows going first (X destroys a window's children with it,
// and GTK does not take that well).
void releaseToRoot(quint64 window) {
  xcb_connection_t* c = xcbConnection();
  if (!c || !window) return;
  const auto w = static_cast<xcb_window_t>(window);
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
  if (!tree) return;  // gone already
  xcb_unmap_window(c, w);
  xcb_reparent_window(c, w, tree->root, 0, 0);
  free(tree);
  xcb_flush(c);
}

void setInputFocus(quint64 window) {
  xcb_connection_t* c = xcbConnection();
  if (!c || !window) return;
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, static_cast<xcb_window_t>(window), XCB_CURRENT_TIME);
  xcb_flush(c);
}

}  // namespace

// The one host process and its pipe. Controls attach to it with a view id
// each; messages carrying that id go to that control. The host is started by
// the first control and told to exit (end of its stdin) when the last one
// detaches.
class WebKitHost : public QObject {
 public:
  static WebKitHost* acquire() {
    if (current_ && current_->running()) return current_;
    auto* host = new WebKitHost;
    QString why;
    if (!host->start(&why)) {
      delete host;
      throw EEngineError(why);
    }
    current_ = host;
    if (thirdPartyCookiesAllowed()) host->send(cookiePolicyCommand());
    return host;
  }
  static WebKitHost* current() { return current_; }

  bool running() const { return !dead_ && process_.state() != QProcess::NotRunning; }
  qint64 pid() const { return running() ? process_.processId() : 0; }

  int attach(TMozillaBrowser* control) {
    const int id = ++lastViewId_;
    views_[id] = control;
    return id;
  }

  bool idle() const { return views_.empty() && downloads_.empty(); }
  void release() { shutDown(); }

  // A page a click opened waits in the host under an id of its own until a
  // view takes it. What it reports meanwhile (a dialog its opener's script
  // made it show, which both pages wait for) is kept until then, and all
  // it reports goes to the view that took it.
  void adopt(qint64 pending, int view, int width, int height) {
    send(wkproto::Message()
             .set("cmd", "adopt")
             .set("view", view)
             .set("pending", static_cast<std::int64_t>(pending))
             .set("width", width)
             .set("height", height));
    adopted_[static_cast<int>(pending)] = view;
    auto held = held_.find(static_cast<int>(pending));
    if (held == held_.end()) return;
    pending_.insert(pending_.begin(), held->second.begin(), held->second.end());
    held_.erase(held);
    QTimer::singleShot(0, this, [this] { dispatch(); });
  }
  void discard(qint64 pending) {
    held_.erase(static_cast<int>(pending));
    send(wkproto::Message().set("cmd", "discard").set("pending", static_cast<std::int64_t>(pending)));
  }

  void detach(int id) {
    std::erase_if(adopted_, [id](const auto& a) { return a.second == id; });
    if (views_.erase(id) && running()) send(wkproto::Message().set("cmd", "destroy").set("view", id));
    if (views_.empty() && downloads_.empty()) shutDown();
  }

  void send(const wkproto::Message& m) {
    if (!running()) return;
    std::string line = wkproto::encode(m);
    if (line.size() > wkproto::kMaxLine)
      throw EEngineError(QStringLiteral("WebKit エンジンに渡すには長すぎます (%1 バイト)").arg(line.size()));
    line += '\n';
    process_.write(line.data(), static_cast<qint64>(line.size()));
  }

  ~WebKitHost() override {
    if (current_ == this) current_ = nullptr;
    process_.disconnect(this);
    if (process_.state() != QProcess::NotRunning) {
      process_.closeWriteChannel();
      if (!process_.waitForFinished(2000)) {
        process_.kill();
        process_.waitForFinished(2000);
      }
    }
  }

 private:
  // Owned by the application object, so that whatever is still running is
  // ended when the program ends.
  WebKitHost() : QObject(QCoreApplication::instance()) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&pingTimer_, &QTimer::timeout, this, [this] { guarded::run([&] { tick(); }); });
    connect(&process_, &QProcess::readyReadStandardOutput, this, [this] { guarded::run([&] { readMessages(); }); });
    connect(&process_, &QProcess::finished, this, [this] { guarded::run([&] { lost(); }); });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
      if (e == QProcess::Crashed || e == QProcess::FailedToStart) guarded::run([&] { lost(); });
    });
  }

  bool start(QString* why) {
    const QString program = hostProgram();
    if (program.isEmpty()) {
      *why = QStringLiteral("WebKit エンジン (zelvo-webkit-host) が見つかりません");
      return false;
    }
    // Not waited for: commands wait in the pipe until the host reads them,
    // and a program that cannot run is reported as a host that ended.
    process_.start(program, {});
    if (process_.state() == QProcess::NotRunning) {
      *why = QStringLiteral("WebKit エンジン (%1) を起動できません: %2").arg(program, process_.errorString());
      return false;
    }
    pingTimer_.start(livenessInterval());
    return true;
  }

  void readMessages() {
    const QByteArray data = process_.readAllStandardOutput();
    reader_.feed(data.constData(), static_cast<std::size_t>(data.size()));
    while (auto line = reader_.next()) {
      if (line->empty()) continue;
      if (reader_.cut()) {
        pending_.push_back(overlongNotice(*line));
        continue;
      }
      std::string why;
      auto m = wkproto::decode(*line, &why);
      if (!m) {
        qWarning("zelvo-webkit-host: unreadable message (%s)", why.c_str());
        continue;
      }
      heardFrom_ = true;
      if (m->str("ev") == "pong") {
        // Answered here, not in turn: a handler's modal box must not make
        // the host look hung.
        if (m->integer("id") >= awaitedPing_) {
          missedTicks_ = 0;
          awaitedPing_ = 0;
        }
        continue;
      }
      pending_.push_back(std::move(*m));
    }
    dispatch();
  }

  // Hands the read messages to their controls in order. A handler may run a
  // nested event loop (an error box), in which more messages arrive and are
  // dispatched from the same queue, and in which the host may end and be
  // deleted: nothing of this object is touched once it is gone.
  void dispatch() {
    QPointer<WebKitHost> self(this);
    while (self && !pending_.empty()) {
      const wkproto::Message m = std::move(pending_.front());
      pending_.pop_front();
      int view = static_cast<int>(m.integer("view"));
      // From its announcement on, what a page opened on a click reports is
      // kept for the view that takes it.
      if (m.str("ev") == "new-window" && m.integer("pending") < 0)
        held_.try_emplace(static_cast<int>(m.integer("pending")));
      if (view < 0) {
        if (auto a = adopted_.find(view); a != adopted_.end()) {
          view = a->second;
        } else if (auto h = held_.find(view); h != held_.end()) {
          h->second.push_back(m);
          continue;
        }
      }
      auto it = views_.find(view);
      if (m.str("ev").rfind("site-data", 0) == 0) {
        // Cookies and site data belong to the program too.
        if (siteDataListener()) guarded::run([&] { siteDataListener()(m); });
      } else if (m.str("ev").rfind("download-", 0) == 0) {
        // Downloads belong to the program, not to a view.
        guarded::run([&] { downloadEvent(m); });
      } else if (it != views_.end()) {
        QPointer<TMozillaBrowser> control = it->second;
        // Each event is a handler of its own: one that fails ends there and
        // the next still arrives.
        if (control) guarded::run([&] { control->hostMessage(m); });
      } else if (m.str("ev") == "error") {
        qWarning("zelvo-webkit-host: %s", m.str("message").c_str());
      }
    }
  }

  void downloadEvent(const wkproto::Message& m) {
    const std::string ev = m.str("ev");
    const std::int64_t id = m.integer("download");
    auto cmd = [id](const char* name) { return wkproto::Message().set("cmd", name).set("download", id); };
    if (ev == "download-started") {
      // The host waits for the answer; the question must not hold up the
      // messages behind it.
      QPointer<WebKitHost> self(this);
      auto it = views_.find(static_cast<int>(m.integer("view")));
      TMozillaBrowser* control = it != views_.end() ? it->second.data() : nullptr;
      const QString url = qstr(m.str("uri"));
      // A body sent compressed arrives longer or shorter than announced.
      const bool encoded = m.boolean("encoded");
      const bool isPrivate = m.boolean("private");
      const std::int64_t total = encoded ? -1 : m.integer("total");
      const DownloadOffer offer{url, control ? control->LocationURL() : QString(), qstr(m.str("name"))};
      DownloadManager::instance()->ask(
          control, offer, [self, id, url, total, encoded, isPrivate, cmd](const QString& target) {
            // A host that ended took its download with it.
            if (!self || !self->running()) return;
            if (target.isEmpty()) return self->send(cmd("download-cancel"));
            QString part;
            try {
              part = DownloadManager::claimPartFile(target);
            } catch (...) {
              self->send(cmd("download-cancel"));
              throw;
            }
            DownloadJob* job = DownloadManager::instance()->start(url, target, part, [self, cmd] {
              if (self) self->send(cmd("download-cancel"));
            });
            job->setPrivate(isPrivate);
            job->progress(0, total);
            self->downloads_[id] = job;
            if (encoded) self->encoded_.insert(id);
            self->send(cmd("download-destination").set("path", utf8(part)));
          });
      return;
    }
    auto it = downloads_.find(id);
    if (it == downloads_.end()) return;
    QPointer<DownloadJob> job = it->second;
    if (ev == "download-progress") {
      if (job) job->progress(m.integer("received"), encoded_.count(id) ? -1 : m.integer("total"));
      return;
    }
    downloads_.erase(it);
    encoded_.erase(id);
    if (job && ev == "download-finished") {
      job->progress(m.integer("received"), job->total());
      job->finished();
    } else if (job && ev == "download-failed") {
      if (m.boolean("cancelled"))
        job->cancelled();
      else
        job->failed(QStringLiteral("ダウンロードできませんでした (%1)").arg(qstr(m.str("message"))));
    }
    // The last download of a host without views lets it go.
    if (views_.empty() && downloads_.empty()) shutDown();
  }

  // What a line too long to read becomes: a notice to its view.
  static wkproto::Message overlongNotice(const std::string& head) {
    const wkproto::Message named = wkproto::decodeHead(head);
    wkproto::Message m;
    m.set("ev", "overlong").set("of", named.str("ev"));
    if (named.has("view")) m.set("view", named.integer("view"));
    qWarning("zelvo-webkit-host: a message too long to read (%s)", named.str("ev").c_str());
    return m;
  }

  // Once a tick: a ping out, and a host that has left the last ones
  // unanswered for too long is taken for hung. Counted in ticks, not by the
  // clock, so a frame that was busy itself never blames the host.
  void tick() {
    if (!running()) return;
    if (awaitedPing_) {
      const int limit = heardFrom_ ? livenessTicks() : livenessTicks() * 4;
      if (++missedTicks_ >= limit) return hung();
    }
    ++lastPing_;
    if (!awaitedPing_) awaitedPing_ = lastPing_;
    send(wkproto::Message().set("cmd", "ping").set("id", lastPing_));
  }

  void hung() {
    qWarning("zelvo-webkit-host does not answer; ending it");
    process_.kill();  // also when it is stopped
    lost();
  }

  void lost() {
    if (dead_) return;
    dead_ = true;
    pingTimer_.stop();
    pending_.clear();
    held_.clear();
    adopted_.clear();
    if (current_ == this) current_ = nullptr;
    if (!shuttingDown_) qWarning("zelvo-webkit-host ended unexpectedly");
    const auto views = views_;
    views_.clear();
    const auto downloads = downloads_;
    downloads_.clear();
    for (const auto& [id, job] : downloads)
      if (job) job->failed(QStringLiteral("WebKit エンジンが終了しました"));
    for (const auto& [id, control] : views)
      if (control) guarded::run([&] { control->hostLost(); });
    // Questions about site data are left unanswered by a host that ended.
    if (siteDataListener()) guarded::run([&] { siteDataListener()(wkproto::Message().set("ev", "site-data-lost")); });
    if (process_.state() == QProcess::NotRunning)
      deleteLater();
    else
      shutDown();
  }

  void shutDown() {
    if (current_ == this) current_ = nullptr;
    if (shuttingDown_) return;
    shuttingDown_ = true;
    pingTimer_.stop();
    if (process_.state() == QProcess::NotRunning) {
      deleteLater();
      return;
    }
    connect(&process_, &QProcess::finished, this, &QObject::deleteLater);
    process_.closeWriteChannel();
    // A host that does not take its end of input is ended.
    QTimer::singleShot(5000, this, [this] {
      if (process_.state() != QProcess::NotRunning) process_.kill();
    });
  }

  static inline WebKitHost* current_ = nullptr;
  static inline int lastViewId_ = 0;  // unique over all hosts, so stale ids never match
  QProcess process_;
  wkproto::LineReader reader_;
  std::deque<wkproto::Message> pending_;
  QTimer pingTimer_;
  std::int64_t lastPing_ = 0;
  std::int64_t awaitedPing_ = 0;  // the oldest unanswered ping, or 0
  int missedTicks_ = 0;
  bool heardFrom_ = false;
  std::map<int, QPointer<TMozillaBrowser>> views_;
  std::map<int, std::vector<wkproto::Message>> held_;  // by the id of a page not yet taken
  std::map<int, int> adopted_;                         // a taken page's id → its view
  std::map<std::int64_t, QPointer<DownloadJob>> downloads_;
  std::set<std::int64_t> encoded_;  // downloads whose announced size is not what arrives
  bool dead_ = false;
  bool shuttingDown_ = false;
};

// --- TMozillaBrowser --------------------------------------------------------

TMozillaBrowser::TMozillaBrowser(QWidget* parent, bool isPrivate) : IWebBrowser2(parent), private_(isPrivate) {
  // WebKit calls every window asked for within a second of a click the
  // user's: the clicks and keys the host reports are counted instead.
  services_ = new PageServices(this, PopupGate::Actions::Counted);
  security_ = new PageSecurity(this);
  permissions_ = new PagePermissions(this, private_);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(1, 1);
  QString why;
  // A host that cannot start leaves the error page; the first Navigate
  // then reports the failure.
  if (!startView(&why)) showHostErrorPage(why);
}

TMozillaBrowser::~TMozillaBrowser() {
  // The embedded window is in the full-screen window: it goes from there.
  if (fullScreen_) fullScreen_->release();
  permissions_->dismissAll();
  dropContainer();
  if (host_) host_->detach(viewId_);
}

bool TMozillaBrowser::startView(QString* error) {
  WebKitHost* host = nullptr;
  try {
    host = WebKitHost::acquire();
  } catch (const ZelvoError& e) {
    *error = e.text();
    return false;
  }
  host_ = host;
  viewId_ = host->attach(this);
  xid_ = 0;
  wkproto::Message create = wkproto::Message()
                                .set("cmd", "create")
                                .set("view", viewId_)
                                .set("width", std::max(width(), 1))
                                .set("height", std::max(height(), 1));
  if (private_) create.set("private", true);
  send(create);
  if (zoom_ * pageZoom_ != 1.0) sendZoom();
  sendContextItems();
  frameKeysSent_.clear();
  scheduleFrameKeys();
  if (errorPage_) {
    delete errorPage_;
    errorPage_ = nullptr;
  }
  return true;
}

void TMozillaBrowser::ensureView() {
  if (host_ && host_->running() && viewId_) return;
  QString why;
  if (!startView(&why)) throw EEngineError(why);
}

void TMozillaBrowser::requireView() const {
  if (!host_ || !host_->running() || !viewId_)
    throw EEngineError(QStringLiteral("WebKit エンジンが終了しています。再読み込みしてください"));
}

void TMozillaBrowser::send(wkproto::Message m) {
  if (!host_) return;
  m.set("view", viewId_);
  host_->send(m);
}

void TMozillaBrowser::FindText(const QString& text, bool backward, bool caseSensitive) {
  requireView();
  if (text.isEmpty()) {
    StopFinding();
    emit FindResult(0, 0);
    return;
  }
  const bool again = finding_ && text == findText_ && caseSensitive == findCase_;
  if (!again) findPosition_.begin();
  findText_ = text;
  findCase_ = caseSensitive;
  finding_ = true;
  findAnswers_.push_back({text, backward});
  if (!again) countAnswers_.push_back(text);
  send(wkproto::Message()
           .set("cmd", "find")
           .set("text", utf8(text))
           .set("case-sensitive", caseSensitive)
           .set("again", again)
           .set("backward", backward));
}

void TMozillaBrowser::StopFinding() {
  finding_ = false;
  findPosition_ = FindPosition();
  // A view that is gone has no highlight left to take away.
  if (host_ && host_->running() && viewId_) send(wkproto::Message().set("cmd", "find-stop"));
}

void TMozillaBrowser::findEvent(const wkproto::Message& m) {
  if (m.str("ev") == "find-count") {
    if (countAnswers_.empty()) return;
    const QString text = countAnswers_.front();
    countAnswers_.pop_front();
    if (!finding_ || text != findText_) return;
    findPosition_.counted(static_cast<int>(m.integer("count")));
  } else {
    if (findAnswers_.empty()) return;
    const FindRequest request = findAnswers_.front();
    findAnswers_.pop_front();
    if (!finding_ || request.text != findText_) return;
    if (m.boolean("found"))
      findPosition_.found(request.backward);
    else
      findPosition_.failed();
  }
  emit FindResult(findPosition_.current(), findPosition_.total());
}

void TMozillaBrowser::travelEvent(const wkproto::Message& m) {
  auto read = [&m](const std::string& side) {
    QList<TravelEntry> out;
    const auto count = std::clamp<std::int64_t>(m.integer(side + "-count"), 0, 50);
    for (std::int64_t i = 0; i < count; ++i) {
      const std::string n = std::to_string(i);
      out.append({qstr(m.str(side + "-title-" + n)), qstr(m.str(side + "-uri-" + n))});
    }
    return out;
  };
  back_ = read("back");
  forward_ = read("forward");
}

void TMozillaBrowser::GoToEntry(int steps) {
  requireView();
  if (steps != 0) send(wkproto::Message().set("cmd", "go-to-entry").set("steps", steps));
}

// ---- saved passwords
void TMozillaBrowser::FillPassword(const QString& origin, int form, int userField, int passwordField,
                                   const QString& user, const QString& password) {
  if (!viewId_) return;
  send(wkproto::Message()
           .set("cmd", "password-fill")
           .set("origin", origin.toStdString())
           .set("form", form)
           .set("user-field", userField)
           .set("password-field", passwordField)
           .set("user", user.toStdString())
           .set("password", password.toStdString()));
}

void TMozillaBrowser::GoBack() {
  requireView();
  send(wkproto::Message().set("cmd", "back"));
}

void TMozillaBrowser::GoForward() {
  requireView();
  send(wkproto::Message().set("cmd", "forward"));
}

void TMozillaBrowser::Navigate(const QString& URL) {
  ensureView();
  const QString url = QString::fromUtf8(addressToUrl(URL).toEncoded());
  // Sent first: an address too long to pass leaves the page as it was.
  send(wkproto::Message().set("cmd", "navigate").set("url", utf8(url)));
  location_ = url;
  beginLoad();
}

void TMozillaBrowser::Refresh() {
  if (!host_ || !host_->running() || !viewId_) {
    // After the host died: a new host, a new view, the last address.
    ensureView();
    beginLoad();
    send(wkproto::Message().set("cmd", "navigate").set("url", utf8(location_.isEmpty() ? "about:blank" : location_)));
    return;
  }
  beginLoad();
  send(wkproto::Message().set("cmd", "reload"));
}

void TMozillaBrowser::Stop() {
  // Nothing loads in a view that is gone.
  if (!host_ || !host_->running() || !viewId_) return;
  send(wkproto::Message().set("cmd", "stop"));
}

void TMozillaBrowser::sendZoom() {
  // The page zoom scales on top of the text size.
  if (host_ && host_->running() && viewId_) send(wkproto::Message().set("cmd", "zoom").set("level", zoom_ * pageZoom_));
}

double TMozillaBrowser::zoomLevelFor(int size) {
  static const double levels[] = {0.75, 0.875, 1.0, 1.25, 1.5};
  return size >= 0 && size <= 4 ? levels[size] : 1.0;
}

void TMozillaBrowser::ExecWB(int cmdID, int, const QVariant& input) {
  switch (cmdID) {
    case OLECMDID_SAVEAS: {
      requireView();
      // WebKit writes a complete page as an MHTML archive; "HTML only" is the
      // document as it was received.
      const QList<SaveFormat> formats = {
          {QStringLiteral("ウェブ アーカイブ、単一ファイル (*.mht *.mhtml)"), QStringLiteral("mht"), 0},
          {QStringLiteral("ウェブページ、HTML のみ (*.htm *.html)"), QStringLiteral("html"), 1},
      };
      const SaveChoice choice = askSaveAs(this, fileNameFromTitle(title_), formats);
      if (choice.path.isEmpty()) return;
      requireView();  // the host may have gone while the dialog was open
      send(wkproto::Message()
               .set("cmd", "save")
               .set("path", utf8(QDir::toNativeSeparators(choice.path)))
               .set("format", choice.formatId == 1 ? "html" : "mhtml"));
      return;
    }
    case OLECMDID_COPY:
      requireView();
      send(wkproto::Message().set("cmd", "copy"));
      return;
    case OLECMDID_SELECTALL:
      requireView();
      send(wkproto::Message().set("cmd", "select-all"));
      return;
    case OLECMDID_ZOOM: {
      bool ok = false;
      const int size = input.toInt(&ok);
      if (!ok || size < 0 || size > 4) throw EEngineError(QStringLiteral("文字サイズの値が正しくありません"));
      requireView();
      zoom_ = zoomLevelFor(size);
      sendZoom();
      return;
    }
    default:
      throw EEngineError(QStringLiteral("WebKit エンジンはこのコマンドに対応していません"));
  }
}

void TMozillaBrowser::runJavaScript(const QString& script, std::function<void(const QString&, const QString&)> done) {
  requireView();
  const qint64 id = nextScript_++;
  scripts_[id] = std::move(done);
  send(wkproto::Message().set("cmd", "eval").set("id", static_cast<std::int64_t>(id)).set("script", utf8(script)));
}

void TMozillaBrowser::terminateWebProcess() {
  requireView();
  send(wkproto::Message().set("cmd", "terminate-web-process"));
}

void TMozillaBrowser::readyHost() { WebKitHost::acquire()->send(wkproto::Message().set("cmd", "prepare")); }

void TMozillaBrowser::sendHostCommand(const wkproto::Message& m) { WebKitHost::acquire()->send(m); }

void TMozillaBrowser::setSiteDataListener(std::function<void(const wkproto::Message&)> listener) {
  siteDataListener() = std::move(listener);
}

void TMozillaBrowser::setThirdPartyCookies(bool allow) {
  if (thirdPartyCookiesAllowed() == allow) return;
  thirdPartyCookiesAllowed() = allow;
  if (WebKitHost* host = WebKitHost::current(); host && host->running()) host->send(cookiePolicyCommand());
}

void TMozillaBrowser::releaseIdleHost() {
  if (WebKitHost* host = WebKitHost::current(); host && host->idle()) host->release();
}

qint64 TMozillaBrowser::hostProcessId() {
  WebKitHost* host = WebKitHost::current();
  return host ? host->pid() : 0;
}

void TMozillaBrowser::setHostProgramForTests(const QString& path) { hostProgramOverride() = path; }

void TMozillaBrowser::ContextActionsChanged() {
  for (const auto& c : contextWatch_) disconnect(c);
  contextWatch_.clear();
  for (QAction* a : ContextActions())
    contextWatch_.push_back(connect(a, &QAction::changed, this, [this] { sendContextItems(); }));
  sendContextItems();
}

void TMozillaBrowser::sendContextItems() {
  if (!host_ || !host_->running() || !viewId_) return;
  const QList<QAction*> items = ContextActions();
  for (qsizetype i = 0; i < items.size(); ++i)
    send(wkproto::Message()
             .set("cmd", "context-item")
             .set("index", static_cast<int>(i))
             .set("label", utf8(items[i]->iconText()))
             .set("enabled", items[i]->isEnabled() && items[i]->isVisible()));
  send(wkproto::Message().set("cmd", "context-items").set("count", static_cast<int>(items.size())));
}

void TMozillaBrowser::setLivenessForTests(int intervalMs, int ticks) {
  livenessIntervalSetting() = intervalMs;
  livenessTicksSetting() = ticks;
}

void TMozillaBrowser::beginLoad() {
  busy_ = true;
  lastProgress_ = -1;
}

void TMozillaBrowser::endLoad() {
  if (!busy_) return;
  busy_ = false;
  lastProgress_ = 100;
  emit ProgressChange(100, 100);
}

void TMozillaBrowser::hostMessage(const wkproto::Message& m) {
  if (securityEvent(m) || toolsEvent(m) || printEvent(m)) return;
  const std::string ev = m.str("ev");
  // Saved passwords: the login-form script's message, passed on as it came.
  if (ev == "password-form") {
    emit PasswordFormMessage(qstr(m.str("json")));
    return;
  }
  if (ev == "created") {
    embed(static_cast<quint64>(m.integer("xid")));
  } else if (ev == "status") {
    const QString text = qstr(m.str("text"));
    if (text == status_) return;
    status_ = text;
    emit StatusTextChange(text);
  } else if (ev == "progress") {
    if (!busy_) return;
    // WebKit's estimate may step back at the start of a load; the bar only
    // moves forward.
    const int p = wkproto::progressWhileLoading(m.number("value"));
    if (p <= lastProgress_) return;
    lastProgress_ = p;
    emit ProgressChange(p, 100);
  } else if (ev == "load") {
    const std::string phase = m.str("phase");
    if (m.has("uri")) location_ = qstr(m.str("uri"));
    if (phase == "started") {
      if (!busy_) {  // a load the page began itself (a link, a script)
        busy_ = true;
        lastProgress_ = -1;
      }
      if (lastProgress_ < 0) {
        lastProgress_ = 0;
        emit ProgressChange(0, 100);
      }
    } else if (phase == "committed") {
      services_->newDocument();
      // A new page: the next search starts afresh.
      finding_ = false;
      permissions_->dismissAll();        // questions of the page that went
      permissions_->screenShareEnded();  // and what it captured
      // Until the page names itself, its caption is its address.
      title_.clear();
      if (!location_.isEmpty()) emit TitleChange(location_);
      // The page shown for a failed load (or a refused certificate) stands
      // at the failed address: no page of the site's was shown there.
      if (!location_.isEmpty() && !m.boolean("error-page") && !m.boolean("cert-page"))
        emit NavigateComplete2(location_);
    } else if (phase == "finished") {
      endLoad();
    }
  } else if (ev == "load-failed") {
    if (!m.boolean("cancelled")) emit NavigateError(qstr(m.str("uri")));
  } else if (ev == "uri") {
    if (m.has("uri")) location_ = qstr(m.str("uri"));
  } else if (ev == "title") {
    title_ = qstr(m.str("text"));
    if (!title_.isEmpty()) emit TitleChange(title_);
  } else if (ev == "icon") {
    // ---- site icons: PNG bytes the host made of the page's icon, in base64;
    // anything longer than an icon may be is not even decoded.
    const std::string text = m.str("png");
    QByteArray png;
    if (text.size() <= std::size_t(512) * 1024) {
      auto decoded =
          QByteArray::fromBase64Encoding(QByteArray::fromStdString(text), QByteArray::AbortOnBase64DecodingErrors);
      if (decoded) png = *decoded;
    }
    emit IconChange(png);
  } else if (ev == "find" || ev == "find-count") {
    findEvent(m);
  } else if (ev == "travel") {
    travelEvent(m);
  } else if (ev == "session-state") {
    historyStateEvent(m);
  } else if (ev == "history") {
    emit CommandStateChange(CSC_NAVIGATEBACK, m.boolean("back"));
    emit CommandStateChange(CSC_NAVIGATEFORWARD, m.boolean("forward"));
  } else if (ev == "new-window") {
    newWindow(m);
  } else if (ev == "dialog") {
    pageDialog(m);
  } else if (ev == "close-request") {
    emit WindowClosing();
  } else if (ev == "permission") {
    permissionRequest(m);
  } else if (ev == "permission-state") {
    // What the session remembers; the rest is for the page to ask.
    const std::optional<PermissionKind> kind = permissionKindFromName(qstr(m.str("name")));
    const std::optional<bool> known =
        kind ? permissions_->answers().answer(permissionOrigin(qstr(m.str("uri"))), *kind) : std::nullopt;
    send(wkproto::Message()
             .set("cmd", "permission-state-reply")
             .set("id", m.integer("id"))
             .set("state", !known   ? "prompt"
                           : *known ? "granted"
                                    : "denied"));
  } else if (ev == "notification") {
    notification(m);
  } else if (ev == "notification-closed") {
    auto it = notifications_.find(m.integer("id"));
    if (it != notifications_.end() && it->second) it->second->dismiss();
  } else if (ev == "fullscreen") {
    fullScreenChanged(m.boolean("on"));
  } else if (ev == "context-action") {
    // The item list may have changed since the menu opened: only a live,
    // enabled item runs.
    const QList<QAction*> items = ContextActions();
    const auto index = m.integer("index", -1);
    if (index >= 0 && index < items.size() && items[index]->isEnabled()) items[index]->trigger();
  } else if (ev == "button-press") {
    services_->userInput();
    focusPage();
  } else if (ev == "page-key") {
    services_->userInput();
  } else if (ev == "key") {
    passKeyToFrame(m);
  } else if (ev == "focus-leaves") {
    focusLeavesPage(m.boolean("forward"));
  } else if (ev == "web-process-terminated") {
    // The host shows its error page in this view; reload loads the page again.
    endLoad();
    findAnswers_.clear();  // what the page was asked goes unanswered
    countAnswers_.clear();
    if (!status_.isEmpty()) {
      status_.clear();
      emit StatusTextChange(QString());
    }
  } else if (ev == "save-failed") {
    throw EEngineError(QStringLiteral("%1 に保存できません (%2)").arg(qstr(m.str("path")), qstr(m.str("message"))));
  } else if (ev == "result") {
    auto it = scripts_.find(m.integer("id"));
    if (it == scripts_.end()) return;
    auto done = std::move(it->second);
    scripts_.erase(it);
    if (done) done(qstr(m.str("value")), qstr(m.str("error")));
  } else if (ev == "destroyed") {
    // Not asked for: the view's window went with one of ours.
    if (m.boolean("lost")) {
      if (host_) host_->detach(viewId_);
      hostLost();
    }
  } else if (ev == "overlong" || ev == "rejected") {
    // A message too long for the other side: a load it was part of ends
    // here, and the user hears of it.
    const std::string what = ev == "overlong" ? m.str("of") : m.str("cmd");
    if (what == "load" || what == "load-failed" || what == "navigate") endLoad();
    throw EEngineError(
        ev == "overlong" ? QStringLiteral("WebKit エンジンからの通知 (%1) が長すぎて受け取れません").arg(qstr(what))
                         : QStringLiteral("WebKit エンジンが長すぎる命令 (%1) を受け取れませんでした").arg(qstr(what)));
  } else if (ev == "error") {
    qWarning("zelvo-webkit-host, view %d: %s", viewId_, m.str("message").c_str());
  }
}

void TMozillaBrowser::newWindow(const wkproto::Message& m) {
  const QString url = qstr(m.str("uri"));
  const qint64 pending = m.integer("pending");
  if (wasCut(m, "uri")) {
    if (pending) host_->discard(pending);
    throw EEngineError(QStringLiteral("新しいウィンドウのアドレスが長すぎて開けません"));
  }
  QString blocked;
  if (!services_->allowPopup(m.boolean("user-gesture"), url, &blocked)) {
    if (pending) host_->discard(pending);
    status_ = blocked;
    emit StatusTextChange(blocked);
    return;
  }
  // The frame opens a window of this engine; a Gecko window of this host
  // takes the page that is waiting for it, opener and all, which WebKit
  // loads as the page's own navigation, with its checks.
  QPointer<WebKitHost> host = host_;
  WindowHandoff handoff(this, [pending, host](IWebBrowser2* opened) {
    auto* mz = qobject_cast<TMozillaBrowser*>(opened);
    return pending && mz && host && mz->host_ == host && mz->adoptOpened(pending);
  });
  bool cancel = false;
  emit NewWindow2(url, &cancel);
  if (pending && !handoff.taken() && host && host->running()) host->discard(pending);
}

bool TMozillaBrowser::adoptOpened(qint64 pending) {
  if (!host_ || !host_->running() || !viewId_) return false;
  // The window's address is what WebKit reports, once it lets the page go
  // there, not the address the page asked for.
  location_.clear();
  beginLoad();
  host_->adopt(pending, viewId_, std::max(width(), 1), std::max(height(), 1));
  return true;
}

void TMozillaBrowser::pageDialog(const wkproto::Message& m) {
  const std::string kind = m.str("kind");
  PageDialogRequest r;
  r.kind = kind == "confirm"  ? PageDialogKind::Confirm
           : kind == "prompt" ? PageDialogKind::Prompt
           : kind == "leave"  ? PageDialogKind::LeavePage
                              : PageDialogKind::Alert;
  r.site = siteOf(qstr(m.str("uri")));
  r.message = qstr(m.str("message"));
  r.defaultText = qstr(m.str("default"));
  const std::int64_t id = m.integer("id");
  // The page waits in its own process; the answer goes back whenever the
  // user gives it. A view gone by then took its dialogs with it.
  QPointer<WebKitHost> host = host_;
  const int view = viewId_;
  services_->askDialog(r, [host, view, id](const PageDialogAnswer& a) {
    if (host && host->running())
      host->send(wkproto::Message()
                     .set("cmd", "dialog-reply")
                     .set("view", view)
                     .set("id", id)
                     .set("accepted", a.accepted)
                     .set("text", a.text.toStdString()));
  });
}

void TMozillaBrowser::permissionRequest(const wkproto::Message& m) {
  QPointer<WebKitHost> host = host_;
  const int view = viewId_;
  const std::int64_t id = m.integer("id");
  // The page waits in its own process until the answer arrives; a view
  // gone by then denied it itself.
  // WebKit has no "no answer": a dismissed question denies.
  auto reply = [host, view, id](PermissionAnswer a) {
    if (host && host->running())
      host->send(wkproto::Message()
                     .set("cmd", "permission-reply")
                     .set("view", view)
                     .set("id", id)
                     .set("allowed", a == PermissionAnswer::Allowed)
                     .set("remembered", a != PermissionAnswer::Dismissed));
  };
  const std::optional<PermissionKind> kind = permissionKindFromName(qstr(m.str("kind")));
  if (!kind) return reply(PermissionAnswer::Denied);
  permissions_->ask(qstr(m.str("uri")), *kind, reply);
}

void TMozillaBrowser::notification(const wkproto::Message& m) {
  const std::int64_t id = m.integer("id");
  QPointer<WebKitHost> host = host_;
  auto tell = [host, id](const char* what) {
    if (host && host->running()) host->send(wkproto::Message().set("cmd", what).set("id", id));
  };
  // A notification shown again (the same tag) replaces its popup.
  if (auto it = notifications_.find(id); it != notifications_.end() && it->second) {
    it->second->dismiss();
  }
  notifications_[id] = NotificationPopup::show(
      siteOf(qstr(m.str("uri"))), qstr(m.str("title")), qstr(m.str("body")), this,
      [tell] { tell("notification-clicked"); }, [tell] { tell("notification-closed"); });
  for (auto it = notifications_.begin(); it != notifications_.end();)
    it = it->second ? std::next(it) : notifications_.erase(it);
}

void TMozillaBrowser::fullScreenChanged(bool on) {
  if (!on) {
    fullScreen_.reset();
    return;
  }
  if (!container_ || fullScreen_) return;
  fullScreen_ = std::make_unique<FullScreenWindow>(container_, [this] {
    if (host_ && host_->running() && viewId_) send(wkproto::Message().set("cmd", "leave-fullscreen"));
  });
}

void TMozillaBrowser::hostLost() {
  findAnswers_.clear();
  countAnswers_.clear();
  back_.clear();  // the view's history went with the host
  forward_.clear();
  services_->closeDialogs();
  security_->closeSignIns();
  permissions_->dismissAll();
  permissions_->screenShareEnded();
  host_ = nullptr;
  viewId_ = 0;
  dropContainer();
  for (auto& [id, done] : scripts_)
    if (done) done(QString(), QStringLiteral("host ended"));
  scripts_.clear();
  endLoad();
  if (!status_.isEmpty()) {
    status_.clear();
    emit StatusTextChange(QString());
  }
  // A new host starts with a fresh history.
  emit CommandStateChange(CSC_NAVIGATEBACK, false);
  emit CommandStateChange(CSC_NAVIGATEFORWARD, false);
  showHostErrorPage(QString());
  printLost();  // printing
}

void TMozillaBrowser::embed(quint64 xid) {
  dropContainer();
  xid_ = xid;
  foreign_ = QWindow::fromWinId(static_cast<WId>(xid));
  if (!foreign_) return;
  container_ = QWidget::createWindowContainer(foreign_, this);
  container_->setObjectName(QStringLiteral("webkitView"));
  container_->setFocusPolicy(Qt::StrongFocus);
  container_->setGeometry(rect());
  container_->installEventFilter(this);
  foreign_->installEventFilter(this);
  setFocusProxy(container_);
  container_->show();
  if (hasFocus() || container_->hasFocus()) setInputFocus(xid_);
}

void TMozillaBrowser::dropContainer() {
  fullScreen_.reset();
  if (!container_) return;
  const bool hadFocus = container_->hasFocus();
  container_->removeEventFilter(this);
  setFocusProxy(nullptr);
  if (foreign_) foreign_->removeEventFilter(this);
  if (host_ && host_->running()) releaseToRoot(xid_);  // the host destroys it later
  delete container_;
  container_ = nullptr;
  foreign_ = nullptr;
  xid_ = 0;
  if (hadFocus && window()) setInputFocus(window()->winId());
}

void TMozillaBrowser::showHostErrorPage(const QString& why) {
  if (errorPage_) delete errorPage_;
  errorPage_ = new QWidget(this);
  errorPage_->setObjectName(QStringLiteral("hostErrorPage"));
  errorPage_->setAutoFillBackground(true);
  auto* layout = new QVBoxLayout(errorPage_);
  layout->setContentsMargins(24, 24, 24, 24);
  auto* heading = new QLabel(QStringLiteral("ページを表示できません"), errorPage_);
  QFont f = heading->font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.5);
  heading->setFont(f);
  layout->addWidget(heading);
  auto* text = new QLabel(errorPage_);
  text->setObjectName(QStringLiteral("lblHostError"));
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QString message = why.isEmpty() ? QStringLiteral("WebKit エンジンが終了しました。") : why;
  if (!location_.isEmpty()) message += u'\n' + location_;
  message += QStringLiteral("\n再読み込みすると、エンジンを起動し直してもう一度読み込みます。");
  text->setText(message);
  layout->addWidget(text);
  auto* button = new QPushButton(QStringLiteral("再読み込み"), errorPage_);
  button->setObjectName(QStringLiteral("btnReload"));
  connect(button, &QPushButton::clicked, this, [this] { guarded::run([&] { Refresh(); }); });
  layout->addWidget(button, 0, Qt::AlignLeft);
  layout->addStretch(1);
  errorPage_->setGeometry(rect());
  errorPage_->show();
}

void TMozillaBrowser::focusPage() {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
      if (QMdiArea* area = sub->mdiArea(); area && area->activeSubWindow() != sub) area->setActiveSubWindow(sub);
      break;
    }
  }
  if (!container_) return;
  container_->setFocus(Qt::MouseFocusReason);
  // Qt hands its focus to the container, but the X input focus has to be
  // moved into the foreign window by hand.
  setInputFocus(xid_);
}

void TMozillaBrowser::passKeyToFrame(const wkproto::Message& m) {
  xcb_connection_t* c = xcbConnection();
  QWidget* top = window();
  if (!c || !top || !top->windowHandle()) return;
  // The key as X would have given it to the frame, had the page not had
  // the focus: Qt runs it through its shortcuts, mnemonics and menus like
  // any other key, including those added after this was written.
  xcb_key_press_event_t e{};
  e.response_type = XCB_KEY_PRESS;
  e.detail = static_cast<xcb_keycode_t>(m.integer("keycode"));
  e.time = static_cast<xcb_timestamp_t>(m.integer("time"));
  e.root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  e.event = static_cast<xcb_window_t>(top->winId());
  e.child = XCB_NONE;
  e.state = static_cast<uint16_t>((m.integer("state") & 0x1fff) | ((m.integer("group") & 3) << 13));
  e.same_screen = 1;
  xcb_send_event(c, false, e.event, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
  e.response_type = XCB_KEY_RELEASE;
  xcb_send_event(c, false, e.event, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
  xcb_flush(c);
}

void TMozillaBrowser::scheduleFrameKeys() {
  if (frameKeysPending_) return;
  frameKeysPending_ = true;
  QTimer::singleShot(0, this, [this] { guarded::run([this] { sendFrameKeys(); }); });
}

void TMozillaBrowser::sendFrameKeys() {
  frameKeysPending_ = false;
  for (const auto& c : frameKeyWatch_) disconnect(c);
  frameKeyWatch_.clear();
  QSet<QAction*> watched;
  auto watch = [&](QAction* a) {
    if (!watched.contains(a)) {
      watched.insert(a);
      frameKeyWatch_.push_back(connect(a, &QAction::changed, this, &TMozillaBrowser::scheduleFrameKeys));
    }
  };
  framekeys::KeyList keys;
  auto add = [&](QKeyCombination combination) {
    const auto key = frameKeyBeforePage(combination);
    if (key && std::find(keys.begin(), keys.end(), *key) == keys.end()) keys.push_back(*key);
  };
  // What Qt would match in this window: its actions, those of its menus,
  // and the menu bar's mnemonics.
  QWidget* top = window();
  QList<QAction*> actions = top->actions();
  std::function<void(QMenu*)> addMenu = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      actions << a;
      if (a->menu()) addMenu(a->menu());
    }
  };
  for (QMenuBar* bar : top->findChildren<QMenuBar*>()) {
    for (QAction* a : bar->actions()) {
      watch(a);
      if (a->isEnabled() && a->isVisible()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(a->text());
        if (!mnemonic.isEmpty()) add(mnemonic[0]);
      }
      if (a->menu()) addMenu(a->menu());
    }
  }
  for (QAction* a : actions) {
    const Qt::ShortcutContext context = a->shortcutContext();
    if (a->shortcuts().isEmpty() || context == Qt::WidgetShortcut || context == Qt::WidgetWithChildrenShortcut)
      continue;
    watch(a);
    if (!a->isEnabled()) continue;
    for (const QKeySequence& s : a->shortcuts())
      if (s.count() == 1) add(s[0]);
  }
  const std::string encoded = framekeys::encode(keys);
  if (encoded == frameKeysSent_ || !host_ || !host_->running() || !viewId_) return;
  frameKeysSent_ = encoded;
  send(wkproto::Message().set("cmd", "frame-keys").set("keys", encoded));
}

void TMozillaBrowser::focusLeavesPage(bool forward) {
  if (!container_ || !container_->hasFocus()) return;
  // The next (or previous) widget of the frame that Tab can reach, outside
  // the page windows: within them Tab would only come back to this page.
  QWidget* area = nullptr;
  for (QWidget* w = parentWidget(); w && !area; w = w->parentWidget())
    if (qobject_cast<QMdiArea*>(w)) area = w;
  const QWidget* outside = area ? area : this;
  for (QWidget* w = forward ? container_->nextInFocusChain() : container_->previousInFocusChain(); w != container_;
       w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
    if (w == outside || outside->isAncestorOf(w) || w->window() != window()) continue;
    if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy()) continue;
    w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return;
  }
}

void TMozillaBrowser::resizeEvent(QResizeEvent* event) {
  IWebBrowser2::resizeEvent(event);
  if (container_ && !fullScreen_) container_->setGeometry(rect());
  if (errorPage_) errorPage_->setGeometry(rect());
}

bool TMozillaBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == foreign_ && event->type() == QEvent::PlatformSurface &&
      static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
          QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
    // Qt takes the window tree down child first: the moment to get the
    // view's window out of it, whoever is being destroyed.
    if (host_ && host_->running()) releaseToRoot(xid_);
  } else if (watched == container_) {
    if (event->type() == QEvent::FocusIn) {
      setInputFocus(xid_);
      scheduleFrameKeys();
    } else if (event->type() == QEvent::FocusOut) {
      // Focus went to another of our widgets: the X input focus follows it
      // back to our own window. Not when another program was activated.
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && window())
        setInputFocus(window()->winId());
    }
  }
  return IWebBrowser2::eventFilter(watched, event);
}
