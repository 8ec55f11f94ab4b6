#include "platform/inet/inet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/inet/inet_testing.h"
#include "platform/inet/testing/http_server.h"

namespace velk::platform {
namespace {

using std::chrono::milliseconds;
using testing::ReplyStep;
using testing::Respond;
using testing::TestCertificates;
using testing::TestHttpServer;

constexpr char kAgent[] = "TestAgent/1.0";

struct Outcome {
  bool opened = false;
  bool sent = false;
  std::string body;
  bool headersOk = false;
  std::string headers;
};

struct Call {
  std::string server = "127.0.0.1";
  int port = 0;
  const char* verb = "GET";
  std::string target = "/";
  unsigned flags = 0;
  std::string headers;
  std::string body;
  InetAccess access = InetAccess::kDirect;
  std::string proxyList;
  int readPiece = 1024;
};

// One whole exchange through the service, as the web fetch makes it.
Outcome Exchange(const Call& call) {
  Outcome out;
  InetHandle* session = OpenInetSession(
      kAgent, call.access,
      call.access == InetAccess::kProxy ? call.proxyList.c_str() : nullptr,
      nullptr, 0);
  InetHandle* connection = ConnectInet(session, call.server.c_str(), call.port);
  InetHandle* request = OpenInetRequest(
      connection, call.verb, call.target.c_str(), "HTTP/1.1", call.flags);
  out.opened = request != nullptr;
  if (request) {
    out.sent = SendInetRequest(request, call.headers.c_str(),
                               static_cast<int>(call.headers.size()),
                               call.body.empty() ? nullptr : call.body.data(),
                               static_cast<int>(call.body.size()));
    std::string piece(static_cast<size_t>(call.readPiece), '\0');
    for (int guard = 0; guard < 1000000; ++guard) {
      int n = -1;
      ReadInetResponse(request, piece.data(), call.readPiece, &n);
      EXPECT_GE(n, 0);
      EXPECT_LE(n, call.readPiece);
      if (n <= 0) break;
      out.body.append(piece, 0, static_cast<size_t>(n));
    }
    std::string buffer(65536, '\0');
    int length = static_cast<int>(buffer.size());
    out.headersOk = QueryInetRawHeaders(request, buffer.data(), &length);
    if (out.headersOk) out.headers.assign(buffer.data(), length);
  }
  CloseInetHandle(request);
  CloseInetHandle(connection);
  CloseInetHandle(session);
  return out;
}

class InetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InetLimits limits;
    limits.connectTimeout = milliseconds(3000);
    limits.idleTimeout = milliseconds(1000);
    limits.transferTimeout = milliseconds(2500);
    limits.maxBodyBytes = 4 * 1024 * 1024;
    SetInetLimitsForTesting(limits);
    ClearInetCookiesForTesting();
    ASSERT_TRUE(server_.ok());
  }
  void TearDown() override {
    SetInetLimitsForTesting(DefaultInetLimits());
    SetInetCaFileForTesting("");
    ClearInetCookiesForTesting();
  }
  Call At(std::string target) {
    Call call;
    call.port = server_.port();
    call.target = std::move(target);
    return call;
  }
  std::string LastRequest() {
    auto requests = server_.Requests();
    return requests.empty() ? "" : requests.back();
  }
  std::string HostLine() { return "Host: " + server_.HostPort() + "\r\n"; }

  TestHttpServer server_;
};

TEST_F(InetTest, SendsRequestLineHostAgentThenCallerLinesOnly) {
  server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nX-Server: 1", "hello"));
  Call call = At("/search/ABC/");
  call.headers = "Referer: 127.0.0.1/search/ABC/\r\nAccept: */*";
  Outcome out = Exchange(call);
  EXPECT_TRUE(out.sent);
  EXPECT_EQ(out.body, "hello");
  EXPECT_EQ(LastRequest(), "GET /search/ABC/ HTTP/1.1\r\n" + HostLine() +
                               "User-Agent: TestAgent/1.0\r\n"
                               "Referer: 127.0.0.1/search/ABC/\r\n"
                               "Accept: */*\r\n\r\n");
  ASSERT_TRUE(out.headersOk);
  EXPECT_EQ(out.headers,
            "HTTP/1.1 200 OK\r\nX-Server: 1\r\nContent-Length: 5\r\n\r\n");
}

TEST_F(InetTest, CallerHostAndAgentLinesTakeTheServiceLinesPlaces) {
  Call call = At("/");
  call.headers = "X-A: 1\r\nuser-agent: Mine/2\r\nHOST: other.example";
  Exchange(call);
  EXPECT_EQ(LastRequest(),
            "GET / HTTP/1.1\r\nHost: other.example\r\nuser-agent: Mine/2\r\n"
            "X-A: 1\r\n\r\n");
}

TEST_F(InetTest, HeaderLinesThatCouldBreakTheBlockAreNotSent) {
  struct Case {
    const char* name;
    std::string headers;
    std::string sent;  // Lines after User-Agent.
  };
  const Case kCases[] = {
      {"lone LF inside a line", "A: 1\nEvil: 2\r\nB: 3", "B: 3\r\n"},
      {"lone CR inside a line", "A: 1\rEvil: 2\r\nB: 3", "B: 3\r\n"},
      {"empty lines would end the block", "A: 1\r\n\r\n\r\nB: 2",
       "A: 1\r\nB: 2\r\n"},
      {"trailing CR LF", "A: 1\r\n", "A: 1\r\n"},
      {"a line without a colon", "garbage\r\nA: 1", "A: 1\r\n"},
      {"an empty value is kept",
       "X-Empty:\r\nX-Blank:   ", "X-Empty:\r\nX-Blank:\r\n"},
      {"936 bytes in a value", "X-Name: \xD6\xD0",  // 中
       "X-Name: \xD6\xD0\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Call call = At("/");
    call.headers = c.headers;
    Exchange(call);
    EXPECT_EQ(LastRequest(), "GET / HTTP/1.1\r\n" + HostLine() +
                                 "User-Agent: TestAgent/1.0\r\n" + c.sent +
                                 "\r\n");
  }
}

TEST_F(InetTest, ObjectNameIsPercentEncodedIntoOneRequestLine) {
  struct Case {
    const char* name;
    std::string objectName;
    std::string target;
  };
  const Case kCases[] = {
      {"plain", "/search/ABC-123/?q=1&r=2", "/search/ABC-123/?q=1&r=2"},
      {"spaces", "/search/A B/", "/search/A%20B/"},
      {"CR LF and a header", "/search/A\r\nX-Evil: 1/",
       "/search/A%0D%0AX-Evil:%201/"},
      {"936 bytes", "/search/\xD6\xD0\xCE\xC4/",  // 中文
       "/search/%D6%D0%CE%C4/"},
      {"reserved characters", "/a#b\"c<d>e\\f^g`h{i|j}k\x7F",
       "/a%23b%22c%3Cd%3Ee%5Cf%5Eg%60h%7Bi%7Cj%7Dk%7F"},
      {"percent sequences stay", "/a%20b%zz%", "/a%20b%zz%"},
      {"dot segments stay", "/a/../b/./c", "/a/../b/./c"},
      {"no leading slash", "x", "/x"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Exchange(At(c.objectName));
    EXPECT_EQ(LastRequest(), "GET " + c.target + " HTTP/1.1\r\n" + HostLine() +
                                 "User-Agent: TestAgent/1.0\r\n\r\n");
  }
}

TEST_F(InetTest, BodyGoesOutWithContentLengthUnlessAnEmptyGet) {
  struct Case {
    const char* name;
    const char* verb;
    std::string body;
    std::string tail;  // After User-Agent.
  };
  const Case kCases[] = {
      {"POST with a body", "POST", std::string("a=1&\0b", 6),
       std::string("Content-Length: 6\r\n\r\na=1&\0b", 27)},
      {"POST without a body", "POST", "", "Content-Length: 0\r\n\r\n"},
      {"GET with a body", "GET", "xyz", "Content-Length: 3\r\n\r\nxyz"},
      {"GET without a body", "GET", "", "\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Call call = At("/p");
    call.verb = c.verb;
    call.body = c.body;
    EXPECT_TRUE(Exchange(call).sent);
    EXPECT_EQ(LastRequest(), std::string(c.verb) + " /p HTTP/1.1\r\n" +
                                 HostLine() + "User-Agent: TestAgent/1.0\r\n" +
                                 c.tail);
  }
}

TEST_F(InetTest, LargePostIsSentWithoutWaitingForContinue) {
  std::string body(3 * 1024 * 1024, 'b');
  Call call = At("/p");
  call.verb = "POST";
  call.body = body;
  call.headers = "Content-Type: application/octet-stream";
  EXPECT_TRUE(Exchange(call).sent);
  std::string request = LastRequest();
  EXPECT_EQ(request.find("Expect"), std::string::npos);
  EXPECT_EQ(request.size() - request.find("\r\n\r\n") - 4, body.size());
}

TEST_F(InetTest, BodyIsReadInPiecesOfAtMostTheAskedSize) {
  std::string body;
  for (int i = 0; i < 5000; ++i) body += static_cast<char>(i * 7);
  server_.Enqueue(Respond("HTTP/1.1 200 OK", body));
  Call call = At("/");
  call.readPiece = 7;
  Outcome out = Exchange(call);
  EXPECT_EQ(out.body, body);
}

TEST_F(InetTest, CloseDelimitedAndChunkedBodiesArriveWhole) {
  server_.Enqueue({ReplyStep::Send("HTTP/1.1 200 OK\r\n\r\nuntil "),
                   ReplyStep::Pause(milliseconds(50)),
                   ReplyStep::Send("close")});
  EXPECT_EQ(Exchange(At("/")).body, "until close");
  server_.Enqueue(
      {ReplyStep::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                       "chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n"
                       "0\r\n\r\n")});
  Outcome out = Exchange(At("/"));
  EXPECT_EQ(out.body, "abcde");
  EXPECT_EQ(out.headers,
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
}

TEST_F(InetTest, RawHeaderQueryNeedsRoomForTheTerminator) {
  // Lines ended by LF alone are reported ended by CR LF.
  server_.Enqueue(
      {ReplyStep::Send("HTTP/1.1 200 OK\nA: 1\r\nContent-Length: 2\n\nok")});
  InetHandle* session =
      OpenInetSession(kAgent, InetAccess::kDirect, nullptr, nullptr, 0);
  InetHandle* connection = ConnectInet(session, "127.0.0.1", server_.port());
  InetHandle* request = OpenInetRequest(connection, "GET", "/", "HTTP/1.1", 0);
  ASSERT_NE(request, nullptr);
  ASSERT_TRUE(SendInetRequest(request, "", 0, nullptr, 0));
  const std::string block =
      "HTTP/1.1 200 OK\r\nA: 1\r\nContent-Length: 2\r\n\r\n";
  const int size = static_cast<int>(block.size());

  std::string buffer(100, '#');
  int length = size;  // One byte short: no room for the NUL.
  EXPECT_FALSE(QueryInetRawHeaders(request, buffer.data(), &length));
  EXPECT_EQ(buffer, std::string(100, '#'));
  EXPECT_EQ(length, size + 1);

  length = size + 1;
  EXPECT_TRUE(QueryInetRawHeaders(request, buffer.data(), &length));
  EXPECT_EQ(length, size);
  EXPECT_EQ(std::string(buffer.data()), block);
  EXPECT_EQ(buffer[static_cast<size_t>(size) + 1], '#');

  CloseInetHandle(request);
  CloseInetHandle(connection);
  CloseInetHandle(session);
}

TEST_F(InetTest, BadHandlesAndArgumentsFail) {
  EXPECT_EQ(ConnectInet(nullptr, "127.0.0.1", 80), nullptr);
  InetHandle* session =
      OpenInetSession(kAgent, InetAccess::kDirect, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(ConnectInet(session, "", 80), nullptr);
  EXPECT_EQ(OpenInetRequest(session, "GET", "/", nullptr, 0), nullptr);
  InetHandle* connection = ConnectInet(session, "127.0.0.1", server_.port());
  EXPECT_EQ(OpenInetRequest(connection, "GET", "/", "HTTP/2", 0), nullptr);
  EXPECT_EQ(OpenInetRequest(connection, "GET /x HTTP/1.1\r\n", "/", nullptr, 0),
            nullptr);
  EXPECT_FALSE(SendInetRequest(connection, "", 0, nullptr, 0));
  int n = 5;
  char buffer[8];
  EXPECT_FALSE(ReadInetResponse(session, buffer, 8, &n));
  EXPECT_EQ(n, 0);
  EXPECT_FALSE(CloseInetHandle(nullptr));
  // Closing the session first leaves the connection usable.
  EXPECT_TRUE(CloseInetHandle(session));
  InetHandle* request =
      OpenInetRequest(connection, nullptr, nullptr, nullptr, 0);
  ASSERT_NE(request, nullptr);
  EXPECT_TRUE(SendInetRequest(request, nullptr, 0, nullptr, 0));
  CloseInetHandle(connection);
  CloseInetHandle(request);
  EXPECT_EQ(LastRequest(), "GET / HTTP/1.1\r\n" + HostLine() +
                               "User-Agent: TestAgent/1.0\r\n\r\n");
}

TEST_F(InetTest, StoreKeepsCookiesForLaterRequestsUnlessNoCookies) {
  server_.Enqueue(
      Respond("HTTP/1.1 200 OK\r\nSet-Cookie: sid=abc; Path=/\r\nSet-Cookie: "
              "lang=zh; Max-Age=3600"));
  Exchange(At("/login"));
  Call call = At("/page");
  call.headers = "Cookie: mine=1\r\nX-A: 1";
  Exchange(call);
  EXPECT_EQ(LastRequest(), "GET /page HTTP/1.1\r\n" + HostLine() +
                               "User-Agent: TestAgent/1.0\r\nCookie: "
                               "mine=1\r\nX-A: 1\r\nCookie: sid=abc; "
                               "lang=zh\r\n\r\n");

  // NO_COOKIES neither sends the store's cookies nor keeps new ones.
  server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nSet-Cookie: extra=1"));
  call = At("/page");
  call.flags = kInetFlagNoCookies;
  Exchange(call);
  EXPECT_EQ(LastRequest().find("Cookie"), std::string::npos);

  // A cookie that has expired is removed.
  server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nSet-Cookie: sid=; Max-Age=0"));
  Exchange(At("/"));
  Exchange(At("/"));
  EXPECT_NE(LastRequest().find("\r\nCookie: lang=zh\r\n"), std::string::npos)
      << LastRequest();
}

TEST_F(InetTest, FollowsRedirectsAndReportsTheFinalResponse) {
  struct Case {
    const char* name;
    int status;
    const char* verb;
    const char* finalRequestLine;
    bool finalHasBody;
  };
  const Case kCases[] = {
      {"301 GET", 301, "GET", "GET /next?x=1 HTTP/1.1", false},
      {"302 POST becomes GET", 302, "POST", "GET /next?x=1 HTTP/1.1", false},
      {"303 POST becomes GET", 303, "POST", "GET /next?x=1 HTTP/1.1", false},
      {"307 POST repeats", 307, "POST", "POST /next?x=1 HTTP/1.1", true},
      {"308 POST repeats", 308, "POST", "POST /next?x=1 HTTP/1.1", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(Respond("HTTP/1.1 " + std::to_string(c.status) +
                                " Moved\r\nLocation: /a/../next?x=1",
                            "moved"));
    server_.Enqueue(Respond("HTTP/1.1 200 OK\r\nX-Final: 1", "final"));
    Call call = At("/start");
    call.verb = c.verb;
    call.body = std::string(c.verb) == "POST" ? "k=v" : "";
    call.headers = "X-Keep: 1";
    Outcome out = Exchange(call);
    EXPECT_TRUE(out.sent);
    EXPECT_EQ(out.body, "final");
    EXPECT_EQ(out.headers,
              "HTTP/1.1 200 OK\r\nX-Final: 1\r\nContent-Length: 5\r\n\r\n");
    std::string last = LastRequest();
    EXPECT_EQ(last.substr(0, last.find("\r\n")), c.finalRequestLine);
    EXPECT_NE(last.find("\r\nX-Keep: 1\r\n"), std::string::npos);
    EXPECT_EQ(last.ends_with("\r\n\r\nk=v"), c.finalHasBody) << last;
  }
}

TEST_F(InetTest, RedirectTargetsAreResolvedAndEncoded) {
  struct Case {
    const char* name;
    std::string location;
    std::string requestLine;
  };
  const Case kCases[] = {
      {"relative to the directory", "next?a=1", "GET /dir/next?a=1 HTTP/1.1"},
      {"absolute path, blanks and a fragment", "/n p?q=a b#frag",
       "GET /n%20p?q=a%20b HTTP/1.1"},
      {"absolute URL on the same server",
       "http://" + server_.HostPort() + "/abs/\xD6\xD0",  // 中
       "GET /abs/%D6%D0 HTTP/1.1"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(Respond("HTTP/1.1 302 Found\r\nLocation: " + c.location));
    Exchange(At("/dir/start"));
    std::string last = LastRequest();
    EXPECT_EQ(last.substr(0, last.find("\r\n")), c.requestLine);
  }
}

TEST_F(InetTest, NoAutoRedirectReturnsTheRedirectItself) {
  server_.Enqueue(
      Respond("HTTP/1.1 302 Found\r\nLocation: /next", "see elsewhere"));
  Call call = At("/start");
  call.flags = kInetFlagNoAutoRedirect;
  Outcome out = Exchange(call);
  EXPECT_EQ(out.body, "see elsewhere");
  EXPECT_EQ(out.headers,
            "HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: "
            "13\r\n\r\n");
  EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(InetTest, RedirectLoopEndsAfterTenFollowUps) {
  server_.SetHandler([](const std::string&) {
    return Respond("HTTP/1.1 302 Found\r\nLocation: /loop", "again");
  });
  Outcome out = Exchange(At("/loop"));
  EXPECT_TRUE(out.sent);
  EXPECT_EQ(out.body, "again");
  EXPECT_EQ(server_.Requests().size(), 11u);
}

TEST_F(InetTest, CookiesSetOnARedirectAreSentToItsTarget) {
  server_.Enqueue(
      Respond("HTTP/1.1 302 Found\r\nSet-Cookie: hop=1\r\nLocation: /next"));
  Exchange(At("/start"));
  EXPECT_NE(LastRequest().find("\r\nCookie: hop=1\r\n"), std::string::npos)
      << LastRequest();
}

TEST_F(InetTest, ProxyListCarriesPlainHttpWithTheAbsoluteUrl) {
  TestHttpServer proxy;
  ASSERT_TRUE(proxy.ok());
  proxy.Enqueue(Respond("HTTP/1.1 200 OK", "via proxy"));
  Call call;
  call.server = "srv.example";
  call.port = 8080;
  call.target = "/search/A B/";
  call.access = InetAccess::kProxy;
  call.proxyList = "http=" + proxy.HostPort();
  call.headers = "Accept: */*";
  Outcome out = Exchange(call);
  EXPECT_EQ(out.body, "via proxy");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0],
            "GET http://srv.example:8080/search/A%20B/ HTTP/1.1\r\n"
            "Host: srv.example:8080\r\nUser-Agent: TestAgent/1.0\r\n"
            "Accept: */*\r\n\r\n");

  // An empty or malformed list means direct.
  for (const char* list : {"", "http=", "https=127.0.0.1:1", "http=:80"}) {
    SCOPED_TRACE(list);
    Call direct = At("/d");
    direct.access = InetAccess::kProxy;
    direct.proxyList = list;
    EXPECT_TRUE(Exchange(direct).sent);
    EXPECT_EQ(LastRequest().substr(0, 17), "GET /d HTTP/1.1\r\n");
  }
  EXPECT_EQ(proxy.Requests().size(), 1u);
}

TEST_F(InetTest, EnvironmentProxyIsIgnored) {
  setenv("http_proxy", "http://127.0.0.1:1", 1);
  setenv("ALL_PROXY", "http://127.0.0.1:1", 1);
  server_.Enqueue(Respond("HTTP/1.1 200 OK", "direct"));
  Outcome out = Exchange(At("/"));
  unsetenv("http_proxy");
  unsetenv("ALL_PROXY");
  EXPECT_EQ(out.body, "direct");
}

TEST_F(InetTest, FailedTransfersEndWithinTheLimits) {
  struct Case {
    const char* name;
    testing::Reply reply;
    bool response;     // A header block arrived.
    std::string body;  // What the reads give.
  };
  std::string big(5 * 1024 * 1024, 'x');  // Over the 4 MiB test cap.
  const Case kCases[] = {
      {"accepts and never answers",
       {ReplyStep::Hold(milliseconds(8000))},
       false,
       ""},
      {"stalls in the middle of the body",
       {ReplyStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"),
        ReplyStep::Hold(milliseconds(8000))},
       true,
       "abc"},
      {"reset in the middle of the body",
       {ReplyStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"),
        ReplyStep::Pause(milliseconds(50)), ReplyStep::Reset()},
       true,
       "abc"},
      {"closed before the body ends",
       {ReplyStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc")},
       true,
       "abc"},
      {"reset before any answer", {ReplyStep::Reset()}, false, ""},
      {"broken status line",
       {ReplyStep::Send("HTTX/1.1 200 OK\r\n\r\nbody")},
       false,
       ""},
      {"body over the cap with a length",
       {ReplyStep::Send(testing::HttpResponse("HTTP/1.1 200 OK", big))},
       true,
       ""},
      {"body over the cap without a length",
       {ReplyStep::Send("HTTP/1.1 200 OK\r\n\r\n" + big)},
       true,
       ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    server_.Enqueue(c.reply);
    auto start = std::chrono::steady_clock::now();
    Outcome out = Exchange(At("/"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(4000));
    EXPECT_FALSE(out.sent);
    EXPECT_EQ(out.headersOk, c.response);
    EXPECT_EQ(out.body, c.body);
  }
}

TEST_F(InetTest, DrippingServerIsCutOffAtTheTransferTimeOut) {
  // A byte every 200 ms never trips the idle time-out; only the overall
  // deadline ends the transfer, with the bytes received so far.
  const std::string body(100, 'd');
  server_.Enqueue(
      {ReplyStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"),
       ReplyStep::Drip(body, milliseconds(200))});
  auto start = std::chrono::steady_clock::now();
  Outcome out = Exchange(At("/"));
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, milliseconds(2400));
  EXPECT_LT(took, milliseconds(4000));
  EXPECT_FALSE(out.sent);
  EXPECT_TRUE(out.headersOk);
  EXPECT_GT(out.body.size(), 5u);
  EXPECT_LT(out.body.size(), 20u);
  EXPECT_EQ(out.body, std::string(out.body.size(), 'd'));

  // The deadline covers the redirects too: hops that each take a while add
  // up to it.
  server_.SetHandler([](const std::string&) {
    return testing::Reply{ReplyStep::Pause(milliseconds(600)),
                          ReplyStep::Send(testing::HttpResponse(
                              "HTTP/1.1 302 Found\r\nLocation: /again"))};
  });
  start = std::chrono::steady_clock::now();
  out = Exchange(At("/"));
  took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, milliseconds(4000));
  EXPECT_FALSE(out.sent);
  EXPECT_LE(server_.Connections(), 6);
}

TEST(InetLimitsTest, DefaultsBoundEveryTransfer) {
  InetLimits limits = DefaultInetLimits();
  EXPECT_EQ(limits.connectTimeout, milliseconds(60000));
  EXPECT_EQ(limits.idleTimeout, milliseconds(30000));
  EXPECT_EQ(limits.transferTimeout, milliseconds(120000));
  EXPECT_EQ(limits.maxBodyBytes, int64_t{256} * 1024 * 1024);
}

TEST_F(InetTest, ConnectionRefusedFails) {
  int port;
  {
    TestHttpServer gone;
    port = gone.port();
  }
  Call call = At("/");
  call.port = port;
  Outcome out = Exchange(call);
  EXPECT_TRUE(out.opened);
  EXPECT_FALSE(out.sent);
  EXPECT_FALSE(out.headersOk);
  EXPECT_EQ(out.body, "");
}

class InetTlsTest : public InetTest {
 protected:
  static void SetUpTestSuite() { certificates_ = new TestCertificates(); }
  static void TearDownTestSuite() {
    delete certificates_;
    certificates_ = nullptr;
  }
  void SetUp() override {
    InetTest::SetUp();
    ASSERT_TRUE(certificates_->ok());
    SetInetCaFileForTesting(certificates_->caFile());
  }
  static TestCertificates* certificates_;
};
TestCertificates* InetTlsTest::certificates_ = nullptr;

TEST_F(InetTlsTest, SecureFlagSpeaksTlsOnTheGivenPort) {
  TestHttpServer tls(certificates_->signedServer());
  ASSERT_TRUE(tls.ok());
  tls.Enqueue(Respond("HTTP/1.1 200 OK", "secret"));
  Call call = At("/s");
  call.port = tls.port();
  call.flags = kInetFlagSecure;
  Outcome out = Exchange(call);
  EXPECT_TRUE(out.sent);
  EXPECT_EQ(out.body, "secret");
  ASSERT_EQ(tls.Requests().size(), 1u);
  EXPECT_EQ(tls.Requests()[0], "GET /s HTTP/1.1\r\nHost: " + tls.HostPort() +
                                   "\r\nUser-Agent: TestAgent/1.0\r\n\r\n");
}

TEST_F(InetTlsTest, UntrustedOrMisnamedCertificateGivesNothing) {
  TestHttpServer selfSigned(certificates_->selfSignedServer());
  ASSERT_TRUE(selfSigned.ok());
  Call call = At("/");
  call.port = selfSigned.port();
  call.flags = kInetFlagSecure;
  Outcome out = Exchange(call);
  EXPECT_FALSE(out.sent);
  EXPECT_EQ(out.body, "");
  EXPECT_FALSE(out.headersOk);
  EXPECT_TRUE(selfSigned.Requests().empty());

  // A certificate from the trusted CA for another name.
  TestHttpServer misnamed(certificates_->wrongNameServer());
  ASSERT_TRUE(misnamed.ok());
  call.port = misnamed.port();
  out = Exchange(call);
  EXPECT_FALSE(out.sent);
  EXPECT_TRUE(misnamed.Requests().empty());

  // The right certificate is accepted with the test CA ...
  TestHttpServer signedServer(certificates_->signedServer());
  signedServer.Enqueue(Respond("HTTP/1.1 200 OK", "fine"));
  call.port = signedServer.port();
  EXPECT_EQ(Exchange(call).body, "fine");

  // ... and refused without it: the system's store does not know the CA.
  SetInetCaFileForTesting("");
  out = Exchange(call);
  EXPECT_FALSE(out.sent);
  EXPECT_EQ(signedServer.Requests().size(), 1u);
}

TEST_F(InetTlsTest, RedirectToHttpsNeedsTheFlag) {
  TestHttpServer tls(certificates_->signedServer());
  ASSERT_TRUE(tls.ok());
  tls.SetHandler(
      [](const std::string&) { return Respond("HTTP/1.1 200 OK", "tls"); });
  std::string location = "https://" + tls.HostPort() + "/secure";
  server_.SetHandler([&location](const std::string&) {
    return Respond("HTTP/1.1 302 Found\r\nLocation: " + location, "plain");
  });
  Outcome out = Exchange(At("/"));
  EXPECT_EQ(out.body, "plain");
  EXPECT_TRUE(tls.Requests().empty());

  Call call = At("/");
  call.flags = kInetFlagIgnoreRedirectToHttps;
  out = Exchange(call);
  EXPECT_EQ(out.body, "tls");
  ASSERT_EQ(tls.Requests().size(), 1u);
  EXPECT_TRUE(tls.Requests()[0].starts_with("GET /secure HTTP/1.1\r\n"));

  // And https never falls back to http.
  tls.SetHandler([this](const std::string&) {
    return Respond("HTTP/1.1 302 Found\r\nLocation: http://" +
                       server_.HostPort() + "/plain",
                   "stay");
  });
  call.port = tls.port();
  call.flags = kInetFlagSecure | kInetFlagIgnoreRedirectToHttps;
  size_t plainRequests = server_.Requests().size();
  out = Exchange(call);
  EXPECT_EQ(out.body, "stay");
  EXPECT_EQ(server_.Requests().size(), plainRequests);
}

}  // namespace
}  // namespace velk::platform
