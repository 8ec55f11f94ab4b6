#include "net/url.h"

#include "text/extract.h"

namespace velk {

Text UrlHost(const Text& url, bool reduceToDomain, bool keepPort) {
  Text s = ToLower(url);
  if (CompareText(TextRight(s, 1), "/") != 0) s = ConcatText(s, "/");
  Text host;
  if (CompareText(TextLeft(s, 8), "https://") == 0) {
    host = TextBetween(s, "https://", "/");
  } else {
    // An address that holds "http://" anywhere gets no prefix; its host is
    // taken after that occurrence.
    if (FindText(s, "http://", std::nullopt, false) == -1) {
      s = ConcatText("http://", s);
    }
    host = TextBetween(s, "http://", "/");
  }
  if (reduceToDomain) {
    const TextArray labels = SplitText(host, Text("."));
    const int n = MemberCount(labels);
    if (n > 1) host = ConcatText(labels[n - 1], ".", labels[n]);
  }
  if (keepPort) return host;
  const int colon = FindText(host, ":", std::nullopt, false);
  return colon == -1 ? host : TextLeft(host, colon - 1);
}

int UrlPort(const Text& url) {
  const Text host = UrlHost(url, false, true);
  const int colon = FindTextReverse(host, ":", std::nullopt, false);
  if (colon != -1) return ToInteger(TextRight(host, TextLength(host) - colon));
  return CompareText(TextLeft(ToLower(url), 5), "https") == 0 ? 443 : 80;
}

Text UrlPath(const Text& url) {
  const Text host = UrlHost(url);
  // The address may spell its host in capitals; the path keeps them.
  const int hostAt = FindText(url, host, std::nullopt, true);
  const int slash = FindText(url, "/", hostAt, true);
  if (slash == -1) return Text("/");
  return TextRight(url, TextLength(url) - slash + 1);
}

}  // namespace velk
