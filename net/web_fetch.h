// The program's one HTTP client routine, over the internet client service.
#ifndef VELK_NET_WEB_FETCH_H_
#define VELK_NET_WEB_FETCH_H_

#include "text/text.h"

namespace velk {

// The inputs of one fetch. WebFetch appends its default lines to `headers`,
// fills an empty `postBytes` from `postText` when it sends a body, and, when
// `cookiesGiven`, merges the response's cookies into `cookies`.
struct FetchRequest {
  Text url;        // With or without "http://" or "https://".
  int method = 0;  // 1: POST; anything else: GET. Not 0: a body is sent.
  Text postText;   // The body when `postBytes` is empty.
  Text cookies;    // "name=value; name=value", sent as a Cookie line.
  bool cookiesGiven = false;  // Also: the service keeps no cookies for it.
  Text headers;  // Extra lines separated by CR LF, no trailing CR LF.
  bool noRedirect = false;  // The service follows no redirect.
  Bytes postBytes;          // The body as bytes.
  Text proxy;               // host:port for plain HTTP, used when `proxyGiven`.
  bool proxyGiven = false;
};

// The text outputs of one fetch; the body is WebFetch's return value.
struct FetchResult {
  Text rawHeaders;       // The response's header block, lines ended CR LF.
  Text returnedCookies;  // "a=1; b=2; ": the Set-Cookie items, each + "; ".
  Text location;         // The redirect location, or the whole header block.
};

// Sends one request and returns the response body (converted to code page
// 936 when the page declares charset=utf-8), following a 301 with a further
// call. Returns empty bytes, touching neither record, when no request could
// be opened; every other failure gives whatever was read.
Bytes WebFetch(FetchRequest& request, FetchResult& result);

}  // namespace velk

#endif  // VELK_NET_WEB_FETCH_H_
