// The data sites stored (cookies, local storage, caches, ...): listed per
// site with its size where WebKit knows it, removed per site or by age, and
// whether third-party cookies are taken at all.
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "webkit-host/host.h"

namespace host {

namespace {

constexpr auto kCacheTypes = static_cast<WebKitWebsiteDataTypes>(
    WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE | WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE);
constexpr auto kSiteTypes = static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_ALL & ~kCacheTypes);

WebKitWebsiteDataManager* manager() { return webkit_web_context_get_website_data_manager(context); }

std::string typeNames(WebKitWebsiteDataTypes t) {
  static const std::pair<WebKitWebsiteDataTypes, const char*> kNames[] = {
      {WEBKIT_WEBSITE_DATA_COOKIES, "cookies"},
      {WEBKIT_WEBSITE_DATA_LOCAL_STORAGE, "local-storage"},
      {WEBKIT_WEBSITE_DATA_SESSION_STORAGE, "session-storage"},
      {WEBKIT_WEBSITE_DATA_INDEXEDDB_DATABASES, "indexeddb"},
      {WEBKIT_WEBSITE_DATA_SERVICE_WORKER_REGISTRATIONS, "service-workers"},
      {WEBKIT_WEBSITE_DATA_DOM_CACHE, "dom-cache"},
      {WEBKIT_WEBSITE_DATA_DISK_CACHE, "cache"},
      {WEBKIT_WEBSITE_DATA_MEMORY_CACHE, "cache"},
      {WEBKIT_WEBSITE_DATA_OFFLINE_APPLICATION_CACHE, "cache"},
  };
  std::string out;
  for (const auto& [bit, name] : kNames) {
    if (!(t & bit)) continue;
    if (out.find(name) != std::string::npos) continue;
    if (!out.empty()) out += ',';
    out += name;
  }
  return out.empty() ? "other" : out;
}

struct Job {
  std::int64_t id;
  std::set<std::string> names;  // for a removal: the sites' names
};

void done(std::int64_t id, GError* error) {
  Message m = event("site-data-done", 0).set("id", id);
  if (error) m.set("message", error->message);
  send(m);
}

void onFetched(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<Job*>(data);
  GError* error = nullptr;
  GList* list = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
  for (GList* l = list; l; l = l->next) {
    auto* d = static_cast<WebKitWebsiteData*>(l->data);
    const WebKitWebsiteDataTypes types = webkit_website_data_get_types(d);
    const guint64 size = webkit_website_data_get_size(d, types);
    send(event("site-data", 0)
             .set("id", job->id)
             .set("name", webkit_website_data_get_name(d))
             .set("types", typeNames(types))
             .set("size", static_cast<std::int64_t>(size)));
  }
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
  done(job->id, error);
  if (error) g_error_free(error);
  delete job;
}

void onRemoved(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<Job*>(data);
  GError* error = nullptr;
  webkit_website_data_manager_remove_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
  done(job->id, error);
  if (error) g_error_free(error);
  delete job;
}

// A removal fetches the sites first: WebKit removes the records it handed out.
void onFetchedForRemoval(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<Job*>(data);
  GError* error = nullptr;
  GList* list = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
  GList* chosen = nullptr;
  for (GList* l = list; l; l = l->next)
    if (job->names.count(webkit_website_data_get_name(static_cast<WebKitWebsiteData*>(l->data))))
      chosen = g_list_prepend(chosen, l->data);
  if (error || !chosen) {
    done(job->id, error);
    delete job;
  } else {
    webkit_website_data_manager_remove(manager(), WEBKIT_WEBSITE_DATA_ALL, chosen, nullptr, onRemoved, job);
  }
  g_list_free(chosen);
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
  if (error) g_error_free(error);
}

void onCleared(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<Job*>(data);
  GError* error = nullptr;
  webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, &error);
  done(job->id, error);
  if (error) g_error_free(error);
  delete job;
}

// WebKit keeps no times of its cookies and clears them only all at once.
// The frame hears of each cookie set or changed (name, domain, path), so
// that it can delete those of a time range itself.
using CookieKey = std::tuple<std::string, std::string, std::string>;
std::map<CookieKey, std::string> cookieSnapshot;  // -> value and expiry
bool snapshotTaken = false;

WebKitCookieManager* cookieManager() { return webkit_web_context_get_cookie_manager(context); }

CookieKey keyOf(SoupCookie* c) {
  return {soup_cookie_get_name(c), soup_cookie_get_domain(c) ? soup_cookie_get_domain(c) : "",
          soup_cookie_get_path(c) ? soup_cookie_get_path(c) : ""};
}

void onAllCookies(GObject* source, GAsyncResult* result, gpointer) {
  GList* list = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, nullptr);
  std::map<CookieKey, std::string> now;
  for (GList* l = list; l; l = l->next) {
    auto* c = static_cast<SoupCookie*>(l->data);
    GDateTime* expires = soup_cookie_get_expires(c);
    now[keyOf(c)] = std::string(soup_cookie_get_value(c)) + '\n' +
                    (expires ? std::to_string(g_date_time_to_unix(expires)) : std::string());
  }
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
  if (snapshotTaken)
    for (const auto& [key, value] : now) {
      auto old = cookieSnapshot.find(key);
      if (old != cookieSnapshot.end() && old->second == value) continue;
      send(event("site-data-cookie", 0)
               .set("name", std::get<0>(key))
               .set("domain", std::get<1>(key))
               .set("path", std::get<2>(key)));
    }
  cookieSnapshot = std::move(now);
  snapshotTaken = true;
}

void onCookiesChanged(WebKitCookieManager* manager, gpointer) {
  webkit_cookie_manager_get_all_cookies(manager, nullptr, onAllCookies, nullptr);
}

void onCookieDeleted(GObject* source, GAsyncResult* result, gpointer) {
  webkit_cookie_manager_delete_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result, nullptr);
}

// Deletes the cookies named one a line ("name<TAB>domain<TAB>path").
void onCookiesToDelete(GObject* source, GAsyncResult* result, gpointer data) {
  auto* job = static_cast<Job*>(data);
  GError* error = nullptr;
  GList* list = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
  for (GList* l = list; l; l = l->next) {
    auto* c = static_cast<SoupCookie*>(l->data);
    const CookieKey k = keyOf(c);
    if (job->names.count(std::get<0>(k) + '\t' + std::get<1>(k) + '\t' + std::get<2>(k)))
      webkit_cookie_manager_delete_cookie(cookieManager(), c, nullptr, onCookieDeleted, nullptr);
  }
  g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
  // Deletions are queued in order before what the frame asks next.
  done(job->id, error);
  if (error) g_error_free(error);
  delete job;
}

}  // namespace

void applyCookiePolicy(WebKitWebContext* c) {
  webkit_cookie_manager_set_accept_policy(
      webkit_web_context_get_cookie_manager(c),
      thirdPartyCookies ? WEBKIT_COOKIE_POLICY_ACCEPT_ALWAYS : WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
}

void watchCookies() {
  g_signal_connect(cookieManager(), "changed", G_CALLBACK(onCookiesChanged), nullptr);
  webkit_cookie_manager_get_all_cookies(cookieManager(), nullptr, onAllCookies, nullptr);
}

bool isSiteDataCommand(const std::string& cmd) { return cmd.rfind("site-data-", 0) == 0 || cmd == "cookie-policy"; }

void siteDataCommand(const std::string& cmd, const Message& m) {
  if (cmd == "cookie-policy") {
    thirdPartyCookies = m.boolean("third-party");
    applyCookiePolicy(context);
    if (WebKitWebContext* p = privateContextIfAny()) applyCookiePolicy(p);
    return;
  }
  auto* job = new Job{m.integer("id"), {}};
  if (cmd == "site-data-fetch") {
    webkit_website_data_manager_fetch(manager(), WEBKIT_WEBSITE_DATA_ALL, nullptr, onFetched, job);
  } else if (cmd == "site-data-remove") {
    // The names come one a line.
    std::istringstream names(m.str("names"));
    for (std::string name; std::getline(names, name);)
      if (!name.empty()) job->names.insert(name);
    webkit_website_data_manager_fetch(manager(), WEBKIT_WEBSITE_DATA_ALL, nullptr, onFetchedForRemoval, job);
  } else if (cmd == "site-data-delete-cookies") {
    std::istringstream lines(m.str("cookies"));
    for (std::string line; std::getline(lines, line);)
      if (!line.empty()) job->names.insert(line);
    webkit_cookie_manager_get_all_cookies(cookieManager(), nullptr, onCookiesToDelete, job);
  } else if (cmd == "site-data-clear") {
    int types = 0;
    if (m.boolean("site-data")) types |= kSiteTypes;
    // A range's cookies are deleted one by one ("site-data-delete-cookies").
    if (m.boolean("keep-cookies")) types &= ~WEBKIT_WEBSITE_DATA_COOKIES;
    if (m.boolean("cache")) types |= kCacheTypes;
    // Seconds back from now; 0 clears everything stored.
    const std::int64_t seconds = m.integer("seconds");
    const GTimeSpan span = seconds > 0 ? seconds * G_TIME_SPAN_SECOND : 0;
    if (!types) {
      done(job->id, nullptr);
      delete job;
      return;
    }
    webkit_website_data_manager_clear(manager(), static_cast<WebKitWebsiteDataTypes>(types), span, nullptr, onCleared,
                                      job);
  } else {
    delete job;
    sendError(0, "unknown command: " + cmd);
  }
}

}  // namespace host
