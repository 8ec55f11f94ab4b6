#include "regex/regex_object.h"

#include <gtest/gtest.h>

#include "platform/automation/automation.h"
#include "text/extract.h"

namespace velk {
namespace {

// The system's row pattern, with the placeholder for its double quotes.
const Text kRowPattern(
    "<tr><td class=#\xD2\xFD\xBA\xC5name#\xD2\xFD\xBA\xC5>(.*?)</td><td "
    "class=#\xD2\xFD\xBA\xC5size#\xD2\xFD\xBA\xC5>(.*?)<(.*?)Detail</a><a "
    "href=#\xD2\xFD\xBA\xC5(.*?)#\xD2\xFD\xBA\xC5 title=");

Text Row(const Text& name, const Text& size, const Text& link) {
  return ConcatText("<tr><td class=\"name\">", name, "</td><td class=\"size\">",
                    size, "</td><td><a href=\"/d\">Detail</a><a href=\"", link,
                    "\" title=\"t\"></td></tr>\r\n");
}

TEST(RegexObjectTest, CreateDefaultsAndOptions) {
  RegexObject regex;
  // No options: IgnoreCase, Multiline and Global all true.
  EXPECT_TRUE(regex.Create("^b", "aB\nb\nB"));
  EXPECT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.MatchText(1), Text("b"));
  EXPECT_EQ(regex.MatchText(2), Text("B"));

  EXPECT_TRUE(regex.Create("b", "aBb", /*caseSensitive=*/true));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_TRUE(regex.Create("^b", "b\nb", false, /*multiline=*/false));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_TRUE(regex.Create("b", "bbb", false, true, /*global=*/false));
  EXPECT_EQ(regex.MatchCount(), 1);

  // "Singleline" is written but the engine has no such property: "." still
  // stops at a line feed.
  EXPECT_TRUE(regex.Create("a.b", "a\nb"));
  EXPECT_EQ(regex.MatchCount(), 0);
}

TEST(RegexObjectTest, QuotePlaceholder) {
  const Text pattern("href=#\xD2\xFD\xBA\xC5(.*?)#\xD2\xFD\xBA\xC5");  // #引号
  RegexObject regex;
  EXPECT_TRUE(regex.Create(pattern, "<a href=\"x\">"));
  EXPECT_EQ(regex.GetPattern(), pattern);  // left as it is by default
  EXPECT_EQ(regex.MatchCount(), 0);

  EXPECT_TRUE(regex.Create(pattern, "<a href=\"x\">", std::nullopt,
                           std::nullopt, std::nullopt, true));
  EXPECT_EQ(regex.GetPattern(), Text("href=\"(.*?)\""));
  EXPECT_EQ(regex.SubmatchText(1, 1), Text("x"));
}

TEST(RegexObjectTest, RowsWithChineseNames) {
  const Text name1("\xD6\xD0\xCE\xC4 A");  // 中文 A
  const Text name2("\xB2\xE2\xCA\xD4");    // 测试
  const Text page = ConcatText("<html>\r\n", Row(name1, "1.2 GB", "magnet:?a"),
                               "<tr><td class=\"name\">broken</td></tr>\r\n",
                               Row(name2, "700 MB", "magnet:?b"), "</html>");
  RegexObject regex;
  ASSERT_TRUE(regex.Create(kRowPattern, page, false, true, true, true));
  ASSERT_EQ(regex.MatchCount(), 2);
  EXPECT_EQ(regex.SubmatchCount(), 4);
  EXPECT_EQ(regex.SubmatchText(1, 1), name1);
  EXPECT_EQ(regex.SubmatchText(1, 2), Text("1.2 GB"));
  EXPECT_EQ(regex.SubmatchText(1, 4), Text("magnet:?a"));
  EXPECT_EQ(regex.SubmatchText(2, 1), name2);
  EXPECT_EQ(regex.SubmatchText(2, 4), Text("magnet:?b"));
}

TEST(RegexObjectTest, Positions) {
  struct Case {
    const char* name;
    Text pattern;
    Text subject;
    std::optional<bool> caseSensitive;
    int matchIndex;
    int submatchIndex;  // 0: MatchText
    Text text;
    int position;
  };
  const Case kCases[] = {
      {"second of three", "a", "aaa", std::nullopt, 2, 0, "a", 1},
      {"group searched from its match, exact case", "b(B)", "xbB", true, 1, 1,
       "B", 2},
      {"group searched ignoring case finds the b", "b(B)", "xbB", std::nullopt,
       1, 1, "B", 1},
      // 中文ab: FirstIndex 3 counts units; the search from byte 4 finds b.
      {"two-byte characters before the match", "b",
       "\xD6\xD0\xCE\xC4"
       "ab",
       std::nullopt, 1, 0, "b", 5},
      // 中中中aa: FirstIndex of the second a is 4, and the search from there
      // meets the first a at byte 6.
      {"earlier occurrence after two-byte characters", "a",
       "\xD6\xD0\xD6\xD0\xD6\xD0"
       "aa",
       std::nullopt, 2, 0, "a", 6},
      {"match index past the end", "a", "xa", std::nullopt, 2, 0, "", 0},
      {"submatch index past the end", "(a)", "xa", std::nullopt, 1, 2, "", 0},
      {"match index zero", "a", "xa", std::nullopt, 0, 0, "", 0},
      {"nothing to search in", "a", "", std::nullopt, 1, 0, "", -2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    RegexObject regex;
    ASSERT_TRUE(regex.Create(c.pattern, c.subject, c.caseSensitive));
    int position = 99;
    const Text text =
        c.submatchIndex == 0
            ? regex.MatchText(c.matchIndex, &position)
            : regex.SubmatchText(c.matchIndex, c.submatchIndex, &position);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(position, c.position);
  }
}

TEST(RegexObjectTest, GroupsThatMatchNothing) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(x)?(y*)a", "a"));
  EXPECT_EQ(regex.SubmatchCount(), 2);
  EXPECT_EQ(regex.SubmatchText(1, 1), Text());  // took no part
  EXPECT_EQ(regex.SubmatchText(1, 2), Text());  // matched nothing
}

TEST(RegexObjectTest, NoMatchAndBadPattern) {
  RegexObject regex;
  EXPECT_TRUE(regex.Create("zzz", "abc"));
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.SubmatchCount(), 0);

  EXPECT_FALSE(regex.Create("(a", "abc"));
  EXPECT_EQ(regex.GetPattern(), Text("(a"));  // the engine exists
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1), Text());
  EXPECT_EQ(regex.Replace("x"), Text());
  EXPECT_EQ(regex.SubmatchCount(), 0);
  EXPECT_FALSE(regex.Create("(a)\\1", "aa"));  // backreferences
}

TEST(RegexObjectTest, CreateTwiceStartsOver) {
  RegexObject regex;
  ASSERT_TRUE(regex.Create("(a)(b)", "ab ab ab"));
  ASSERT_EQ(regex.MatchCount(), 3);
  ASSERT_TRUE(regex.Create("c", "xcx", std::nullopt, std::nullopt, false));
  EXPECT_EQ(regex.MatchCount(), 1);
  EXPECT_EQ(regex.SubmatchCount(), 0);
  EXPECT_EQ(regex.MatchText(2), Text());
  EXPECT_EQ(regex.Replace("[$&]"), Text("x[c]x"));
  EXPECT_EQ(regex.GetPattern(), Text("c"));
}

TEST(RegexObjectTest, ReplaceWithChineseText) {
  RegexObject regex;
  // 价格: 12 -> 价格: [12元]
  ASSERT_TRUE(regex.Create("(\\d+)", "\xBC\xDB\xB8\xF1: 12"));
  EXPECT_EQ(regex.Replace("[$1\xD4\xAA]"),
            Text("\xBC\xDB\xB8\xF1: [12\xD4\xAA]"));
}

TEST(RegexObjectTest, FreshObjectGivesEmptyResults) {
  RegexObject regex;
  int position = 99;
  EXPECT_EQ(regex.GetPattern(), Text());
  EXPECT_EQ(regex.Replace("x"), Text());
  EXPECT_EQ(regex.MatchCount(), 0);
  EXPECT_EQ(regex.MatchText(1, &position), Text());
  EXPECT_EQ(position, -2);
  EXPECT_EQ(regex.SubmatchText(1, 1), Text());
  EXPECT_EQ(regex.SubmatchCount(), 0);
}

TEST(RegexObjectTest, InitialisationStaysBalanced) {
  const int before = platform::AutomationInitializeCount();
  {
    RegexObject regex;
    EXPECT_EQ(platform::AutomationInitializeCount(), before + 1);
    ASSERT_TRUE(regex.Create("(b)", "abc"));
    {
      RegexObject copy = regex.Copy();
      EXPECT_EQ(platform::AutomationInitializeCount(), before + 2);
      EXPECT_EQ(copy.SubmatchText(1, 1), Text("b"));
      EXPECT_EQ(copy.Replace("x"), Text("axc"));
      RegexObject moved = std::move(copy);
      EXPECT_EQ(platform::AutomationInitializeCount(), before + 2);
      EXPECT_EQ(moved.MatchCount(), 1);
    }
    EXPECT_EQ(platform::AutomationInitializeCount(), before + 1);
    // The copy's release left the original's objects alone.
    EXPECT_EQ(regex.MatchText(1), Text("b"));
    RegexObject other;
    other = std::move(regex);
    EXPECT_EQ(platform::AutomationInitializeCount(), before + 1);
    EXPECT_EQ(other.MatchText(1), Text("b"));
  }
  EXPECT_EQ(platform::AutomationInitializeCount(), before);
}

}  // namespace
}  // namespace velk
