#include "text/extract.h"

namespace velk {
namespace {

Text WithQuotes(const Text& marker) {
  return ReplaceText(marker, QuotePlaceholder, Text("\""), std::nullopt,
                     std::nullopt, true);
}

}  // namespace

Text TextBetween(const Text& text, const Text& leftMarker,
                 const Text& rightMarker, int startPosition,
                 bool caseSensitive) {
  const Text left = WithQuotes(leftMarker);
  const Text right = WithQuotes(rightMarker);
  const bool ignoreCase = !caseSensitive;
  int p = FindText(text, left, startPosition, ignoreCase);
  if (p != -1) p += TextLength(left);
  // The right marker is only looked for after the end of the left one.
  const int q = FindText(text, right, p, ignoreCase);
  if (p == -1 || q == -1) return Text();
  return TextMid(text, p, q - p);
}

Text HeaderValue(const Text& line) {
  const int colon = FindText(line, ":", std::nullopt, false);
  if (colon == -1) return Text();
  return TrimBoth(TextRight(line, TextLength(line) - colon));
}

}  // namespace velk
