#include "net/cookies.h"

#include <gtest/gtest.h>

namespace velk {
namespace {

TEST(MergeCookies, MergesIntoBothListsInPlace) {
  struct Case {
    const char* name;
    const char* cookies;
    const char* returned;
    const char* merged;
    const char* returnedAfter;
  };
  const Case kCases[] = {
      {"response first, then the caller's other names", "a=1; b=2",
       "b=3; c=4; ", "b=3; c=4; a=1", "b=3;c=4;"},
      {"deletion removes the caller's cookie", "a=1; b=2", "b=deleted; ", "a=1",
       "b=deleted;"},
      {"deleting the only cookie", "a=1", "a=deleted; ", "", "a=deleted;"},
      {"both empty", "", "", "", ""},
      {"blanks vanish inside values too", "x=hello world", "", "x=helloworld",
       ""},
      {"full-width blanks too", "x=a\xA1\xA1z", "", "x=az", ""},  // 　
      {"exact repeats in the response collapse", "", "x=1; x=1; ", "x=1",
       "x=1;x=1;"},
      {"same name, other values both stay", "", "x=1; x=2; ", "x=1; x=2",
       "x=1;x=2;"},
      {"names are case sensitive", "A=1", "a=2; ", "a=2; A=1", "a=2;"},
      {"of the caller's repeats only the first", "k=1; k=2", "", "k=1", ""},
      {"an item without = is its own name", "flag; b=1", "flag; ", "flag; b=1",
       "flag;"},
      {"an empty response item survives", "a=1", "; b=2; ", "; b=2; a=1",
       ";b=2;"},
      {"seven bytes are no deletion mark", "", "deleted; =deleted; ", "deleted",
       "deleted;=deleted;"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Text cookies = c.cookies;
    Text returned = c.returned;
    Text copy = MergeCookies(cookies, returned);
    EXPECT_EQ(cookies, Text(c.merged));
    EXPECT_EQ(copy, Text(c.merged));
    EXPECT_EQ(returned, Text(c.returnedAfter));
  }
}

TEST(CookieHelpers, NamesAndDistinctJoins) {
  EXPECT_EQ(CookieName(" sid = 1=2"), Text("sid"));
  EXPECT_EQ(CookieName("  flag "), Text("flag"));
  EXPECT_EQ(CookieName("=v"), Text(""));
  EXPECT_TRUE(HasCookieName({"a=1", " b =2"}, "b"));
  EXPECT_FALSE(HasCookieName({"a=1", "B=2"}, "b"));
  EXPECT_FALSE(HasCookieName({}, ""));
  EXPECT_TRUE(HasCookieName({""}, ""));
  EXPECT_EQ(JoinDistinct("", "; "), Text(""));
  EXPECT_EQ(JoinDistinct("x; y; x", "; "), Text("x; y"));
  EXPECT_EQ(JoinDistinct("x;y;x;", ";"), Text("x;y"));
  EXPECT_EQ(JoinDistinct("a--b--a--c", "--"), Text("a--b--c"));
  EXPECT_TRUE(ContainsText({"a", ""}, ""));
  EXPECT_FALSE(ContainsText({"a", "b"}, "A"));
  EXPECT_FALSE(ContainsText({}, ""));
}

}  // namespace
}  // namespace velk
