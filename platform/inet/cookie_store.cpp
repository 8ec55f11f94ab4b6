#include "platform/inet/cookie_store.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

#include "platform/inet/header_text.h"

namespace velk::platform::inet {
namespace {

bool IsIpAddress(const std::string& host) {
  return !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.' || c == ':';
  });
}

// `host` equals `domain` or ends with "." + `domain` (and is a name, not an
// address).
bool DomainMatches(const std::string& host, const std::string& domain) {
  if (host == domain) return true;
  if (IsIpAddress(host) || host.size() <= domain.size()) return false;
  return host.compare(host.size() - domain.size(), domain.size(), domain) ==
             0 &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(const std::string& requestPath,
                 const std::string& cookiePath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0) {
    return false;
  }
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

// The directory of the request path: up to, not including, its last "/".
std::string DefaultPath(const std::string& requestPath) {
  if (requestPath.empty() || requestPath[0] != '/') return "/";
  size_t slash = requestPath.rfind('/');
  if (slash == 0) return "/";
  return requestPath.substr(0, slash);
}

}  // namespace

void CookieStore::Store(std::string_view setCookieValue,
                        const std::string& host, const std::string& requestPath,
                        int64_t now) {
  std::string_view rest = setCookieValue;
  size_t semicolon = rest.find(';');
  std::string_view pair = rest.substr(0, semicolon);
  rest = semicolon == std::string_view::npos ? std::string_view()
                                             : rest.substr(semicolon + 1);
  size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return;
  Cookie cookie;
  cookie.name = std::string(Trim(pair.substr(0, equals)));
  cookie.value = std::string(Trim(pair.substr(equals + 1)));
  if (cookie.name.empty()) return;
  cookie.domain = host;
  cookie.path = DefaultPath(requestPath);

  bool haveMaxAge = false;
  while (!rest.empty()) {
    semicolon = rest.find(';');
    std::string_view attribute = rest.substr(0, semicolon);
    rest = semicolon == std::string_view::npos ? std::string_view()
                                               : rest.substr(semicolon + 1);
    equals = attribute.find('=');
    std::string key = Lower(Trim(attribute.substr(0, equals)));
    std::string_view value = equals == std::string_view::npos
                                 ? std::string_view()
                                 : Trim(attribute.substr(equals + 1));
    if (key == "max-age") {
      int64_t seconds = 0;
      auto [end, error] =
          std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (error != std::errc() || end != value.data() + value.size()) {
        continue;
      }
      haveMaxAge = true;
      cookie.expires = seconds <= 0 ? 0
                       : seconds > std::numeric_limits<int64_t>::max() - now
                           ? std::numeric_limits<int64_t>::max()
                           : now + seconds;
    } else if (key == "expires" && !haveMaxAge) {
      time_t when = curl_getdate(std::string(value).c_str(), nullptr);
      if (when != -1) cookie.expires = std::max<int64_t>(when, 0);
    } else if (key == "domain" && !value.empty()) {
      std::string domain = Lower(value);
      if (domain[0] == '.') domain.erase(0, 1);
      // A domain cookie must cover the sending server, and a bare top-level
      // name is refused so one site cannot set cookies for all of them.
      if (domain.empty() || !DomainMatches(host, domain) ||
          (domain != host && domain.find('.') == std::string::npos)) {
        return;
      }
      cookie.domain = domain;
      // An address only ever matches itself.
      cookie.hostOnly = IsIpAddress(host);
    } else if (key == "path") {
      cookie.path = (!value.empty() && value[0] == '/')
                        ? std::string(value)
                        : DefaultPath(requestPath);
    } else if (key == "secure") {
      cookie.secure = true;
    }
  }

  std::lock_guard<std::mutex> lock(mutex_);
  auto same =
      std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
        return c.name == cookie.name && c.domain == cookie.domain &&
               c.path == cookie.path;
      });
  bool expired = cookie.expires != -1 && cookie.expires <= now;
  if (same != cookies_.end()) {
    if (expired) {
      cookies_.erase(same);
      return;
    }
    cookie.created = same->created;
    *same = std::move(cookie);
    return;
  }
  if (expired) return;
  cookie.created = nextCreated_++;
  cookies_.push_back(std::move(cookie));
}

std::string CookieStore::CookieHeader(const std::string& host,
                                      const std::string& path, bool secure,
                                      int64_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(cookies_, [now](const Cookie& c) {
    return c.expires != -1 && c.expires <= now;
  });
  std::vector<const Cookie*> chosen;
  for (const Cookie& c : cookies_) {
    bool hostFits =
        c.hostOnly ? host == c.domain : DomainMatches(host, c.domain);
    if (hostFits && PathMatches(path, c.path) && (secure || !c.secure)) {
      chosen.push_back(&c);
    }
  }
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const Cookie* a, const Cookie* b) {
                     if (a->path.size() != b->path.size()) {
                       return a->path.size() > b->path.size();
                     }
                     return a->created < b->created;
                   });
  std::string line;
  for (const Cookie* c : chosen) {
    if (!line.empty()) line += "; ";
    line += c->name;
    line += '=';
    line += c->value;
  }
  return line;
}

void CookieStore::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  cookies_.clear();
}

CookieStore& ProcessCookieStore() {
  static CookieStore* store = new CookieStore();
  return *store;
}

}  // namespace velk::platform::inet
