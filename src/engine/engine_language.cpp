#include "engine/engine_language.h"

#include <array>
#include <cstring>

namespace engine_language {

std::string chromiumFlags(const std::string& flags) {
  // A flag at the start or after a space; "--language=" is another flag.
  for (std::size_t at = flags.find("--lang="); at != std::string::npos; at = flags.find("--lang=", at + 1))
    if (at == 0 || flags[at - 1] == ' ') return flags;
  return flags.empty() ? "--lang=ja" : flags + " --lang=ja";
}

namespace {

std::string percentDecoded(const std::string& s) {
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
  };
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
      out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The part of an address that names where it points: the host for network
// addresses, the path for local files.
std::string placeOf(const std::string& uri) {
  const std::size_t scheme = uri.find("://");
  if (scheme == std::string::npos) return uri;
  if (uri.compare(0, scheme, "file") == 0) return percentDecoded(uri.substr(scheme + 3));
  std::string rest = uri.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of("/?#"));
  if (const std::size_t at = rest.rfind('@'); at != std::string::npos) rest = rest.substr(at + 1);
  if (!rest.empty() && rest[0] == '[') return rest.substr(0, rest.find(']') + 1);
  return rest.substr(0, rest.find(':'));
}

bool isCLocale(const char* value) {
  return !value || !*value || std::strcmp(value, "C") == 0 || std::strcmp(value, "POSIX") == 0;
}

}  // namespace

std::vector<EnvChange> japaneseMessagesEnvironment(const std::function<const char*(const char*)>& env) {
  static constexpr std::array kOtherCategories = {"LC_CTYPE",     "LC_NUMERIC",     "LC_TIME",          "LC_COLLATE",
                                                  "LC_MONETARY",  "LC_PAPER",       "LC_NAME",          "LC_ADDRESS",
                                                  "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"};
  std::vector<EnvChange> changes;
  const char* messages = env("LC_MESSAGES");
  if (const char* all = env("LC_ALL"); all && *all) {
    for (const char* category : kOtherCategories) changes.emplace_back(category, all);
    changes.emplace_back("LC_ALL", std::nullopt);
    messages = all;
  } else if (!messages || !*messages) {
    messages = env("LANG");
  }
  changes.emplace_back("LC_MESSAGES", isCLocale(messages) ? "C.UTF-8" : messages);
  changes.emplace_back("LANGUAGE", "ja");
  return changes;
}

std::string htmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string loadFailedPage(const std::string& uri, LoadFailure why, const std::string& engineMessage) {
  const std::string place = "「" + placeOf(uri) + "」";
  std::string title = "ページを表示できません";
  std::string text;
  switch (why) {
    case LoadFailure::HostNotFound:
      title = "サーバーが見つかりません";
      text = place + " のサーバーが見つかりませんでした。アドレスの綴りと、ネットワークへの接続を確かめてください。";
      break;
    case LoadFailure::ConnectionRefused:
      text = place + " に接続できませんでした。接続が拒否されました。";
      break;
    case LoadFailure::TimedOut:
      text = place + " から時間内に応答がありませんでした。しばらくしてから再読み込みしてください。";
      break;
    case LoadFailure::Unreachable:
      text = place + " に接続できませんでした。ネットワークへの接続を確かめてください。";
      break;
    case LoadFailure::FileNotFound:
      title = "ファイルが見つかりません";
      text = place + " というファイルはありません。";
      break;
    case LoadFailure::RestrictedPort:
      text = "このアドレスのポートは、安全のため使えません。";
      break;
    case LoadFailure::UnknownScheme:
      text = "この種類のアドレスは開けません。";
      break;
    case LoadFailure::Other:
      text = "ページを読み込めませんでした。";
      break;
  }
  std::string page = "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"utf-8\"><title>" + htmlEscape(title) +
                     "</title><style>body{font-family:sans-serif;margin:2em;color:#222}code{word-break:break-all}"
                     ".detail{color:#666;font-size:smaller}</style></head><body><h1>" +
                     htmlEscape(title) + "</h1><p>" + htmlEscape(text) + "</p><p><code>" + htmlEscape(uri) +
                     "</code></p>";
  if (!engineMessage.empty()) page += "<p class=\"detail\">" + htmlEscape(engineMessage) + "</p>";
  page += "<p><button onclick=\"location.reload()\">再読み込み</button></p></body></html>";
  return page;
}

}  // namespace engine_language
