#include "net/request.h"

#include <gtest/gtest.h>

#include "platform/inet/inet.h"

namespace velk {
namespace {

namespace inet = velk::platform;

TEST(FetchAgent, FromTheHeadersOrTheDefault) {
  struct Case {
    const char* name;
    Text headers;
    Text agent;
  };
  const Case kCases[] = {
      {"no line: the default", "Accept: */*", kDefaultAgent},
      {"a line with CR LF after it", "User-Agent:  Mine/1 \r\nX: 1", "Mine/1"},
      {"letter case ignored", "X: 1\r\nuser-agent: low/2\r\nY: 2", "low/2"},
      {"only line, no CR LF: after the first colon", "User-Agent: Mine/3",
       "Mine/3"},
      // The fallback reads the whole text from its first colon.
      {"last line, no CR LF", "X: a\r\nUser-Agent: b", "a\r\nUser-Agent: b"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FetchAgent(c.headers), c.agent);
  }
}

TEST(FetchFlags, FollowTheRequestAndTheSchemeText) {
  struct Case {
    const char* name;
    Text url;
    bool cookiesGiven;
    bool noRedirect;
    unsigned flags;
  };
  const unsigned base = inet::kInetFlagReload | inet::kInetFlagNeedFile;
  const Case kCases[] = {
      {"search call", "h/search/A/", false, false,
       base | inet::kInetFlagIgnoreRedirectToHttps},
      {"https in any case, any port", "HTTPS://h:80/", false, false,
       base | inet::kInetFlagSecure},
      {"cookies given and no redirect", "http://h/", true, true,
       base | inet::kInetFlagNoCookies | inet::kInetFlagNoAutoRedirect |
           inet::kInetFlagIgnoreRedirectToHttps},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FetchRequest request;
    request.cookiesGiven = c.cookiesGiven;
    request.noRedirect = c.noRedirect;
    EXPECT_EQ(FetchFlags(request, c.url), c.flags);
  }
  EXPECT_EQ(base | inet::kInetFlagIgnoreRedirectToHttps, 0x80004010u);
}

TEST(AppendDefaultLines, ExactCasePresenceTests) {
  const Text tail =
      "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
      "application/x-www-form-urlencoded";
  struct Case {
    const char* name;
    Text headers;
    Text cookies;
    Text after;
  };
  const Case kCases[] = {
      {"empty", "", "", ConcatText("Referer: u/x", tail)},
      {"lower-case referer gets another", "referer: r", "",
       ConcatText("referer: r\r\nReferer: u/x", tail)},
      {"X-Referer counts as present", "X-Referer: r", "",
       ConcatText("X-Referer: r", tail)},
      {"Accept-Language is not Accept", "Accept-Language: en", "",
       "Accept-Language: en\r\nReferer: u/x\r\nAccept: */*\r\nContent-Type: "
       "application/x-www-form-urlencoded"},
      {"all present, cookies appended",
       "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: t",
       "a=1; b=2",
       "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: "
       "t\r\nCookie: a=1; b=2"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FetchRequest request;
    request.headers = c.headers;
    request.cookies = c.cookies;
    Text line = AppendDefaultLines("u/x", request);
    EXPECT_EQ(request.headers, c.after);
    EXPECT_EQ(line, c.cookies.empty() ? Text()
                                      : ConcatText("\r\nCookie: ", c.cookies));
  }
}

TEST(AppendDefaultLines, CrLfInTheAddressCannotStartAHeaderLine) {
  FetchRequest request;
  AppendDefaultLines("h/search/A\r\nX-Evil: 1\xD6\r/", request);
  EXPECT_EQ(TextLeft(request.headers, 39),
            Text("Referer: h/search/A%0D%0AX-Evil: 1\xD6%0D/"));
}

}  // namespace
}  // namespace velk
