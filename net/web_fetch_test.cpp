#include "net/web_fetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "net/request.h"
#include "platform/inet/inet_testing.h"
#include "platform/inet/testing/http_server.h"

namespace velk {
namespace {

using std::chrono::milliseconds;
using testing::ReplyStep;
using testing::Respond;
using testing::TestCertificates;
using testing::TestHttpServer;

const std::string kDefaultLines =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
    "application/x-www-form-urlencoded\r\n";

class WebFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::InetLimits limits;
    limits.connectTimeout = milliseconds(3000);
    limits.idleTimeout = milliseconds(1000);
    limits.maxBodyBytes = 2 * 1024 * 1024;
    platform::SetInetLimitsForTesting(limits);
    platform::ClearInetCookiesForTesting();
    ASSERT_TRUE(server_.ok());
  }
  void TearDown() override {
    platform::SetInetLimitsForTesting(platform::DefaultInetLimits());
    platform::SetInetCaFileForTesting("");
    platform::ClearInetCookiesForTesting();
  }

  Text Url(const std::string& path) { return Text(server_.HostPort() + path); }
  std::string LastRequest() {
    auto requests = server_.Requests();
    return requests.empty() ? "" : requests.back();
  }
  // The request head up to and including the User-Agent line.
  std::string Start(const std::string& verb, const std::string& target,
                    const std::string& agent = kDefaultAgent) {
    return verb + " " + target + " HTTP/1.1\r\nHost: " + server_.HostPort() +
           "\r\nUser-Agent: " + agent + "\r\n";
  }

  TestHttpServer server_;
};

TEST_F(WebFetchTest, SearchCallWithOnlyTheUrl) {
  server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nContent-Type: text/html",
                          "<html>\xD6\xD0</html>"));  // 中
  FetchRequest request;
  request.url = Url("/search/ABC-123/");
  FetchResult result;
  Bytes body = WebFetch(request, result);

  EXPECT_EQ(body, Bytes(std::string_view("<html>\xD6\xD0</html>")));
  const std::string referer =
      "Referer: " + server_.HostPort() + "/search/ABC-123/\r\n";
  EXPECT_EQ(LastRequest(), Start("GET", "/search/ABC-123/") + referer +
                               kDefaultLines + "\r\n");
  EXPECT_EQ(request.headers,
            Text(referer + kDefaultLines.substr(0, kDefaultLines.size() - 2)));
  const Text block =
      "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
      "15\r\n\r\n";
  EXPECT_EQ(result.rawHeaders, block);
  EXPECT_EQ(result.location, block);  // No Location line.
  EXPECT_EQ(result.returnedCookies, Text());
  EXPECT_TRUE(request.cookies.empty());
  EXPECT_TRUE(request.postBytes.empty());
  EXPECT_TRUE(request.proxy.empty());
}

TEST_F(WebFetchTest, KeywordWithSpacesCrLfAnd936BytesIsOneCleanRequest) {
  FetchRequest request;
  // "A B", CR LF, a would-be header and 中.
  request.url = Url("/search/A B\r\nX-Evil: 1\xD6\xD0/");
  FetchResult result;
  WebFetch(request, result);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(LastRequest(),
            Start("GET", "/search/A%20B%0D%0AX-Evil:%201%D6%D0/") +
                "Referer: " + server_.HostPort() +
                "/search/A B%0D%0AX-Evil: 1\xD6\xD0/\r\n" + kDefaultLines +
                "\r\n");
}

TEST_F(WebFetchTest, CallerLinesAndThePresenceRules) {
  struct Case {
    const char* name;
    std::string headers;
    std::string sent;  // The request from the User-Agent line on.
  };
  const std::string referer = "Referer: " + server_.HostPort() + "/p\r\n";
  const Case kCases[] = {
      {"lower-case referer: another Referer is added", "referer: r",
       "User-Agent: " + std::string(kDefaultAgent) + "\r\nreferer: r\r\n" +
           referer + kDefaultLines},
      {"X-Referer: no Referer added", "X-Referer: r",
       "User-Agent: " + std::string(kDefaultAgent) + "\r\nX-Referer: r\r\n" +
           kDefaultLines},
      {"own agent line with CR LF after it", "User-Agent: Mine/1\r\nX: 1",
       "User-Agent: Mine/1\r\nX: 1\r\n" + referer + kDefaultLines},
      {"own agent as the only line", "user-agent: Mine/2",
       "user-agent: Mine/2\r\n" + referer + kDefaultLines},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FetchRequest request;
    request.url = Url("/p");
    request.headers = Text(c.headers);
    FetchResult result;
    WebFetch(request, result);
    std::string wire = LastRequest();
    EXPECT_EQ(wire.substr(0, 16), "GET /p HTTP/1.1\r");
    EXPECT_EQ(wire.substr(wire.find("\r\n", 17) + 2), c.sent + "\r\n");
  }
}

TEST_F(WebFetchTest, BodiesForEachMethod) {
  struct Case {
    const char* name;
    int method;
    Bytes postBytes;
    Text postText;
    std::string verb;
    std::string body;  // On the wire, with its length line.
    Bytes postBytesAfter;
  };
  const Bytes binary(std::string_view("b\0y\xFFtes", 7));
  const Case kCases[] = {
      {"POST sends postBytes over postText", 1, binary, "text", "POST",
       "Content-Length: 7\r\n\r\n" + binary.str(), binary},
      {"POST from postText fills postBytes", 1, Bytes(), "k=v&w=\xD6\xD0",
       "POST", "Content-Length: 8\r\n\r\nk=v&w=\xD6\xD0",
       Bytes(std::string_view("k=v&w=\xD6\xD0"))},
      {"POST with neither sends an empty body", 1, Bytes(), "", "POST",
       "Content-Length: 0\r\n\r\n", Bytes()},
      {"method 2 is GET with a body", 2, Bytes(), "q=1", "GET",
       "Content-Length: 3\r\n\r\nq=1", Bytes(std::string_view("q=1"))},
      {"method 0 sends no body", 0, Bytes(), "ignored", "GET", "\r\n", Bytes()},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FetchRequest request;
    request.url = Url("/form");
    request.method = c.method;
    request.postBytes = c.postBytes;
    request.postText = c.postText;
    FetchResult result;
    WebFetch(request, result);
    EXPECT_EQ(LastRequest(), Start(c.verb, "/form") +
                                 "Referer: " + server_.HostPort() +
                                 "/form\r\n" + kDefaultLines + c.body);
    EXPECT_EQ(request.postBytes, c.postBytesAfter);
  }
}

TEST_F(WebFetchTest, ServiceCookieStoreAcrossCallsAndCookiesGiven) {
  server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nSet-Cookie: sid=s1; path=/"));
  FetchRequest first;
  first.url = Url("/login");
  FetchResult result;
  WebFetch(first, result);
  EXPECT_EQ(result.returnedCookies, Text("sid=s1; "));

  // The store's cookie goes out after the caller's lines, beside a list
  // the caller passed without cookiesGiven.
  FetchRequest second;
  second.url = Url("/page");
  second.cookies = "mine=1";
  WebFetch(second, result);
  EXPECT_EQ(LastRequest(), Start("GET", "/page") +
                               "Referer: " + server_.HostPort() + "/page\r\n" +
                               kDefaultLines +
                               "Cookie: mine=1\r\nCookie: sid=s1\r\n\r\n");
  EXPECT_EQ(second.cookies, Text("mine=1"));

  // cookiesGiven: only the caller's list, and the response's cookies are
  // merged into it instead of the store.
  server_.Enqueue(
      Respond("HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nSet-Cookie: c=4; "
              "HttpOnly\r\nSet-Cookie: sid=other;"));
  FetchRequest given;
  given.url = Url("/page");
  given.cookies = "a=1; b=2";
  given.cookiesGiven = true;
  WebFetch(given, result);
  EXPECT_EQ(LastRequest(), Start("GET", "/page") +
                               "Referer: " + server_.HostPort() + "/page\r\n" +
                               kDefaultLines + "Cookie: a=1; b=2\r\n\r\n");
  EXPECT_EQ(given.cookies, Text("b=3; c=4; sid=other; a=1"));
  EXPECT_EQ(result.returnedCookies, Text("b=3;c=4;sid=other;"));

  FetchRequest later;
  later.url = Url("/page");
  WebFetch(later, result);
  EXPECT_NE(LastRequest().find("\r\nCookie: sid=s1\r\n"), std::string::npos);
}

TEST_F(WebFetchTest, ProxyReceivesTheAbsoluteUrl) {
  TestHttpServer proxy;
  ASSERT_TRUE(proxy.ok());
  proxy.Enqueue(Respond("HTTP/1.1 200 OK", "proxied"));
  FetchRequest request;
  request.url = "http://Srv.Example:8080/search/ABC/";
  request.proxy = Text(proxy.HostPort());
  request.proxyGiven = true;
  FetchResult result;
  EXPECT_EQ(WebFetch(request, result), Bytes(std::string_view("proxied")));
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0],
            "GET http://srv.example:8080/search/ABC/ HTTP/1.1\r\nHost: "
            "srv.example:8080\r\nUser-Agent: " +
                std::string(kDefaultAgent) +
                "\r\nReferer: http://Srv.Example:8080/search/ABC/\r\n" +
                kDefaultLines + "\r\n");

  // proxyGiven with an empty proxy ("http=") goes direct.
  FetchRequest direct;
  direct.url = Url("/d");
  direct.proxyGiven = true;
  WebFetch(direct, result);
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests().size(), 1u);
}

TEST_F(WebFetchTest, ServiceRedirectsAndNoRedirect) {
  server_.SetHandler([](const std::string& request) {
    if (request.starts_with("GET /old ")) {
      return Respond("HTTP/1.1 302 Found\r\nLocation: /new", "moved");
    }
    return Respond("HTTP/1.1 200 OK", "new page");
  });
  FetchRequest request;
  request.url = Url("/old");
  FetchResult result;
  EXPECT_EQ(WebFetch(request, result), Bytes(std::string_view("new page")));
  EXPECT_EQ(server_.Requests().size(), 2u);
  EXPECT_EQ(result.rawHeaders,
            Text("HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\n"));

  FetchRequest held;
  held.url = Url("/old");
  held.noRedirect = true;
  EXPECT_EQ(WebFetch(held, result), Bytes(std::string_view("moved")));
  EXPECT_EQ(server_.Requests().size(), 3u);
  EXPECT_EQ(result.location, Text("/new"));
}

TEST_F(WebFetchTest, MovedIsFollowedWithLocationPlusPath) {
  const std::string origin = "http://" + server_.HostPort();
  server_.Enqueue(Respond("HTTP/1.1 301 Moved Permanently\r\nLocation: " +
                              origin + "\r\nSet-Cookie: b=3; path=/",
                          "old body"));
  server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nSet-Cookie: c=4;", "final"));
  FetchRequest request;
  request.url = Url("/x/y?q=1");
  request.noRedirect = true;
  request.method = 1;
  request.postText = "k=v";
  request.cookies = "a=1; b=2";
  request.cookiesGiven = true;
  FetchResult result;
  EXPECT_EQ(WebFetch(request, result), Bytes(std::string_view("final")));

  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  // The follow-up repeats the POST, still names the first address as its
  // referrer and carries one Cookie line: the merged list.
  EXPECT_EQ(requests[1], Start("POST", "/x/y?q=1") +
                             "Referer: " + server_.HostPort() + "/x/y?q=1\r\n" +
                             kDefaultLines +
                             "Cookie: b=3; a=1\r\nContent-Length: "
                             "3\r\n\r\nk=v");
  EXPECT_EQ(request.url, Url("/x/y?q=1"));
  EXPECT_EQ(request.cookies, Text("c=4; b=3; a=1"));
  EXPECT_EQ(request.headers,
            Text("Referer: " + server_.HostPort() + "/x/y?q=1\r\n" +
                 kDefaultLines + "Cookie: b=3; a=1"));
  EXPECT_EQ(result.rawHeaders,
            Text("HTTP/1.1 200 OK\r\nSet-Cookie: c=4;\r\nContent-Length: "
                 "5\r\n\r\n"));
  EXPECT_EQ(result.returnedCookies, Text("c=4;"));
}

TEST_F(WebFetchTest, FollowUpThatCannotOpenKeepsTheMovedResponse) {
  // "http:///" names no server, so the follow-up stops before a request.
  const std::string head =
      "HTTP/1.1 301 Moved Permanently\r\nLocation: http:///\r\nSet-Cookie: "
      "m=1;";
  server_.Enqueue(Respond(head, "moved body"));
  FetchRequest request;
  request.url = Url("/p");
  request.noRedirect = true;
  FetchResult result;
  EXPECT_EQ(WebFetch(request, result), Bytes());
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(result.rawHeaders, Text(head + "\r\nContent-Length: 10\r\n\r\n"));
  EXPECT_EQ(result.returnedCookies, Text("m=1; "));
  EXPECT_EQ(result.location, Text());
}

TEST_F(WebFetchTest, MovedLoopEndsAfterTheBound) {
  const std::string origin = "http://" + server_.HostPort();
  server_.SetHandler([origin](const std::string&) {
    return Respond("HTTP/1.1 301 Moved Permanently\r\nLocation: " + origin +
                       "\r\nContent-Type: text/html; charset=utf-8",
                   "\xE4\xB8\xAD");  // 中 in UTF-8
  });
  FetchRequest request;
  request.url = Url("/loop");
  request.noRedirect = true;
  FetchResult result;
  // The eleventh 301 is read as an ordinary page: its body, converted.
  EXPECT_EQ(WebFetch(request, result), Bytes(std::string_view("\xD6\xD0")));
  EXPECT_EQ(server_.Requests().size(), 11u);
  EXPECT_EQ(result.location, Text(origin));

  // With the service following redirects too, each of the 11 calls makes
  // the service's own 11 requests; the chain still ends.
  FetchRequest automatic;
  automatic.url = Url("/loop");
  EXPECT_EQ(WebFetch(automatic, result), Bytes(std::string_view("\xD6\xD0")));
  EXPECT_EQ(server_.Requests().size(), 11u + 121u);
}

TEST_F(WebFetchTest, HeaderBlockMustFitTheBuffer) {
  struct Case {
    const char* name;
    size_t blockSize;
    bool fits;
  };
  const Case kCases[] = {
      {"4999 bytes fit with the terminator", 4999, true},
      {"5000 bytes do not", 5000, false},
      {"far over", 9000, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-Pad: ";
    const std::string block =
        head + std::string(c.blockSize - head.size() - 4, 'p') + "\r\n\r\n";
    server_.Enqueue({ReplyStep::Send(block + "body")});
    FetchRequest request;
    request.url = Url("/");
    FetchResult result;
    EXPECT_EQ(WebFetch(request, result), Bytes(std::string_view("body")));
    EXPECT_EQ(result.rawHeaders, c.fits ? Text(block) : BlankText(5000));
    EXPECT_EQ(result.location, c.fits ? Text(block) : BlankText(5000));
  }
}

TEST_F(WebFetchTest, Utf8PagesAreConvertedAnd936PagesKept) {
  server_.Enqueue(
      Respond("HTTP/1.1 200 OK\r\nContent-Type: text/html; "
              "charset=utf-8",
              "<b>\xE4\xB8\xAD\xE6\x96\x87</b>"));  // 中文
  FetchRequest request;
  request.url = Url("/u");
  FetchResult result;
  EXPECT_EQ(WebFetch(request, result),
            Bytes(std::string_view("<b>\xD6\xD0\xCE\xC4</b>")));
  server_.Enqueue(
      Respond("HTTP/1.1 200 OK\r\nContent-Type: text/html; "
              "charset=gbk",
              "<b>\xD6\xD0\xCE\xC4</b>"));
  EXPECT_EQ(WebFetch(request, result),
            Bytes(std::string_view("<b>\xD6\xD0\xCE\xC4</b>")));
}

TEST_F(WebFetchTest, FailuresGiveWhatWasRead) {
  struct Case {
    const char* name;
    testing::Reply reply;
    std::string body;
    bool blankHeaders;
  };
  const Case kCases[] = {
      {"accepts and never answers",
       {ReplyStep::Hold(milliseconds(8000))},
       "",
       true},
      {"reset mid-body",
       {ReplyStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart"),
        ReplyStep::Pause(milliseconds(50)), ReplyStep::Reset()},
       "part",
       false},
      {"body over the cap",
       {ReplyStep::Send(testing::HttpResponse(
           "HTTP/1.1 200 OK", std::string(3 * 1024 * 1024, 'x')))},
       "",
       false},
      {"no body at all", Respond("HTTP/1.1 204 No Content"), "", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(c.reply);
    FetchRequest request;
    request.url = Url("/");
    FetchResult result;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WebFetch(request, result), Bytes(c.body));
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(4000));
    EXPECT_EQ(result.rawHeaders == BlankText(5000), c.blankHeaders);
  }
}

TEST_F(WebFetchTest, NoRequestHandleLeavesEverythingAsPassed) {
  FetchRequest request;  // Empty address: no server to connect to.
  request.headers = "X: 1";
  request.postText = "p";
  request.method = 1;
  request.cookies = "a=1";
  request.cookiesGiven = true;
  FetchResult result;
  result.rawHeaders = "raw";
  result.returnedCookies = "rc";
  result.location = "loc";
  EXPECT_EQ(WebFetch(request, result), Bytes());
  EXPECT_EQ(request.headers, Text("X: 1"));
  EXPECT_TRUE(request.postBytes.empty());
  EXPECT_EQ(request.cookies, Text("a=1"));
  EXPECT_EQ(result.rawHeaders, Text("raw"));
  EXPECT_EQ(result.returnedCookies, Text("rc"));
  EXPECT_EQ(result.location, Text("loc"));
}

class WebFetchTlsTest : public WebFetchTest {
 protected:
  static void SetUpTestSuite() { certificates_ = new TestCertificates(); }
  static void TearDownTestSuite() {
    delete certificates_;
    certificates_ = nullptr;
  }
  static TestCertificates* certificates_;
};
TestCertificates* WebFetchTlsTest::certificates_ = nullptr;

TEST_F(WebFetchTlsTest, HttpsWithTheTestCaAndASelfSignedServer) {
  ASSERT_TRUE(certificates_->ok());
  platform::SetInetCaFileForTesting(certificates_->caFile());
  TestHttpServer tls(certificates_->signedServer());
  ASSERT_TRUE(tls.ok());
  tls.Enqueue(Respond("HTTP/1.1 200 OK", "over tls"));
  FetchRequest request;
  request.url = Text("https://" + tls.HostPort() + "/s");
  FetchResult result;
  EXPECT_EQ(WebFetch(request, result), Bytes(std::string_view("over tls")));
  ASSERT_EQ(tls.Requests().size(), 1u);
  EXPECT_TRUE(tls.Requests()[0].starts_with("GET /s HTTP/1.1\r\n"));

  TestHttpServer selfSigned(certificates_->selfSignedServer());
  ASSERT_TRUE(selfSigned.ok());
  request = FetchRequest();
  request.url = Text("https://" + selfSigned.HostPort() + "/s");
  EXPECT_EQ(WebFetch(request, result), Bytes());
  EXPECT_EQ(result.rawHeaders, BlankText(5000));
  EXPECT_TRUE(selfSigned.Requests().empty());
}

}  // namespace
}  // namespace velk
