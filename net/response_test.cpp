#include "net/response.h"

#include <gtest/gtest.h>

#include <string>

namespace velk {
namespace {

const Text kBlank5000 = BlankText(5000);

TEST(InterpretResponse, LocationCookiesAndFollowUp) {
  struct Case {
    const char* name;
    Text url;
    Text rawHeaders;
    Text locationIn;
    bool followUp;
    Text nextUrl;
    Text location;
    Text returnedCookies;
  };
  const Text moved =
      "HTTP/1.1 301 Moved Permanently\r\nLocation: http://b.example\r\n\r\n";
  const Case kCases[] = {
      {"301 follows location plus current path", "a.example/x/y", moved, "",
       true, "http://b.example/x/y", "", ""},
      {"location with a path still gets the path", "a.example/x/y?q=1",
       "HTTP/1.1 301 Moved Permanently\r\nLocation:  http://b.example/new/ "
       "\r\n\r\n",
       "", true, "http://b.example/new//x/y?q=1", "", ""},
      {"upper-case Moved text counts", "a.example/p",
       "HTTP/1.1 301 MOVED PERMANENTLY\r\nLocation: /n\r\n\r\n", "", true,
       "/n/p", "", ""},
      {"HTTP/1.0 301 is not followed", "a.example/p",
       "HTTP/1.0 301 Moved Permanently\r\nLocation: /n\r\n\r\n", "", false, "",
       "/n", ""},
      {"302 is not followed here", "a.example/p",
       "HTTP/1.1 302 Found\r\nLocation: http://c.example/\r\n\r\n", "", false,
       "", "http://c.example/", ""},
      {"no location line: the whole block", "a.example/",
       "HTTP/1.1 200 OK\r\n\r\n", "", false, "", "HTTP/1.1 200 OK\r\n\r\n", ""},
      {"no location line keeps the incoming one", "a.example/",
       "HTTP/1.1 200 OK\r\n\r\n", "kept", false, "", "kept", ""},
      {"last location line wins, Content-Location counts", "a.example/",
       "HTTP/1.1 200 OK\r\nLocation: /one\r\nContent-Location: /two\r\n\r\n",
       "", false, "", "/two", ""},
      {"lower-case location does not count", "a.example/",
       "HTTP/1.1 200 OK\r\nlocation: /one\r\n\r\n", "", false, "",
       "HTTP/1.1 200 OK\r\nlocation: /one\r\n\r\n", ""},
      {"set-cookie items with their separators", "a.example/",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie:  b=2 ; "
       "HttpOnly\r\nSet-Cookie: c=3\r\nset-cookie: d=4;\r\nX-Set-Cookie "
       "e=5;\r\n\r\n",
       "in", false, "", "in", "a=1; b=2; ; ; "},
      {"blank block from a failed query", "a.example/", kBlank5000, "", false,
       "", kBlank5000, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FetchRequest request;
    request.url = c.url;
    request.cookies = "untouched=1";
    FetchResult result;
    result.rawHeaders = c.rawHeaders;
    result.location = c.locationIn;
    result.returnedCookies = "old; ";
    ResponseOutcome outcome = InterpretResponse(
        c.url, request, result, Bytes(std::string_view("body")), true);
    EXPECT_EQ(outcome.followUp, c.followUp);
    EXPECT_EQ(outcome.nextUrl, c.nextUrl);
    EXPECT_EQ(outcome.body,
              c.followUp ? Bytes() : Bytes(std::string_view("body")));
    EXPECT_EQ(result.location, c.location);
    EXPECT_EQ(result.returnedCookies, c.returnedCookies);
    EXPECT_EQ(request.cookies, Text("untouched=1"));
    EXPECT_EQ(result.rawHeaders, c.rawHeaders);
  }
}

TEST(InterpretResponse, MergesCookiesOnlyWhenGiven) {
  FetchRequest request;
  request.cookies = "a=1; b=2";
  request.cookiesGiven = true;
  FetchResult result;
  result.rawHeaders =
      "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nSet-Cookie: c=4;\r\n\r\n";
  InterpretResponse("h/", request, result, Bytes(), true);
  EXPECT_EQ(request.cookies, Text("b=3; c=4; a=1"));
  EXPECT_EQ(result.returnedCookies, Text("b=3;c=4;"));
}

TEST(InterpretResponse, LastAllowedMovedIsReadAsAnOrdinaryResponse) {
  FetchRequest request;
  FetchResult result;
  result.rawHeaders =
      "HTTP/1.1 301 Moved Permanently\r\nLocation: /again\r\nContent-Type: "
      "text/html; charset=utf-8\r\n\r\n";
  ResponseOutcome outcome = InterpretResponse(
      "h/p", request, result, Bytes(std::string_view("\xE4\xB8\xAD")),  // 中
      false);
  EXPECT_FALSE(outcome.followUp);
  EXPECT_EQ(result.location, Text("/again"));
  EXPECT_EQ(outcome.body, Bytes(std::string_view("\xD6\xD0")));  // 中
}

TEST(InterpretResponse, Utf8DeclarationInTheFirstBytesOrTheHeaders) {
  const std::string zhong = "\xE4\xB8\xAD";  // 中 in UTF-8
  struct Case {
    const char* name;
    int markerAt;  // 1-based position of "charset=utf-8" in the body; 0: none
    Text rawHeaders;
    bool converted;
  };
  const Text plain = "HTTP/1.1 200 OK\r\n\r\n";
  const Case kCases[] = {
      {"at byte 1", 1, plain, true},
      {"at byte 499", 499, plain, true},
      {"at byte 500", 500, plain, false},
      {"at byte 500 with the header", 500,
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n",
       true},
      {"header anywhere in the block", 0, "X: charset=utf-8\r\n\r\n", true},
      {"upper-case header does not count", 0,
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n",
       false},
      {"nothing declared", 0, plain, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string body;
    if (c.markerAt > 0) {
      body = std::string(static_cast<size_t>(c.markerAt - 1), 'x') +
             "charset=utf-8";
    }
    body += zhong;
    FetchRequest request;
    FetchResult result;
    result.rawHeaders = c.rawHeaders;
    Bytes out =
        InterpretResponse("h/", request, result, Bytes(body), true).body;
    std::string expected = body;
    if (c.converted) {
      expected = body.substr(0, body.size() - 3) + "\xD6\xD0";  // 中 in 936
    }
    EXPECT_EQ(out, Bytes(expected));
  }
}

TEST(InterpretResponse, A936PageIsLeftAlone) {
  FetchRequest request;
  FetchResult result;
  result.rawHeaders =
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\n\r\n";
  const Bytes page(std::string_view("<p>\xD6\xD0\xCE\xC4</p>"));  // 中文
  EXPECT_EQ(InterpretResponse("h/", request, result, page, true).body, page);
}

}  // namespace
}  // namespace velk
