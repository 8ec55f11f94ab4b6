#include "net/request.h"

#include <string>

#include "platform/inet/inet.h"
#include "text/extract.h"

namespace velk {
namespace {

namespace inet = velk::platform;

bool Contains(const Text& text, const Text& sought) {
  return FindText(text, sought, std::nullopt, false) > 0;
}

// The address as the Referer value: a CR or LF in it would end the line and
// start one of the address's own, so those two bytes go percent-encoded.
Text RefererValue(const Text& url) {
  // Byte by byte: a CR after a lead byte is still a CR on the wire.
  std::string value;
  for (char c : url.view()) {
    if (c == '\r') {
      value += "%0D";
    } else if (c == '\n') {
      value += "%0A";
    } else {
      value += c;
    }
  }
  return Text(value);
}

}  // namespace

Text FetchAgent(const Text& headers) {
  if (FindText(headers, "User-Agent:", std::nullopt, true) <= 0) {
    return kDefaultAgent;
  }
  Text agent = TrimBoth(TextBetween(headers, "User-Agent:", "\r\n"));
  // No CR LF after the line, or a blank value.
  if (agent.empty()) agent = HeaderValue(headers);
  return agent;
}

unsigned FetchFlags(const FetchRequest& request, const Text& url) {
  unsigned flags = inet::kInetFlagReload | inet::kInetFlagNeedFile;
  if (request.cookiesGiven) flags |= inet::kInetFlagNoCookies;
  if (request.noRedirect) flags |= inet::kInetFlagNoAutoRedirect;
  // The scheme text alone decides; the port comes from the address.
  if (CompareText(ToLower(TextLeft(url, 5)), "https") == 0) {
    flags |= inet::kInetFlagSecure;
  } else {
    flags |= inet::kInetFlagIgnoreRedirectToHttps;
  }
  return flags;
}

Text AppendDefaultLines(const Text& url, FetchRequest& request) {
  Text& headers = request.headers;
  if (!Contains(headers, "Referer:")) {
    Text referer = RefererValue(url);
    headers = headers.empty() ? ConcatText("Referer: ", referer)
                              : ConcatText(headers, "\r\nReferer: ", referer);
  }
  if (!Contains(headers, "Accept:")) {
    headers = ConcatText(headers, "\r\nAccept: */*");
  }
  if (!Contains(headers, "Accept-Language:")) {
    headers = ConcatText(headers, "\r\nAccept-Language: zh-cn");
  }
  if (!Contains(headers, "Content-Type:")) {
    headers = ConcatText(headers,
                         "\r\nContent-Type: application/x-www-form-urlencoded");
  }
  if (request.cookies.empty()) return Text();
  Text cookieLine = ConcatText("\r\nCookie: ", request.cookies);
  headers = ConcatText(headers, cookieLine);
  return cookieLine;
}

}  // namespace velk
