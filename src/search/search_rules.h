#pragma once

// What the address box does with what the user typed: load it as an address
// or search for it with the chosen search engine.

#include <QList>
#include <QString>
#include <optional>

namespace search {

// The words to search for when the text is no address: words with spaces,
// Japanese text, a single word without a dot, or anything after a leading
// "?" (full-width "？" too). Nothing for an address: a scheme, a local path,
// localhost, an IP address, or a host name with a dot and no spaces.
std::optional<QString> searchTerms(const QString& typed);

struct Engine {
  QString id;       // as config.ini keeps it
  QString caption;  // as the menu shows it
  QString address;  // "%s" stands for the encoded words
};

// The engines offered, the default first.
const QList<Engine>& engines();
// The engine with this id; the default for an unknown one.
const Engine& engineById(const QString& id);

// The address that searches for the words with the engine's address
// pattern (UTF-8, percent-encoded).
QString searchAddress(const QString& pattern, const QString& terms);

// Where the choice lives in config.ini.
inline const char* const kSection = "Search";
inline const char* const kEngineKey = "Engine";

}  // namespace search
