// Reading a response once the exchange is over: the location, the cookies
// and their merge, the 301 follow-up decision and the UTF-8 recognition.
// It touches no network, so it can be tested and fuzzed on its own.
#ifndef VELK_NET_RESPONSE_H_
#define VELK_NET_RESPONSE_H_

#include "net/web_fetch.h"
#include "text/text.h"

namespace velk {

// How many 301 responses in a row are followed; the next one is read as an
// ordinary response, so a server that redirects to itself cannot make the
// fetch nest without end.
inline constexpr int kMaxMovedFollowUps = 10;

struct ResponseOutcome {
  bool followUp = false;  // Fetch `nextUrl` and return what that gives.
  Text nextUrl;
  Bytes body;  // The bytes to return when not following up.
};

// Interprets the response to a fetch of `url` whose header block is in
// `result.rawHeaders`: sets `result.returnedCookies` and `result.location`,
// merges the cookies into `request.cookies` when `request.cookiesGiven`,
// and decides between a follow-up (a 301 status, when `mayFollow`) and the
// body, converted from UTF-8 when the page declares charset=utf-8.
ResponseOutcome InterpretResponse(const Text& url, FetchRequest& request,
                                  FetchResult& result, Bytes body,
                                  bool mayFollow);

}  // namespace velk

#endif  // VELK_NET_RESPONSE_H_
