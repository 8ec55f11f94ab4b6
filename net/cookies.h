// Merging the cookies a response set into the caller's cookie list.
//
// A cookie list holds name=value items separated by "; " with no separator
// after the last; a response list (as the response reading builds it) ends
// every item with "; ", the last one included. Names compare byte for byte.
#ifndef VELK_NET_COOKIES_H_
#define VELK_NET_COOKIES_H_

#include "text/text.h"

namespace velk {

// Merges `returnedCookies` into `cookies`, both changed in place: every
// blank disappears from both, then `cookies` becomes the response's items
// in order, then the caller's items whose names the response did not set,
// without items ending "=deleted" and without exact repeats. Returns a copy
// of the merged `cookies`.
Text MergeCookies(Text& cookies, Text& returnedCookies);

// The trimmed text before the first "=" of `item`; the whole trimmed item
// when it has none.
Text CookieName(const Text& item);

// Whether some member of `list` has the cookie name `name`.
bool HasCookieName(const TextArray& list, const Text& name);

// `text` split at `delimiter`, later exact repeats of a member dropped,
// joined again with `delimiter`.
Text JoinDistinct(const Text& text, const Text& delimiter);

// Whether some member of `list` equals `text` byte for byte.
bool ContainsText(const TextArray& list, const Text& text);

}  // namespace velk

#endif  // VELK_NET_COOKIES_H_
