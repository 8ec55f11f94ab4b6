#include "net/cookies.h"

namespace velk {

Text MergeCookies(Text& cookies, Text& returnedCookies) {
  cookies = RemoveAllSpaces(cookies);
  returnedCookies = RemoveAllSpaces(returnedCookies);
  TextArray callerItems = SplitText(cookies, Text(";"));
  TextArray merged = SplitText(returnedCookies, Text(";"));
  // `merged` grows while this runs, so of several caller items with one
  // name only the first is taken.
  for (int i = 1; i <= MemberCount(callerItems); ++i) {
    if (!HasCookieName(merged, CookieName(callerItems[i]))) {
      AppendMember(merged, callerItems[i]);
    }
  }
  cookies = Text();
  for (int i = 1; i <= MemberCount(merged); ++i) {
    if (CompareText(TextRight(merged[i], 8), "=deleted") != 0) {
      cookies = ConcatText(cookies, merged[i], "; ");
    }
  }
  cookies = TextLeft(cookies, TextLength(cookies) - 2);
  cookies = JoinDistinct(cookies, "; ");
  return cookies;
}

Text CookieName(const Text& item) {
  int equals = FindText(item, "=", std::nullopt, false);
  if (equals > 0) return TrimBoth(TextLeft(item, equals - 1));
  return TrimBoth(item);
}

bool HasCookieName(const TextArray& list, const Text& name) {
  for (int i = 1; i <= MemberCount(list); ++i) {
    if (CompareText(CookieName(list[i]), name) == 0) return true;
  }
  return false;
}

Text JoinDistinct(const Text& text, const Text& delimiter) {
  TextArray parts = SplitText(text, delimiter);
  TextArray seen;
  Text joined;
  for (int i = 1; i <= MemberCount(parts); ++i) {
    if (!ContainsText(seen, parts[i])) {
      AppendMember(seen, parts[i]);
      joined = ConcatText(joined, parts[i], delimiter);
    }
  }
  return TextLeft(joined, TextLength(joined) - TextLength(delimiter));
}

bool ContainsText(const TextArray& list, const Text& text) {
  for (int i = 1; i <= MemberCount(list); ++i) {
    if (CompareText(list[i], text) == 0) return true;
  }
  return false;
}

}  // namespace velk
