#pragma once

// What makes both engines speak Japanese whatever the system's locale:
// Chromium's UI language flag, the environment under which WebKit's
// processes find their Japanese messages, and the WebKit host's own page
// for a load that failed (WebKit's is its network library's English
// message). Plain C++, so that the GTK host shares it.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine_language {

// Chromium's flags with its UI language (error pages, built-in texts) set
// to Japanese, unless they name a language already.
std::string chromiumFlags(const std::string& flags);

// A variable to set (a value) or to remove (none).
using EnvChange = std::pair<std::string, std::optional<std::string>>;

// The changes that make gettext answer in Japanese in processes started
// with `env` (a lookup giving null for an unset variable), their other
// locale categories left as they were. gettext ignores LANGUAGE under the
// "C" locale, which bare systems run with and which has no Japanese locale
// to switch to; the built-in C.UTF-8 does honour it. LC_ALL would override
// the messages category, so its value moves to the other categories.
std::vector<EnvChange> japaneseMessagesEnvironment(const std::function<const char*(const char*)>& env);

// Why a page could not be loaded, as far as the page shown for it goes.
enum class LoadFailure {
  HostNotFound,
  ConnectionRefused,
  TimedOut,
  Unreachable,
  FileNotFound,
  RestrictedPort,
  UnknownScheme,
  Other,
};

// The page shown in place of one that could not be loaded: what went
// wrong in Japanese, the address, and the engine's own message as detail.
std::string loadFailedPage(const std::string& uri, LoadFailure why, const std::string& engineMessage);

// Text escaped for HTML content and attribute values.
std::string htmlEscape(const std::string& text);

}  // namespace engine_language
