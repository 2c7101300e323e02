#include "history/history_recorder.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>

#include "engine/engine_control.h"
#include "history/history_rules.h"
#include "history/history_store.h"

namespace history {

namespace {

// How long a page shows before it counts as a visit: an engine reports a
// failed load just after its error page's title at the latest.
constexpr qint64 kSettleMs = 800;
// How long a note of how the next page is reached stays good.
constexpr qint64 kExpectMs = 30000;

struct PageState {
  QString url;
  QString title;
  qint64 time = 0;
  QString reached;
  bool pending = false;
  QString failedUrl;  // the engine's page for it is no visit
};

class Recorder : public QObject {
 public:
  static Recorder& instance() {
    static Recorder* r = new Recorder;
    return *r;
  }

  void titled(IWebBrowser2* control, const QString& url, const QString& rawTitle) {
    Store* store = current();
    if (!store || !recordable(url)) return;
    watch(control);
    PageState& s = pages_[control];
    if (url == s.failedUrl) return;
    // Until the page names itself the engines give its address as title.
    const QString title = pageTitle(rawTitle, url);
    if (url == s.url) {
      if (title.isEmpty() || title == s.title) return;
      s.title = title;
      if (!s.pending) store->updateTitle(url, title);
      return;
    }
    flush(s);
    s = PageState{url, title, QDateTime::currentMSecsSinceEpoch(), takeReached(url), true, QString()};
    if (!timer_.isActive()) timer_.start();
  }

  void failed(IWebBrowser2* control, const QString& url) {
    PageState& s = pages_[control];
    s.failedUrl = url;
    if (s.pending && s.url == url) {
      s.pending = false;
      s.url.clear();
    }
  }

  void expect(const QString& url, const QString& reached) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    expected_.removeIf([now](const auto& e) { return now - e.time > kExpectMs; });
    expected_.append({url, reached, now});
  }

  void flushAll() {
    for (PageState& s : pages_) flush(s);
  }

 private:
  struct Expected {
    QString url;
    QString reached;
    qint64 time;
  };

  Recorder() {
    timer_.setInterval(int(kSettleMs / 2));
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { settle(); });
  }

  void watch(IWebBrowser2* control) {
    if (pages_.contains(control)) return;
    connect(control, &IWebBrowser2::NavigateError, this, [this, control](const QString& url) { failed(control, url); });
    connect(control, &QObject::destroyed, this, [this, control] {
      auto it = pages_.find(control);
      if (it == pages_.end()) return;
      flush(*it);
      pages_.erase(it);
    });
  }

  QString takeReached(const QString& url) {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (qsizetype i = 0; i < expected_.size(); ++i) {
      if (now - expected_[i].time <= kExpectMs && sameAddress(expected_[i].url, url))
        return expected_.takeAt(i).reached;
    }
    return {};
  }

  void settle() {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    bool waiting = false;
    for (PageState& s : pages_) {
      if (s.pending && now - s.time >= kSettleMs)
        flush(s);
      else if (s.pending)
        waiting = true;
    }
    if (!waiting) timer_.stop();
  }

  void flush(PageState& s) {
    if (!s.pending) return;
    s.pending = false;
    if (Store* store = current()) store->recordVisit(s.url, s.title, s.time, s.reached);
  }

  QHash<IWebBrowser2*, PageState> pages_;
  QList<Expected> expected_;
  QTimer timer_;
};

}  // namespace

void pageTitled(IWebBrowser2* control, const QString& url, const QString& title) {
  if (control) Recorder::instance().titled(control, url, title);
}

void expectReached(const QString& url, const QString& reached) { Recorder::instance().expect(url, reached); }

void flushPending() { Recorder::instance().flushAll(); }

}  // namespace history
