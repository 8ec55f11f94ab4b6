#include "net/response.h"

#include <utility>

#include "net/cookies.h"
#include "net/url.h"
#include "text/codepage.h"
#include "text/extract.h"

namespace velk {
namespace {

// A page counts as UTF-8 when its body declares it in the first bytes (a
// match starting below position 500) or its header block does anywhere.
bool DeclaresUtf8(const Bytes& body, const Text& rawHeaders) {
  const Text marker = "charset=utf-8";
  // Only a match starting below 500 counts, so the rest of a long body
  // need not be searched.
  int position = FindBytes(BytesLeft(body, 499 + TextLength(marker) - 1),
                           TextToBytes(marker));
  if (position >= 1 && position < 500) return true;
  return FindText(rawHeaders, marker, std::nullopt, false) > 0;
}

}  // namespace

ResponseOutcome InterpretResponse(const Text& url, FetchRequest& request,
                                  FetchResult& result, Bytes body,
                                  bool mayFollow) {
  TextArray lines = SplitText(result.rawHeaders, Text("\r\n"));
  result.returnedCookies = Text();
  for (int i = 1; i <= MemberCount(lines); ++i) {
    const Text& line = lines[i];
    // Both tests are plain exact-case substring tests, so a Content-Location
    // line counts and a lower-case set-cookie line does not.
    if (FindText(line, "Location:", std::nullopt, false) > 0) {
      result.location = HeaderValue(line);
    }
    if (FindText(line, "Set-Cookie", std::nullopt, false) > 0) {
      Text item = TrimBoth(TextBetween(line, "Set-Cookie:", ";"));
      result.returnedCookies = ConcatText(result.returnedCookies, item, "; ");
    }
  }
  if (request.cookiesGiven) {
    MergeCookies(request.cookies, result.returnedCookies);
  }
  if (result.location.empty()) result.location = result.rawHeaders;

  ResponseOutcome outcome;
  Text status = TextBetween(result.rawHeaders, "HTTP/1.1 ", " Moved");
  if (mayFollow && CompareText(status, "301") == 0) {
    // The current path and query go after the location whatever it holds.
    outcome.followUp = true;
    outcome.nextUrl = ConcatText(result.location, UrlPath(url));
    result.location = Text();
    return outcome;
  }
  outcome.body = DeclaresUtf8(body, result.rawHeaders) ? Utf8BytesToGbk(body)
                                                       : std::move(body);
  return outcome;
}

}  // namespace velk
