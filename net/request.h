// Composing a fetch's request: the user agent, the service flags and the
// default header lines.
#ifndef VELK_NET_REQUEST_H_
#define VELK_NET_REQUEST_H_

#include "net/web_fetch.h"
#include "text/text.h"

namespace velk {

inline constexpr char kDefaultAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; ZK4QM; .NET CLR "
    "2.0.50727; .NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

// The agent named by a User-Agent line of `headers` (any letter case), else
// the default agent.
Text FetchAgent(const Text& headers);

// The service flags for fetching `url`.
unsigned FetchFlags(const FetchRequest& request, const Text& url);

// Appends to `request.headers` the Referer, Accept, Accept-Language and
// Content-Type lines it lacks (exact-case tests), then a Cookie line when
// `request.cookies` is not empty. Returns that Cookie line ("\r\nCookie: "
// and the list) or the empty text.
Text AppendDefaultLines(const Text& url, FetchRequest& request);

}  // namespace velk

#endif  // VELK_NET_REQUEST_H_
