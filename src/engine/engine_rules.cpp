#include "engine/engine_rules.h"

#include "engine/address.h"
#include "platform/ini_file.h"

namespace engine_rules {

namespace {

// The host as URLs carry it (lower case, IDN in its Unicode form), or empty
// when the text is no host name.
QString normalHost(const QString& text) {
  if (text.isEmpty() || text.contains(u'*')) return {};
  for (QChar c : text)
    if (c.isSpace() || c == u'/' || c == u':' || c == u'@' || c == u'?' || c == u'#' || c == u'\\') return {};
  QString host = QUrl(QStringLiteral("http://") + text, QUrl::StrictMode).host();
  while (host.endsWith(u'.')) host.chop(1);
  return host;
}

QString hostOf(const QUrl& url) {
  QString host = url.host();
  while (host.endsWith(u'.')) host.chop(1);
  return host;
}

// A prefix that names only an origin ("https://example.jp") matches that
// origin and nothing else, so it never matches "https://example.jp.evil/".
bool onlyOrigin(const QUrl& prefix) {
  return (prefix.path().isEmpty() || prefix.path() == u'/') && !prefix.hasQuery() && !prefix.hasFragment() &&
         !prefix.host().isEmpty();
}

}  // namespace

std::optional<Kind> kindOf(const QString& pattern) {
  if (pattern.isEmpty()) return std::nullopt;
  for (QChar c : pattern)
    if (c.isSpace()) return std::nullopt;
  const qsizetype colon = pattern.indexOf(u':');
  if (colon > 0) {
    // "host:port" is no prefix: a prefix starts with a scheme and "//",
    // or is one of the addresses that have no host.
    const QUrl url(pattern, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool hostless = scheme == u"about" || scheme == u"data";
    if (url.isValid() && scheme.size() > 1 && (pattern.mid(colon, 3) == u"://" || hostless)) return Kind::UrlPrefix;
    return std::nullopt;
  }
  if (pattern.startsWith(QLatin1String("*."))) {
    if (normalHost(pattern.mid(2)).isEmpty()) return std::nullopt;
    return Kind::HostPattern;
  }
  if (normalHost(pattern).isEmpty()) return std::nullopt;
  return Kind::Host;
}

QString format(const EngineRule& rule) {
  return (rule.engine == Engine::IE ? QStringLiteral("IE,") : QStringLiteral("Gecko,")) + rule.pattern;
}

std::optional<EngineRule> parse(const QString& value) {
  const qsizetype comma = value.indexOf(u',');
  if (comma < 0) return std::nullopt;
  const QString engine = value.left(comma).trimmed();
  EngineRule rule;
  if (engine.compare(QLatin1String("IE"), Qt::CaseInsensitive) == 0)
    rule.engine = Engine::IE;
  else if (engine.compare(QLatin1String("Gecko"), Qt::CaseInsensitive) == 0)
    rule.engine = Engine::Gecko;
  else
    return std::nullopt;
  rule.pattern = value.mid(comma + 1).trimmed();
  if (!kindOf(rule.pattern)) return std::nullopt;
  return rule;
}

bool matches(const EngineRule& rule, const QUrl& url) {
  const auto kind = kindOf(rule.pattern);
  if (!kind || !url.isValid()) return false;
  switch (*kind) {
    case Kind::Host:
      return !hostOf(url).isEmpty() && hostOf(url) == normalHost(rule.pattern);
    case Kind::HostPattern: {
      const QString host = hostOf(url), base = normalHost(rule.pattern.mid(2));
      return !host.isEmpty() && (host == base || host.endsWith(u'.' + base));
    }
    case Kind::UrlPrefix: {
      const QUrl prefix(rule.pattern, QUrl::StrictMode);
      if (onlyOrigin(prefix)) {
        const auto origin = QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo;
        return url.adjusted(origin) == prefix.adjusted(origin);
      }
      return url.toString(QUrl::FullyEncoded).startsWith(prefix.toString(QUrl::FullyEncoded));
    }
  }
  return false;
}

std::optional<Engine> engineFor(const QList<EngineRule>& rules, const QString& address) {
  if (rules.isEmpty() || address.trimmed().isEmpty()) return std::nullopt;
  const QUrl url = addressToUrl(address);
  for (const EngineRule& rule : rules)
    if (matches(rule, url)) return rule.engine;
  return std::nullopt;
}

QList<EngineRule> read(const IniFile& ini) {
  QList<EngineRule> rules;
  const int count = std::min(ini.ReadInteger(kSection, QStringLiteral("Count"), 0), kMaxRules);
  for (int i = 1; i <= count; ++i)
    if (auto rule = parse(ini.ReadString(kSection, QStringLiteral("Rule%1").arg(i), QString()))) rules << *rule;
  return rules;
}

void write(IniFile& ini, const QList<EngineRule>& rules) {
  const int before = std::min(ini.ReadInteger(kSection, QStringLiteral("Count"), 0), kMaxRules);
  const int n = static_cast<int>(rules.size());
  for (int i = 0; i < n; ++i) ini.WriteString(kSection, QStringLiteral("Rule%1").arg(i + 1), format(rules[i]));
  for (int i = n + 1; i <= before; ++i) ini.WriteString(kSection, QStringLiteral("Rule%1").arg(i), QString());
  ini.WriteInteger(kSection, QStringLiteral("Count"), n);
}

}  // namespace engine_rules
