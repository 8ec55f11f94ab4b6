#include "platform/inet/cookie_store.h"

#include <gtest/gtest.h>

namespace velk::platform::inet {
namespace {

constexpr int64_t kNow = 1700000000;

TEST(CookieStoreTest, MatchesHostDomainPathAndScheme) {
  CookieStore store;
  store.Store("host=1", "www.srv.example", "/a/b", kNow);
  store.Store("dom=2; Domain=.SRV.example; Path=/", "www.srv.example", "/",
              kNow);
  store.Store("deep=3; Path=/a/b", "www.srv.example", "/", kNow);
  store.Store("safe=4; Secure; Path=/", "www.srv.example", "/", kNow);

  struct Case {
    const char* name;
    const char* host;
    const char* path;
    bool secure;
    const char* header;
  };
  const Case kCases[] = {
      {"same host, default path /a", "www.srv.example", "/a/x", false,
       "host=1; dom=2"},
      {"longer path first", "www.srv.example", "/a/b/c", false,
       "deep=3; host=1; dom=2"},
      {"path prefix must end at a slash", "www.srv.example", "/a/bc", false,
       "host=1; dom=2"},
      {"sub-domain gets the domain cookie only", "x.srv.example", "/a/b", false,
       "dom=2"},
      {"parent domain itself", "srv.example", "/", false, "dom=2"},
      {"another site gets nothing", "evilsrv.example", "/a/b", false, ""},
      {"secure only over TLS", "www.srv.example", "/", true, "dom=2; safe=4"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(store.CookieHeader(c.host, c.path, c.secure, kNow), c.header);
  }
}

TEST(CookieStoreTest, RefusesForeignDomainsAndNamelessCookies) {
  CookieStore store;
  store.Store("a=1; Domain=other.example", "www.srv.example", "/", kNow);
  store.Store("b=2; Domain=example", "www.srv.example", "/", kNow);
  store.Store("c=3; Domain=0.0.1", "127.0.0.1", "/", kNow);
  store.Store("=4", "www.srv.example", "/", kNow);
  store.Store("novalue", "www.srv.example", "/", kNow);
  EXPECT_EQ(store.CookieHeader("www.srv.example", "/", false, kNow), "");
  EXPECT_EQ(store.CookieHeader("other.example", "/", false, kNow), "");
  EXPECT_EQ(store.CookieHeader("127.0.0.1", "/", false, kNow), "");
}

TEST(CookieStoreTest, ReplacesInPlaceAndExpires) {
  CookieStore store;
  store.Store("a=1", "h.example", "/", kNow);
  store.Store("b=1", "h.example", "/", kNow);
  store.Store("a=2", "h.example", "/", kNow);  // Keeps its first place.
  store.Store("t=1; Max-Age=10", "h.example", "/", kNow);
  store.Store("e=1; Expires=Wed, 21 Oct 2015 07:28:00 GMT", "h.example", "/",
              kNow);
  store.Store("f=1; Expires=Wed, 21 Oct 2099 07:28:00 GMT", "h.example", "/",
              kNow);
  EXPECT_EQ(store.CookieHeader("h.example", "/", false, kNow),
            "a=2; b=1; t=1; f=1");
  EXPECT_EQ(store.CookieHeader("h.example", "/", false, kNow + 11),
            "a=2; b=1; f=1");
  store.Store("b=gone; Max-Age=0", "h.example", "/", kNow);
  EXPECT_EQ(store.CookieHeader("h.example", "/", false, kNow), "a=2; f=1");
  store.Clear();
  EXPECT_EQ(store.CookieHeader("h.example", "/", false, kNow), "");
}

}  // namespace
}  // namespace velk::platform::inet
