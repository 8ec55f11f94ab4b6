#include "text/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <type_traits>

namespace velk {
namespace {

using std::nullopt;

// The types must not mix: a Bytes value is no Text and the other way round.
static_assert(!std::is_convertible_v<Bytes, Text>);
static_assert(!std::is_convertible_v<Text, Bytes>);
static_assert(!std::is_convertible_v<const char*, Bytes>);

TEST(TextTypes, AbsentAndEmptyAreOneValue) {
  EXPECT_EQ(Text(nullptr), Text(""));
  EXPECT_EQ(Text(), Text(""));
  EXPECT_EQ(TextLength(Text(nullptr)), 0);
  EXPECT_EQ(Bytes(), Bytes(std::string_view()));
  EXPECT_EQ(MemberCount(TextArray()), 0);
  // A Text never holds a NUL: its bytes end at the first one.
  EXPECT_EQ(Text(std::string_view("a\0b", 3)), Text("a"));
}

struct FindCase {
  const char* name;
  const char* text;
  const char* sought;
  std::optional<int> start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, Cases) {
  const FindCase kCases[] = {
      {"empty sought in text", "abc", "", nullopt, false, 1},
      {"empty sought in empty text", "", "", nullopt, false, -1},
      {"empty sought gives 1 whatever the start", "abc", "", 3, false, 1},
      {"empty sought past the end", "abc", "", 4, false, -1},
      {"start inside", "a:b:c", ":", 3, false, 4},
      {"start 0 is the first byte", "a:b", ":", 0, false, 2},
      {"start -1 is the first byte", "a:b", ":", -1, false, 2},
      {"start past the end", "a:b", ":", 9, false, -1},
      {"position counts from the text, not the start", "xxabab", "ab", 5, false,
       5},
      {"ignore case folds ASCII", "User-agent: x", "User-Agent:", nullopt, true,
       1},
      {"exact case", "User-agent: x", "User-Agent:", nullopt, false, -1},
      // 0xA3 0xC1 is the full-width A: never equal to an ASCII letter.
      {"full-width letter is not ASCII", "\xA3\xC1", "A", nullopt, true, -1},
      {"bytes above 0x80 never fold", "\xC4\xE3", "\xE4\xE3", nullopt, true,
       -1},
      {"no match at a second byte", "\x81\x41", "A", nullopt, false, -1},
      {"match after a two-byte character", "\x81\x41\x41", "A", nullopt, false,
       3},
      {"second-byte hit, then a hit at a character start",
       "\xB0\xA1\xB0\xA1\xA1\xB0\xA1", "\xA1\xB0", nullopt, false, 5},
      {"odd run before an ASCII byte", "\xB0\xA1\xB0\x41\x41", "A", nullopt,
       false, 5},
      {"start on a second byte walks from there", "\x81\x41", "A", 2, false, 2},
      {"sought longer than the rest", "abc", "bcd", nullopt, false, -1},
      {"match reaching the very end", "abcd", "cd", nullopt, false, 3},
      {"Chinese text sought in Chinese", "\xD6\xD0\xCE\xC4",  // 中文
       "\xCE\xC4", nullopt, false, 3},
      {"a lone lead byte at the end can still be found", "ab\x81", "\x81",
       nullopt, false, 3},
      {"match after a run of ASCII following Chinese", "\xD6\xD0:\xD6\xD0x:y",
       "x:", nullopt, false, 6},
  };
  for (const FindCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindText(c.text, c.sought, c.start, c.ignoreCase), c.expected);
  }
}

TEST(FindText, LongRunOfTwoByteCharactersWithSecondByteHits) {
  // 4000 characters 0xB0 0xA1: the bytes "\xA1\xB0" occur at every second
  // byte, never at a character start; the sought text is at the end.
  std::string text;
  for (int i = 0; i < 4000; ++i) text += "\xB0\xA1";
  text += "\xA1\xB0";
  const int expected = 8001;
  EXPECT_EQ(FindText(Text(text), "\xA1\xB0", nullopt, false), expected);
  EXPECT_EQ(FindText(Text(text), "\xA1\xB0", 2, false), 2);
  EXPECT_EQ(FindText(Text(text), "\xa1\xb0", 3, false), expected);
}

TEST(FindTextReverse, Cases) {
  const FindCase kCases[] = {
      {"last colon", "host:8080:1", ":", nullopt, false, 10},
      {"none", "abc", ":", nullopt, false, -1},
      {"overlapping matches", "aaa", "aa", nullopt, false, 2},
      {"region ends before start", "a:b:c", ":", 4, false, 2},
      {"start 1 is an empty region", "a:b", ":", 1, false, -1},
      {"start beyond the length is the whole text", "a:b", ":", 50, false, 2},
      {"empty sought", "abc", "", nullopt, false, 1},
      {"empty sought in empty region", "abc", "", 1, false, -1},
      {"never at a second byte", "a\x81:", ":", nullopt, false, -1},
      {"ignore case", "xAbab", "AB", nullopt, true, 4},
  };
  for (const FindCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindTextReverse(c.text, c.sought, c.start, c.ignoreCase),
              c.expected);
  }
}

TEST(FindBytes, Cases) {
  const Bytes body(std::string_view("ab\0cab", 6));
  EXPECT_EQ(FindBytes(body, Bytes(std::string_view("\0c", 2))), 3);
  EXPECT_EQ(FindBytes(body, Bytes("ab")), 1);
  EXPECT_EQ(FindBytes(body, Bytes("ab"), 2), 5);
  EXPECT_EQ(FindBytes(body, Bytes("ab"), -3), 1);
  EXPECT_EQ(FindBytes(body, Bytes("ab"), 7), -1);
  EXPECT_EQ(FindBytes(body, Bytes("abc")), -1);
  // Unlike FindText, an empty sought value finds nothing.
  EXPECT_EQ(FindBytes(body, Bytes()), -1);
  // Plain bytes: a second byte is a candidate like any other.
  EXPECT_EQ(FindBytes(Bytes("\x81\x41"), Bytes("A")), 2);
}

TEST(Cuts, LeftRightMid) {
  EXPECT_EQ(TextLeft("abc", 0), Text());
  EXPECT_EQ(TextLeft("abc", -2), Text());
  EXPECT_EQ(TextLeft("abc", 10), Text("abc"));
  EXPECT_EQ(TextLeft("abc", 2), Text("ab"));
  EXPECT_EQ(TextRight("abc", -1), Text());
  EXPECT_EQ(TextRight("abcdef", 2), Text("ef"));
  EXPECT_EQ(TextRight("abc", 3), Text("abc"));
  EXPECT_EQ(TextMid("abcdef", 2, 3), Text("bcd"));
  EXPECT_EQ(TextMid("abcdef", 5, 10), Text("ef"));
  EXPECT_EQ(TextMid("abcdef", 0, 3), Text());
  EXPECT_EQ(TextMid("abcdef", 7, 1), Text());
  EXPECT_EQ(TextMid("abcdef", 6, 0), Text());
  // Plain byte counts may cut a two-byte character in half.
  EXPECT_EQ(TextLeft("\xD6\xD0", 1), Text("\xD6"));
  // A failed search minus one, used as a count, gives nothing.
  EXPECT_EQ(TextLeft("abc", -1 - 1), Text());
  EXPECT_EQ(BytesLeft(Bytes("abc"), 2), Bytes("ab"));
  EXPECT_EQ(BytesLeft(Bytes("abc"), 9), Bytes("abc"));
  EXPECT_EQ(BytesLeft(Bytes("abc"), -1), Bytes());
}

TEST(ToLower, FoldsAsciiOnly) {
  EXPECT_EQ(ToLower("HTTPS://Srv.Example/"), Text("https://srv.example/"));
  // The second byte 0x41 of 0x81 0x41 stays a capital.
  EXPECT_EQ(ToLower("\x81\x41Z"), Text("\x81\x41z"));
  // Full-width capitals are not ASCII.
  EXPECT_EQ(ToLower("\xA3\xC1"), Text("\xA3\xC1"));
  // A truncated final character stays in place.
  EXPECT_EQ(ToLower("A\xB0"), Text("a\xB0"));
  EXPECT_EQ(ToLower(""), Text());
}

TEST(ToInteger, Cases) {
  struct Case {
    const char* name;
    const char* text;
    int expected;
  };
  const Case kCases[] = {
      {"plain", "8080", 8080},
      {"white space, sign, trailing junk", " -12abc", -12},
      {"plus sign", "\t+7", 7},
      {"empty", "", 0},
      {"no digits", "abc", 0},
      {"no hexadecimal form", "0x1F", 0},
      {"full-width digits", "\xA3\xB8\xA3\xB0", 80},                   // ８０
      {"full-width minus and space", "\xA1\xA1\xA3\xAD\xA3\xB5", -5},  // －５
      {"sign alone", "-", 0},
      {"two signs", "+-3", 0},
      {"other two-byte character ends the digits",
       "12\xD6\xD0"
       "3",
       12},
      {"truncated final character dropped", "42\xB0", 42},
      {"wraps above the maximum", "2147483648",
       std::numeric_limits<int>::min()},
      {"wraps modulo 2^32", "4294967297", 1},
      {"minimum", "-2147483648", std::numeric_limits<int>::min()},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToInteger(c.text), c.expected);
  }
}

TEST(Blanks, TrimBothAndRemoveAllSpaces) {
  struct Case {
    const char* name;
    const char* text;
    const char* trimmed;
    const char* removed;
  };
  const Case kCases[] = {
      {"ASCII and full-width mixed", " \xA1\xA1 a b\xA1\xA1 ", "a b", "ab"},
      {"only blanks", "   ", "", ""},
      {"tab CR LF are no blanks", "\t a\r\n", "\t a\r\n", "\ta\r\n"},
      {"full-width inside",
       "a b\xA1\xA1"
       "c",
       "a b\xA1\xA1"
       "c",
       "abc"},
      {"second byte A1 is no blank", "\xB0\xA1\xA1\xA1", "\xB0\xA1",
       "\xB0\xA1"},
      {"truncated end: only that byte goes", "a  \xB0", "a  ", "a"},
      {"lone A1 at the end", " \xA1", "", ""},
      {"empty", "", "", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TrimBoth(c.text), Text(c.trimmed));
    EXPECT_EQ(RemoveAllSpaces(c.text), Text(c.removed));
  }
}

TEST(ReplaceText, Cases) {
  struct Case {
    const char* name;
    const char* text;
    const char* sought;
    std::optional<Text> replacement;
    std::optional<int> start;
    std::optional<int> count;
    bool caseSensitive;
    const char* expected;
  };
  const char* kQuote = "#\xD2\xFD\xBA\xC5";  // #引号
  const std::string quoted =
      std::string("x") + kQuote + "y" + kQuote;  // x#引号y#引号
  const Case kCases[] = {
      {"placeholder to quote", quoted.c_str(), kQuote, Text("\""), nullopt,
       nullopt, true, "x\"y\""},
      {"replacement holding the sought text is not searched again", "aa", "a",
       Text("aa"), nullopt, nullopt, true, "aaaa"},
      {"no overlap", "aaa", "aa", Text("b"), nullopt, nullopt, true, "ba"},
      {"default replacement is empty", "a-b-c", "-", nullopt, nullopt, nullopt,
       true, "abc"},
      {"start copies the head", "a-b-c", "-", Text("+"), 3, nullopt, true,
       "a-b+c"},
      {"count limits", "a-b-c", "-", Text("+"), nullopt, 1, true, "a+b-c"},
      {"count 0 changes nothing", "a-b", "-", Text("+"), nullopt, 0, true,
       "a-b"},
      {"negative count is no limit", "a-b-c", "-", Text("+"), nullopt, -1, true,
       "a+b+c"},
      {"case-insensitive", "aAa", "A", Text("x"), nullopt, nullopt, false,
       "xxx"},
      {"case-sensitive", "aAa", "A", Text("x"), nullopt, nullopt, true, "axa"},
      {"never at a second byte",
       "\x81\x41"
       "A",
       "A", Text("x"), nullopt, nullopt, true, "\x81\x41x"},
      {"start past the end", "abc", "c", Text("x"), 4, nullopt, true, "abc"},
      {"empty sought", "abc", "", Text("x"), nullopt, nullopt, true, "abc"},
      {"truncated final character dropped", "a-\xB0", "-", Text("+"), nullopt,
       nullopt, true, "a+"},
      {"rest shorter than sought copied", "abc\xB0", "xyz", Text("+"), nullopt,
       nullopt, true, "abc\xB0"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReplaceText(c.text, c.sought, c.replacement, c.start, c.count,
                          c.caseSensitive),
              Text(c.expected));
  }
}

TEST(SplitText, Cases) {
  struct Case {
    const char* name;
    const char* text;
    std::optional<Text> delimiter;
    std::optional<int> limit;
    TextArray expected;
  };
  const Case kCases[] = {
      {"trailing delimiter gives no empty member",
       "a;b;",
       Text(";"),
       nullopt,
       {"a", "b"}},
      {"leading delimiter", ";a", Text(";"), nullopt, {"", "a"}},
      {"doubled delimiter", "a;;b", Text(";"), nullopt, {"a", "", "b"}},
      {"delimiter alone", ";", Text(";"), nullopt, {""}},
      {"empty text", "", Text(";"), nullopt, {}},
      {"empty delimiter", "abc", Text(""), nullopt, {"abc"}},
      {"CR LF", "x\r\ny", Text("\r\n"), nullopt, {"x", "y"}},
      {"default delimiter is a comma", "a,b", nullopt, nullopt, {"a", "b"}},
      {"limit drops the rest", "a;b;c", Text(";"), 2, {"a", "b"}},
      {"limit 0", "a;b", Text(";"), 0, {}},
      {"negative limit counts as 0", "a;b", Text(";"), -3, {}},
      {"limit above the count", "a;b", Text(";"), 5, {"a", "b"}},
      {"exact comparison", "aXbxc", Text("x"), nullopt, {"aXb", "c"}},
      {"never at a second byte", "\x81;;b", Text(";"), nullopt, {"\x81;", "b"}},
      {"truncated final character kept in the last member",
       "a;b\xB0",
       Text(";"),
       nullopt,
       {"a", "b\xB0"}},
      {"no delimiter gives the text", "abc", Text(";"), nullopt, {"abc"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SplitText(c.text, c.delimiter, c.limit), c.expected);
  }
}

TEST(Conversions, BytesTextNumbersBlanks) {
  EXPECT_EQ(BytesToText(Bytes(std::string_view("a\0b", 3))), Text("a"));
  EXPECT_EQ(BytesToText(Bytes(std::string_view("\0b", 2))), Text());
  EXPECT_EQ(BytesToText(Bytes("\xD6\xD0")), Text("\xD6\xD0"));
  EXPECT_EQ(TextToBytes(""), Bytes());
  EXPECT_EQ(TextToBytes("ab"), Bytes("ab"));
  EXPECT_EQ(NumberToText(-7), Text("-7"));
  EXPECT_EQ(NumberToText(0), Text("0"));
  EXPECT_EQ(NumberToText(std::numeric_limits<int>::min()), Text("-2147483648"));
  EXPECT_EQ(BlankText(3), Text("   "));
  EXPECT_EQ(BlankText(0), Text());
  EXPECT_EQ(BlankBytes(2), Bytes(std::string_view("\0\0", 2)));
  EXPECT_EQ(BlankBytes(-1), Bytes());
  EXPECT_EQ(CharFromCode(0), Text());
  EXPECT_EQ(TextLength(CharFromCode(0)), 0);
  EXPECT_EQ(CharFromCode(0x41), Text("A"));
}

TEST(Comparison, TextAndBytes) {
  EXPECT_EQ(CompareText(Text(nullptr), ""), 0);
  EXPECT_GT(CompareText("a", "B"), 0);  // never folds case
  EXPECT_LT(CompareText("ab", "abc"), 0);
  EXPECT_LT(CompareText("", "a"), 0);
  EXPECT_GT(CompareText("\xB0", "a"), 0);  // unsigned bytes
  EXPECT_EQ(CompareBytes(Bytes(), Bytes()), 0);
  EXPECT_NE(CompareBytes(Bytes("a"), Bytes(std::string_view("a\0", 2))), 0);
}

TEST(Composition, ConcatBitOrMembers) {
  EXPECT_EQ(ConcatText("a", Text(), "", "b"), Text("ab"));
  EXPECT_EQ(ConcatText(""), Text());
  EXPECT_EQ(ConcatBytes(Bytes("a"), Bytes(std::string_view("\0", 1))),
            Bytes(std::string_view("a\0", 2)));
  EXPECT_EQ(BitOr(0x80000000 | 0, 0x10, 0x4000), static_cast<int>(0x80004010u));
  EXPECT_EQ(BitOr(5), 5);
  TextArray array;
  AppendMember(array, "x");
  AppendMember(array, "");
  EXPECT_EQ(MemberCount(array), 2);
  EXPECT_EQ(array[2], Text());
}

}  // namespace
}  // namespace velk
