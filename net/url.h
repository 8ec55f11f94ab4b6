// Splitting an address, with or without "http://" or "https://", into the
// server name, port and object name of a request. None of these fails: odd
// input gives an odd but well-defined result.
#ifndef VELK_NET_URL_H_
#define VELK_NET_URL_H_

#include "text/text.h"

namespace velk {

// The host of `url`, lower-cased, without scheme and path. With
// `reduceToDomain`, only its last two labels; without `keepPort`, without a
// ":port" suffix. An address holding "http://" anywhere takes its host after
// the first such occurrence.
Text UrlHost(const Text& url, bool reduceToDomain = false,
             bool keepPort = false);

// The port to connect to: the digits after the host's last colon (0 when
// there are none), else 443 for an address starting "https" and 80 otherwise.
int UrlPort(const Text& url);

// The object name: from the first "/" after the host to the end of `url`,
// query included, in the letter case of `url`; "/" when there is none.
Text UrlPath(const Text& url);

}  // namespace velk

#endif  // VELK_NET_URL_H_
