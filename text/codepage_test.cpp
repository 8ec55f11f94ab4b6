// Tests of the five code page conversions through the real code page
// service: results, the cuts and paddings that come from the sizing rules,
// and the code page 936 repertoire taken from glibc's iconv.
#include "text/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "text/text.h"

namespace velk {
namespace {

Bytes B(std::string_view bytes) { return Bytes(bytes); }

// UTF-16 units as little-endian Bytes.
Bytes W(std::u16string_view units) {
  Bytes bytes;
  for (char16_t unit : units) {
    const char pair[2] = {static_cast<char>(unit & 0xFF),
                          static_cast<char>(unit >> 8)};
    bytes.Append(pair, 2);
  }
  return bytes;
}

using namespace std::string_view_literals;

TEST(Utf8BytesToWide, AllUnitsOfTheWholeInputWithoutTerminator) {
  struct Case {
    const char* name;
    Bytes utf8;
    Bytes wide;
  };
  const Case kCases[] = {
      {"empty", Bytes(), Bytes()},
      {"A and U+4E2D", B("A\xE4\xB8\xAD"), B("\x41\x00\x2D\x4E"sv)},
      {"NUL bytes stay", B("a\0b"sv), W(u"a\0b"sv)},
      {"lone 0xFF", B("\xFF"), W(u"\uFFFD")},
      {"four-byte form", B("\xF0\x9F\x98\x80"), W(u"\U0001F600")},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8BytesToWide(c.utf8), c.wide);
  }
}

TEST(Utf8BytesToGbk, FullEncodingLengthZeroFilledAfterANul) {
  struct Case {
    const char* name;
    Bytes utf8;
    Bytes gbk;
  };
  const Case kCases[] = {
      {"empty", Bytes(), Bytes()},
      {"中文", B("\xE4\xB8\xAD\xE6\x96\x87"), B("\xD6\xD0\xCE\xC4")},
      {"ASCII body byte for byte", B("<html>\r\n<p>x</p>\t"),
       B("<html>\r\n<p>x</p>\t")},
      // The full encoding is 2 + 1 + 2 + 1 bytes; everything from the NUL on
      // is zero, the 中 after it included.
      {"NUL in the middle",
       B("ab\0\xE4\xB8\xAD"
         "c"sv),
       B("ab\0\0\0\0"sv)},
      {"NUL first", B("\0\xE4\xB8\xAD"sv), B("\0\0\0"sv)},
      {"character 936 lacks",
       B("a\xE0\xB8\x81"
         "b"),
       B("a?b")},  // U+0E01
      {"emoji: one ? per unit", B("\xF0\x9F\x98\x80"), B("??")},
      {"lone 0xFF", B("x\xFFy"), B("x?y")},
      {"best fit", B("\xC2\xA5"), B("\xA3\xA4")},          // ¥ gives ￥
      {"composite check", B("e\xCC\x81"), B("\xA8\xA6")},  // e + U+0301: é
      {"zero-width space",
       B("a\xE2\x80\x8B"
         "b"),
       B("a?b")},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8BytesToGbk(c.utf8), c.gbk);
  }
}

TEST(TextToWide, SizedByTheAnsiCountOfTheText) {
  struct Case {
    const char* name;
    Text text;
    std::optional<int> codePage;
    Bytes wide;
  };
  const Case kCases[] = {
      {"empty: one U+0000 unit", Text(), std::nullopt, W(u"\0"sv)},
      {"ASCII and terminator", "ab", std::nullopt, W(u"ab\0"sv)},
      // Under 936 the three bytes of 中 are one character and a lead byte
      // before the NUL: three units with the terminator. UTF-8 needs two,
      // and the third stays zero.
      {"UTF-8 padded with zero units", "\xE4\xB8\xAD", std::nullopt,
       W(u"\u4E2D\0\0"sv)},
      {"65001 given is the default", "\xE4\xB8\xAD", 65001, W(u"\u4E2D\0\0"sv)},
      // 中A in 936: three units with the terminator. As UTF-8 they are
      // U+FFFD U+FFFD A and the terminator, four: cut after three.
      {"cut, no terminator",
       "\xD6\xD0"
       "A",
       std::nullopt, W(u"\uFFFD\uFFFDA")},
      {"936 given",
       "\xD6\xD0"
       "A",
       936, W(u"\u4E2DA\0"sv)},
      {"0 given is the ANSI page",
       "\xD6\xD0"
       "A",
       0, W(u"\u4E2DA\0"sv)},
      {"a page the service lacks leaves zeros", "ab", 1252, W(u"\0\0\0"sv)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(TextToWide(c.text, c.codePage), c.wide);
  }
}

TEST(WideToText, EncodesUpToTheFirstU0000) {
  struct Case {
    const char* name;
    Bytes wide;
    std::optional<int> codePage;
    Text text;
  };
  const Case kCases[] = {
      {"empty", Bytes(), std::nullopt, Text()},
      {"one U+0000 unit", W(u"\0"sv), std::nullopt, Text()},
      {"default is the ANSI page", W(u"\u4E2DA"), std::nullopt,
       "\xD6\xD0"
       "A"},
      {"936 given", W(u"\u4E2DA\0"sv), 936,
       "\xD6\xD0"
       "A"},
      {"65001 given", W(u"\u4E2DA"), 65001,
       "\xE4\xB8\xAD"
       "A"},
      {"stops at U+0000", W(u"a\0b"sv), std::nullopt, "a"},
      {"odd last byte is not a unit", B("a\0b"sv), std::nullopt, "a"},
      {"no terminator: to the end", W(u"xyz"), 936, "xyz"},
      {"what 936 lacks", W(u"\uFFFD\uFFFDA"), 936, "??A"},
      // UTF-8 needs three bytes for what the ANSI page writes as one '?':
      // the buffer of twice the ANSI size takes two, the rest stays blank.
      {"chosen page needs more than the buffer", W(u"\xD800\xD800\xD800"),
       65001, "\xEF\xBF\xBD\xEF\xBF\xBD  "},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WideToText(c.wide, c.codePage), c.text);
  }
}

TEST(Utf8TextToGbk, WellFormedUtf8BecomesItsGbkForm) {
  struct Case {
    const char* name;
    Text utf8;
    Text gbk;
  };
  const Case kCases[] = {
      {"empty", Text(), Text()},
      {"中文", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
      {"ASCII", "<td>a b</td>", "<td>a b</td>"},
      // Text that is already 936: cut after the ANSI count of units.
      {"936 text is cut",
       "\xD6\xD0"
       "A",
       "??A"},
      {"lone 0xFF",
       "a\xFF"
       "b",
       "a?b"},
      // No composite check on this road: the mark is encoded by itself.
      {"e + U+0301", "e\xCC\x81", "e?"},
      {"best fit", "\xC2\xB5", "\xA6\xCC"},  // µ gives μ
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8TextToGbk(c.utf8), c.gbk);
  }
}

// Every double-byte character of glibc's CP936 written as one UTF-8 body:
// Utf8BytesToGbk must give back exactly the pairs, and decoding those pairs
// under 936 exactly the UTF-16 of the body.
TEST(Repertoire, WholeTableRoundTripsThroughTheRoutines) {
  iconv_t toUtf8 = iconv_open("UTF-8", "CP936");
  ASSERT_NE(toUtf8, reinterpret_cast<iconv_t>(-1));
  std::string utf8;
  std::string gbk;
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char out[8];
      char* in = pair;
      size_t inLeft = 2;
      char* outAt = out;
      size_t outLeft = sizeof out;
      iconv(toUtf8, nullptr, nullptr, nullptr, nullptr);
      if (iconv(toUtf8, &in, &inLeft, &outAt, &outLeft) ==
          static_cast<size_t>(-1)) {
        continue;  // a user-defined cell; the service test covers those
      }
      utf8.append(out, sizeof out - outLeft);
      gbk.append(pair, 2);
      ++characters;
    }
  }
  iconv_close(toUtf8);
  EXPECT_EQ(characters, 21791);

  EXPECT_EQ(Utf8BytesToGbk(Bytes(utf8)), Bytes(gbk));
  EXPECT_EQ(Utf8TextToGbk(Text(utf8)), Text(gbk));
  Bytes wide = Utf8BytesToWide(Bytes(utf8));
  Bytes decoded = TextToWide(Text(gbk), 936);
  // The 936 decoding fills the buffer sized by the 936 count and ends in
  // the terminator unit.
  ASSERT_EQ(decoded.length(), wide.length() + 2);
  EXPECT_EQ(BytesLeft(decoded, wide.length()), wide);
  EXPECT_EQ(WideToText(wide, 936), Text(gbk));
}

}  // namespace
}  // namespace velk
