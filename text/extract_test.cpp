#include "text/extract.h"

#include <gtest/gtest.h>

#include <string>

namespace velk {
namespace {

TEST(QuotePlaceholder, IsFiveBytesOf936) {
  EXPECT_EQ(TextLength(QuotePlaceholder), 5);
  EXPECT_EQ(Text(QuotePlaceholder), Text("#\xD2\xFD\xBA\xC5"));  // #引号
}

TEST(TextBetween, Cases) {
  const std::string q = QuotePlaceholder;
  struct Case {
    const char* name;
    std::string text;
    std::string left;
    std::string right;
    int start;
    bool caseSensitive;
    const char* expected;
  };
  const Case kCases[] = {
      {"plain", "a=b;c", "=", ";", 0, false, "b"},
      {"header name in lower case", "user-agent: X\r\n", "User-Agent:", "\r\n",
       0, false, " X"},
      {"longer header name ending in the marker", "X-User-Agent: Y\r\nZ",
       "User-Agent:", "\r\n", 0, false, " Y"},
      {"case-sensitive misses", "user-agent: X\r\n", "User-Agent:", "\r\n", 0,
       true, ""},
      {"quote placeholders", "<a href=\"word\">", "href=" + q, q, 0, false,
       "word"},
      {"left marker missing", "abc", "x", "c", 0, false, ""},
      {"right marker missing after the left", "c=ab", "=", "c", 0, false, ""},
      {"right marker right after the left", "a=;", "=", ";", 0, false, ""},
      {"right marker never inside the left", "a=b", "a=", "=", 0, false, ""},
      {"empty right marker", "abc", "a", "", 0, false, ""},
      {"empty left marker starts at the first byte", "abc;", "", ";", 0, false,
       "abc"},
      {"start past the end", "a=b;", "=", ";", 9, false, ""},
      {"start skips the first left marker", "=a;=b;", "=", ";", 2, false, "b"},
      {"first right marker after the left", "=a;b;", "=", ";", 0, false, "a"},
      {"never at a second byte", "\x81=x=y;", "=", ";", 0, false, "y"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextBetween(Text(c.text), Text(c.left), Text(c.right), c.start,
                          c.caseSensitive),
              Text(c.expected));
  }
}

TEST(HeaderValue, Cases) {
  struct Case {
    const char* name;
    const char* line;
    const char* expected;
  };
  const Case kCases[] = {
      {"absolute address keeps its colons", "Location: http://b.example:81/x",
       "http://b.example:81/x"},
      {"no colon", "Location x", ""},
      {"ends at its colon", "Location:", ""},
      {"full-width and ASCII blanks trimmed", "A:\xA1\xA1 v \xA1\xA1", "v"},
      {"tabs are no blanks", "A:\tv\t", "\tv\t"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(HeaderValue(c.line), Text(c.expected));
  }
}

}  // namespace
}  // namespace velk
