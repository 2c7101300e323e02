#include "passwords/password_store.h"

// GLib's D-Bus headers name a field after Qt's "signals" keyword.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include <QDir>
#include <QMetaObject>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/user_folders.h"

namespace passwords {

namespace {

const SecretSchema* schema() {
  static const SecretSchema s = {"org.zelvo.Password",
                                 SECRET_SCHEMA_NONE,
                                 {
                                     {"origin", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {"username", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                     {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                 },
                                 0,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr,
                                 nullptr};
  return &s;
}

// One worker, so calls reach the service in the order they were made.
QThreadPool& worker() {
  static QThreadPool* pool = [] {
    auto* p = new QThreadPool;
    p->setMaxThreadCount(1);
    p->setExpiryTimeout(-1);
    return p;
  }();
  return *pool;
}

QString takeError(GError* error) {
  if (!error) return {};
  const QString text = QString::fromUtf8(error->message);
  g_error_free(error);
  return text;
}

const QString kNoAnswer = QStringLiteral("キーリング (Secret Service) が応答しません");

// Runs `work` on the worker with a cancellable; its result reaches `deliver`
// on the UI thread, or the timeout cancels it and delivers `onTimeout`.
template <typename Result>
void runOff(QObject* context, int timeoutMs, std::function<Result(GCancellable*)> work,
            std::function<void(const Result&)> deliver, Result onTimeout) {
  struct Call {
    std::atomic<bool> over{false};
    GCancellable* cancellable = g_cancellable_new();
    ~Call() { g_object_unref(cancellable); }
  };
  auto call = std::make_shared<Call>();
  QPointer<QObject> target(context);
  QTimer::singleShot(timeoutMs, context, [call, deliver, onTimeout] {
    if (call->over.exchange(true)) return;
    g_cancellable_cancel(call->cancellable);
    deliver(onTimeout);
  });
  worker().start([call, work, deliver, target] {
    Result r = work(call->cancellable);
    if (!target) return;
    QMetaObject::invokeMethod(
        target.data(),
        [call, deliver, r] {
          if (!call->over.exchange(true)) deliver(r);
        },
        Qt::QueuedConnection);
  });
}

using Found = std::pair<QList<Credential>, QString>;

QString attribute(GHashTable* attributes, const char* name) {
  const auto* v = static_cast<const char*>(g_hash_table_lookup(attributes, name));
  return v ? QString::fromUtf8(v) : QString();
}

Found search(GCancellable* c, const QString& origin, std::optional<Kind> kind, bool withSecrets) {
  GHashTable* query = g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free);
  if (!origin.isEmpty()) g_hash_table_insert(query, const_cast<char*>("origin"), g_strdup(origin.toUtf8().constData()));
  if (kind) g_hash_table_insert(query, const_cast<char*>("kind"), g_strdup(kindName(*kind).toUtf8().constData()));
  GError* error = nullptr;
  const int flags = SECRET_SEARCH_ALL | (withSecrets ? SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS : 0);
  GList* items = secret_password_searchv_sync(schema(), query, static_cast<SecretSearchFlags>(flags), c, &error);
  g_hash_table_unref(query);
  Found out;
  out.second = takeError(error);
  for (GList* i = items; i; i = i->next) {
    auto* item = static_cast<SecretRetrievable*>(i->data);
    GHashTable* attrs = secret_retrievable_get_attributes(item);
    Credential cred;
    cred.origin = attribute(attrs, "origin");
    cred.user = attribute(attrs, "username");
    cred.kind = attribute(attrs, "kind") == QLatin1String("http") ? Kind::Http : Kind::Form;
    cred.savedMs = static_cast<qint64>(secret_retrievable_get_modified(item)) * 1000;
    g_hash_table_unref(attrs);
    if (withSecrets) {
      GError* e = nullptr;
      if (SecretValue* value = secret_retrievable_retrieve_secret_sync(item, c, &e)) {
        if (const char* text = secret_value_get_text(value)) cred.password = QString::fromUtf8(text);
        secret_value_unref(value);
      }
      if (const QString err = takeError(e); !err.isEmpty() && out.second.isEmpty()) out.second = err;
      if (cred.password.isEmpty()) continue;
    }
    out.first.append(cred);
  }
  g_list_free_full(items, g_object_unref);
  return out;
}

QByteArray utf8(const QString& s) { return s.toUtf8(); }

}  // namespace

PasswordStore& PasswordStore::instance() {
  static PasswordStore store;
  return store;
}

void PasswordStore::checkService(QObject* context, ServiceDone done) {
  if (state_ != State::Unknown) {
    done(state_ == State::Available, why_);
    return;
  }
  using Answer = std::pair<bool, QString>;
  runOff<Answer>(
      context, timeoutMs_,
      [](GCancellable* c) {
        GError* error = nullptr;
        // Opening a session needs the service itself, not only the bus.
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, c, &error);
        if (service) g_object_unref(service);
        return Answer{service != nullptr, takeError(error)};
      },
      [this, done](const Answer& a) {
        if (state_ == State::Unknown) {
          state_ = a.first ? State::Available : State::Missing;
          why_ = a.first ? QString()
                         : QStringLiteral(
                               "パスワードを保存できません: デスクトップのキーリング (Secret Service) "
                               "が動いていません");
        }
        done(state_ == State::Available, why_);
      },
      Answer{false, kNoAnswer});
}

void PasswordStore::find(const QString& origin, Kind kind, QObject* context, FoundDone done) {
  if (origin.isEmpty() || state_ == State::Missing) {
    done({}, why_);
    return;
  }
  runOff<Found>(
      context, timeoutMs_, [origin, kind](GCancellable* c) { return search(c, origin, kind, true); },
      [done](const Found& f) { done(f.first, f.second); }, Found{{}, kNoAnswer});
}

void PasswordStore::list(QObject* context, FoundDone done) {
  runOff<Found>(
      context, timeoutMs_, [](GCancellable* c) { return search(c, QString(), std::nullopt, false); },
      [done](const Found& f) { done(f.first, f.second); }, Found{{}, kNoAnswer});
}

void PasswordStore::password(const Credential& cred, QObject* context, PasswordDone done) {
  using Answer = std::pair<QString, QString>;
  runOff<Answer>(
      context, timeoutMs_,
      [cred](GCancellable* c) {
        GError* error = nullptr;
        gchar* secret = secret_password_lookup_sync(schema(), c, &error, "origin", utf8(cred.origin).constData(),
                                                    "username", utf8(cred.user).constData(), "kind",
                                                    utf8(kindName(cred.kind)).constData(), nullptr);
        Answer a{secret ? QString::fromUtf8(secret) : QString(), takeError(error)};
        if (secret) secret_password_free(secret);
        if (a.first.isEmpty() && a.second.isEmpty()) a.second = QStringLiteral("パスワードが見つかりません");
        return a;
      },
      [done](const Answer& a) { done(a.first, a.second); }, Answer{QString(), kNoAnswer});
}

void PasswordStore::save(const Credential& cred, QObject* context, Done done) {
  runOff<QString>(
      context, timeoutMs_,
      [cred](GCancellable* c) {
        GError* error = nullptr;
        const QString label = QStringLiteral("Zelvo: %1 (%2)").arg(cred.origin, cred.user);
        secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, utf8(label).constData(),
                                   utf8(cred.password).constData(), c, &error, "origin", utf8(cred.origin).constData(),
                                   "username", utf8(cred.user).constData(), "kind",
                                   utf8(kindName(cred.kind)).constData(), nullptr);
        return takeError(error);
      },
      done, kNoAnswer);
}

void PasswordStore::remove(const Credential& cred, QObject* context, Done done) {
  runOff<QString>(
      context, timeoutMs_,
      [cred](GCancellable* c) {
        GError* error = nullptr;
        secret_password_clear_sync(schema(), c, &error, "origin", utf8(cred.origin).constData(), "username",
                                   utf8(cred.user).constData(), "kind", utf8(kindName(cred.kind)).constData(), nullptr);
        return takeError(error);
      },
      done, kNoAnswer);
}

// ---- never_sites ---------------------------------------------------------------

namespace never_sites {

namespace {

QString path() { return QDir(user_folders::data()).filePath(QStringLiteral("password-never-sites")); }

void write(const QStringList& sites) {
  QString error;
  QByteArray data;
  for (const QString& s : sites) data += s.toUtf8() + '\n';
  if (!atomicReplaceFile(path(), data, &error)) throw EInOutError(QStringLiteral("%1 に書き込めません").arg(path()));
}

}  // namespace

QStringList all() {
  QByteArray bytes;
  if (readRegularFile(path(), &bytes, 1 << 20) != FileRead::Ok) return {};
  QStringList out;
  for (const QByteArray& line : bytes.split('\n'))
    if (const QString origin = originOf(QString::fromUtf8(line.trimmed())); !origin.isEmpty()) out.append(origin);
  return out;
}

bool contains(const QString& origin) { return !origin.isEmpty() && all().contains(origin); }

void add(const QString& origin) {
  QStringList sites = all();
  if (origin.isEmpty() || sites.contains(origin)) return;
  sites.append(origin);
  write(sites);
}

void remove(const QString& origin) {
  QStringList sites = all();
  if (sites.removeAll(origin) > 0) write(sites);
}

}  // namespace never_sites

}  // namespace passwords
