#pragma once

// What makes both engines speak Japanese whatever the system's locale:
// Chromium's UI language flag, and the WebKit host's own page for a load
// that failed (WebKit's is its network library's English message). Plain
// C++, so that the GTK host shares it.

#include <string>

namespace engine_language {

// Chromium's flags with its UI language (error pages, built-in texts) set
// to Japanese, unless they name a language already.
std::string chromiumFlags(const std::string& flags);

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
