#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

class IniFile;

// Rules that choose the engine of a window opened for an address: a host
// name ("example.jp"), a host pattern ("*.example.jp": that host and every
// host under it) or an address prefix ("https://example.jp/app/"), each
// with an engine. The first rule that matches wins.
namespace engine_rules {

enum class Engine { IE, Gecko };
enum class Kind { Host, HostPattern, UrlPrefix };

struct EngineRule {
  QString pattern;
  Engine engine = Engine::IE;
  friend bool operator==(const EngineRule&, const EngineRule&) = default;
};

// The section of config.ini the rules live in: "Count", then "Rule1" ..
// "Rule<Count>", each "<engine>,<pattern>" with the engine "IE" or "Gecko"
// (the words "LastEngine" uses).
inline const QString kSection = QStringLiteral("EngineRule");
// More are never read, whatever "Count" says.
inline constexpr int kMaxRules = 1000;

// What kind of rule the text makes, or nothing when it makes none (empty,
// white space inside, a "*" elsewhere than a leading "*.", a path without
// a scheme, ...).
std::optional<Kind> kindOf(const QString& pattern);

// The stored form of a rule, and back; malformed text gives nothing.
QString format(const EngineRule& rule);
std::optional<EngineRule> parse(const QString& value);

bool matches(const EngineRule& rule, const QUrl& url);
// The engine of the first rule matching `address` (as the address box
// would load it), or nothing.
std::optional<Engine> engineFor(const QList<EngineRule>& rules, const QString& address);

// Malformed entries are skipped.
QList<EngineRule> read(const IniFile& ini);
// Replaces the stored rules; keys of an earlier, longer list are emptied.
void write(IniFile& ini, const QList<EngineRule>& rules);

}  // namespace engine_rules
