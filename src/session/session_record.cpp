#include "session/session_record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>

namespace session {

namespace {

constexpr int kFormat = 1;

const char* stateName(WindowState s) {
  switch (s) {
    case WindowState::Maximized:
      return "maximized";
    case WindowState::Minimized:
      return "minimized";
    case WindowState::Normal:
      break;
  }
  return "normal";
}

QJsonObject windowObject(const Window& w) {
  return QJsonObject{
      {QStringLiteral("engine"), w.ie ? QStringLiteral("ie") : QStringLiteral("gekko")},
      {QStringLiteral("url"), w.url},
      {QStringLiteral("title"), w.title},
      {QStringLiteral("history"), QString::fromLatin1(w.history.toBase64())},
      {QStringLiteral("x"), w.geometry.x()},
      {QStringLiteral("y"), w.geometry.y()},
      {QStringLiteral("width"), w.geometry.width()},
      {QStringLiteral("height"), w.geometry.height()},
      {QStringLiteral("state"), QString::fromLatin1(stateName(w.state))},
  };
}

QJsonArray windowArray(const QList<Window>& windows) {
  QJsonArray out;
  for (const Window& w : windows) out.append(windowObject(w));
  return out;
}

int coordinate(const QJsonObject& o, const char* key) {
  const double v = o.value(QLatin1String(key)).toDouble(0);
  return int(std::clamp(v, double(-kMaxCoordinate), double(kMaxCoordinate)));
}

std::optional<Window> readWindow(const QJsonValue& value) {
  if (!value.isObject()) return std::nullopt;
  const QJsonObject o = value.toObject();
  Window w;
  const QString engine = o.value(QStringLiteral("engine")).toString();
  if (engine == QLatin1String("ie"))
    w.ie = true;
  else if (engine == QLatin1String("gekko"))
    w.ie = false;
  else
    return std::nullopt;
  w.url = o.value(QStringLiteral("url")).toString();
  if (w.url.isEmpty() || w.url.size() > kMaxUrlChars) return std::nullopt;
  w.title = o.value(QStringLiteral("title")).toString().left(kMaxTitleChars);
  const QString history = o.value(QStringLiteral("history")).toString();
  // Base64 four characters for three bytes: a longer text is never decoded.
  if (history.size() <= kMaxHistoryBytes / 3 * 4 + 4) {
    auto decoded = QByteArray::fromBase64Encoding(history.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (decoded) w.history = *decoded;
  }
  w.geometry = QRect(coordinate(o, "x"), coordinate(o, "y"), std::max(0, coordinate(o, "width")),
                     std::max(0, coordinate(o, "height")));
  const QString state = o.value(QStringLiteral("state")).toString();
  w.state = state == QLatin1String("maximized")   ? WindowState::Maximized
            : state == QLatin1String("minimized") ? WindowState::Minimized
                                                  : WindowState::Normal;
  return w;
}

QList<Window> readWindows(const QJsonArray& array, int max, QList<int>* kept = nullptr) {
  QList<Window> out;
  for (int i = 0; i < array.size() && out.size() < max; ++i) {
    if (auto w = readWindow(array.at(i))) {
      out.append(*w);
      if (kept) kept->append(i);
    }
  }
  return out;
}

}  // namespace

void pushClosed(Record& record, const Window& window) {
  record.closed.prepend(window);
  while (record.closed.size() > kMaxClosed) record.closed.removeLast();
}

QByteArray toJson(const Record& record) {
  const QJsonObject root{
      {QStringLiteral("format"), kFormat},
      {QStringLiteral("windows"), windowArray(record.windows)},
      {QStringLiteral("active"), record.active},
      {QStringLiteral("closed"), windowArray(record.closed)},
  };
  return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

std::optional<Record> parse(const QByteArray& bytes, QString* why) {
  auto fail = [why](const QString& text) -> std::optional<Record> {
    if (why) *why = text;
    return std::nullopt;
  };
  if (bytes.size() > kMaxFileBytes) return fail(QStringLiteral("too large"));
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError) return fail(error.errorString());
  if (!doc.isObject()) return fail(QStringLiteral("not an object"));
  const QJsonObject root = doc.object();
  if (root.value(QStringLiteral("format")).toInt(0) != kFormat) return fail(QStringLiteral("unknown format"));
  const QJsonValue windows = root.value(QStringLiteral("windows"));
  if (!windows.isArray()) return fail(QStringLiteral("no window list"));

  Record r;
  QList<int> kept;
  r.windows = readWindows(windows.toArray(), kMaxWindows, &kept);
  // The active window is named by its place in the file: it follows its
  // window when windows before it were left out.
  r.active = int(kept.indexOf(root.value(QStringLiteral("active")).toInt(-1)));
  const QJsonValue closed = root.value(QStringLiteral("closed"));
  if (closed.isArray()) r.closed = readWindows(closed.toArray(), kMaxClosed);
  return r;
}

}  // namespace session
