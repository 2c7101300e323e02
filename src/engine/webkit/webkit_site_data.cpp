#include "engine/webkit/webkit_site_data.h"

#include <QDateTime>
#include <map>

#include "engine/webkit/webkit_control.h"
#include "engine/webkit/webkit_protocol.h"

namespace webkit_sitedata {

namespace {

struct Pending {
  QList<Record> records;
  std::function<void(const QList<Record>&)> fetched;
  std::function<void()> done;
};

// Whether a host was started only for these questions.
bool startedHost = false;

// The cookies the host saw set or changed in this run, by when.
struct SeenCookie {
  QString line;  // "name<TAB>domain<TAB>path"
  qint64 seenMs;
};
QList<SeenCookie>& seenCookies() {
  static QList<SeenCookie> list;
  return list;
}

std::map<std::int64_t, Pending>& pending() {
  static std::map<std::int64_t, Pending> map;
  return map;
}

void finish(std::int64_t id) {
  auto it = pending().find(id);
  if (it == pending().end()) return;
  Pending p = std::move(it->second);
  pending().erase(it);
  if (p.fetched) p.fetched(p.records);
  if (p.done) p.done();
  // A host started only for this question goes again.
  if (pending().empty() && startedHost) {
    startedHost = false;
    TMozillaBrowser::releaseIdleHost();
  }
}

void listen(const wkproto::Message& m) {
  const std::string ev = m.str("ev");
  if (ev == "site-data-lost") {
    std::vector<std::int64_t> ids;
    for (const auto& [id, p] : pending()) ids.push_back(id);
    for (std::int64_t id : ids) finish(id);
    return;
  }
  if (ev == "site-data-cookie") {
    const QString line = QString::fromStdString(m.str("name") + '\t' + m.str("domain") + '\t' + m.str("path"));
    seenCookies().removeIf([&](const SeenCookie& c) { return c.line == line; });
    seenCookies().append({line, QDateTime::currentMSecsSinceEpoch()});
    return;
  }
  const std::int64_t id = m.integer("id");
  if (ev == "site-data-done") return finish(id);
  auto it = pending().find(id);
  if (ev != "site-data" || it == pending().end()) return;
  Record r;
  r.name = QString::fromStdString(m.str("name"));
  r.kinds = QString::fromStdString(m.str("types")).split(u',', Qt::SkipEmptyParts);
  const std::int64_t size = m.integer("size", -1);
  r.bytes = size > 0 ? size : -1;
  it->second.records.append(r);
}

void ask(wkproto::Message command, Pending p) {
  static std::int64_t lastId = 0;
  watch();
  const std::int64_t id = ++lastId;
  pending()[id] = std::move(p);
  if (!TMozillaBrowser::hostProcessId()) startedHost = true;
  try {
    TMozillaBrowser::sendHostCommand(command.set("id", id));
  } catch (...) {
    pending().erase(id);
    throw;
  }
}

}  // namespace

void watch() {
  static const bool listening = (TMozillaBrowser::setSiteDataListener(listen), true);
  (void)listening;
}

void fetch(std::function<void(const QList<Record>&)> done) {
  ask(wkproto::Message().set("cmd", "site-data-fetch"), {{}, std::move(done), {}});
}

void remove(const QStringList& names, std::function<void()> done) {
  ask(wkproto::Message().set("cmd", "site-data-remove").set("names", names.join(u'\n').toStdString()),
      {{}, {}, std::move(done)});
}

void clear(bool siteData, bool cache, qint64 sinceMs, std::function<void()> done) {
  const qint64 seconds = sinceMs > 0 ? (QDateTime::currentMSecsSinceEpoch() - sinceMs + 999) / 1000 : 0;
  const bool range = sinceMs > 0;
  if (siteData && range) {
    // WebKit clears cookies only all at once: those of the range go one by one.
    QStringList lines;
    for (const SeenCookie& c : seenCookies())
      if (c.seenMs >= sinceMs) lines << c.line;
    if (!lines.isEmpty())
      ask(wkproto::Message().set("cmd", "site-data-delete-cookies").set("cookies", lines.join(u'\n').toStdString()),
          {});
  }
  if (siteData && !range) seenCookies().clear();
  ask(wkproto::Message()
          .set("cmd", "site-data-clear")
          .set("keep-cookies", range)
          .set("site-data", siteData)
          .set("cache", cache)
          .set("seconds", static_cast<std::int64_t>(seconds > 0 ? seconds : (sinceMs > 0 ? 1 : 0))),
      {{}, {}, std::move(done)});
}

}  // namespace webkit_sitedata
