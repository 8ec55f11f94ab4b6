#include "net/url.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

struct UrlCase {
  const char* name;
  const char* url;
  const char* host;
  const char* hostWithPort;
  int port;
  const char* path;
};

TEST(Url, HostPortPath) {
  const UrlCase kCases[] = {
      {"no scheme keeps path case", "Srv.Example/search/ABC/", "srv.example",
       "srv.example", 80, "/search/ABC/"},
      {"https with port and query", "HTTPS://A.Srv.Example:8443/a?b=1",
       "a.srv.example", "a.srv.example:8443", 8443, "/a?b=1"},
      {"https without a slash", "https://srv.example", "srv.example",
       "srv.example", 443, "/"},
      {"port without a path", "http://srv.example:8080", "srv.example",
       "srv.example:8080", 8080, "/"},
      {"inner http:// starts the host", "a.example/?r=http://b.example/",
       "b.example", "b.example", 80, "/"},
      {"https:// holds no http://", "a.example/?r=https://b.example/",
       "a.example", "a.example", 80, "/?r=https://b.example/"},
      {"port without digits", "http://srv.example:abc/", "srv.example",
       "srv.example:abc", 0, "/"},
      {"query without a slash", "srv.example?q=1", "srv.example?q=1",
       "srv.example?q=1", 80, "/"},
      {"empty", "", "", "", 80, "/"},
      {"search address", "127.0.0.1:8936/search/ABC-123/", "127.0.0.1",
       "127.0.0.1:8936", 8936, "/search/ABC-123/"},
      {"https port 80 stays 80", "https://srv.example:80/x", "srv.example",
       "srv.example:80", 80, "/x"},
      {"keyword with a space and Chinese", "srv.example/search/a b\xD6\xD0/",
       "srv.example", "srv.example", 80, "/search/a b\xD6\xD0/"},
      {"last colon gives the port", "http://hx:1:2/", "hx", "hx:1:2", 2, "/"},
  };
  for (const UrlCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(UrlHost(c.url), Text(c.host));
    EXPECT_EQ(UrlHost(c.url, false, true), Text(c.hostWithPort));
    EXPECT_EQ(UrlPort(c.url), c.port);
    EXPECT_EQ(UrlPath(c.url), Text(c.path));
  }
}

TEST(Url, ReduceToDomain) {
  EXPECT_EQ(UrlHost("http://a.b.srv.example/", true), Text("srv.example"));
  EXPECT_EQ(UrlHost("http://a.b.srv.example:8080/", true), Text("srv.example"));
  EXPECT_EQ(UrlHost("http://a.b.srv.example:8080/", true, true),
            Text("srv.example:8080"));
  EXPECT_EQ(UrlHost("http://localhost/", true), Text("localhost"));
  // The port is still attached while the labels are cut.
  EXPECT_EQ(UrlHost("http://a.b:8080/", true, true), Text("a.b:8080"));
}

}  // namespace
}  // namespace velk
