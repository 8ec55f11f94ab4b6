// The process-wide cookie store of the internet client service: what
// servers set with Set-Cookie, kept in memory for the life of the process
// and sent back on later requests to the same server.
#ifndef VELK_PLATFORM_INET_COOKIE_STORE_H_
#define VELK_PLATFORM_INET_COOKIE_STORE_H_

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velk::platform::inet {

class CookieStore {
 public:
  // Takes the cookie of one Set-Cookie header value received from `host`
  // (lower case) for the request path `requestPath` (without its query).
  // `now` is seconds since the epoch. A cookie without a name, or with a
  // Domain attribute that `host` does not lie in, is ignored; an expired one
  // removes the stored cookie of the same name, domain and path.
  void Store(std::string_view setCookieValue, const std::string& host,
             const std::string& requestPath, int64_t now);

  // The value for a Cookie line of a request to `host` and `path`:
  // "name=value" items joined by "; ", longest path first, then oldest
  // first. Empty when no cookie applies.
  std::string CookieHeader(const std::string& host, const std::string& path,
                           bool secure, int64_t now);

  void Clear();

 private:
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path;
    bool hostOnly = true;
    bool secure = false;
    int64_t expires = -1;  // -1: until the process ends.
    uint64_t created = 0;
  };

  std::mutex mutex_;
  std::vector<Cookie> cookies_;
  uint64_t nextCreated_ = 0;
};

// The one store of the process.
CookieStore& ProcessCookieStore();

}  // namespace velk::platform::inet

#endif  // VELK_PLATFORM_INET_COOKIE_STORE_H_
