// Tests of the code page service: the conversions and the shape of the two
// calls (terminator, sizing, full buffers, failures).
#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage/codepage_test_util.h"

namespace velk::platform {
namespace {

using test_util::Decode;
using test_util::Encode;
using test_util::Hex;
using test_util::Iconv;
using test_util::Units;
using test_util::Utf16Le;

TEST(Utf8Decoding, IllFormedInputBecomesOneReplacementPerMaximalSubpart) {
  struct Case {
    const char* name;
    std::string utf8;
    Units units;
  };
  const Case kCases[] = {
      {"ASCII and U+4E2D", "A\xE4\xB8\xAD", u"A\u4E2D"},
      {"NUL in the middle", std::string("a\0b", 3), Units(u"a\0b", 3)},
      {"four bytes give a surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"lone 0xFF", "\xFF", u"\uFFFD"},
      {"continuation byte alone", "\x80x", u"\uFFFDx"},
      {"truncated at the end", "a\xE4\xB8", u"a\uFFFD"},
      {"truncated four-byte form", "\xF0\x9F\x98z", u"\uFFFDz"},
      {"broken by ASCII, which is read afresh",
       "\xE4\xB8"
       "A",
       u"\uFFFDA"},
      {"overlong two-byte form", "\xC0\x80", u"\uFFFD\uFFFD"},
      {"overlong three-byte form", "\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"two leads in a row", "\xE4\xE4\xB8\xAD", u"\uFFFD\u4E2D"},
      {"code page 936 bytes read as UTF-8",
       "\xD6\xD0"
       "A",
       u"\uFFFD\uFFFDA"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Decode(kCodePageUtf8, c.utf8)), Hex(c.units));
  }
}

TEST(Utf8Encoding, SurrogatesOutsideAPairBecomeTheReplacementCharacter) {
  struct Case {
    const char* name;
    Units units;
    std::string utf8;
  };
  const Case kCases[] = {
      {"one to three bytes", u"A\u00E9\u4E2D", "A\xC3\xA9\xE4\xB8\xAD"},
      {"pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"lone high surrogate", Units(1, char16_t{0xD83D}), "\xEF\xBF\xBD"},
      {"lone low surrogate", Units(1, char16_t{0xDE00}) + u"a",
       "\xEF\xBF\xBD"
       "a"},
      {"reversed pair", Units{char16_t{0xDE00}, char16_t{0xD83D}},
       "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"U+0000", Units(1, u'\0'), std::string(1, '\0')},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Encode(kCodePageUtf8, c.units)), Hex(c.utf8));
  }
}

TEST(GbkEncoding, BestFitOrQuestionMarkForWhatTheCodePageLacks) {
  struct Case {
    const char* name;
    Units units;
    std::string gbk;
  };
  const Case kCases[] = {
      {"中文", u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
      {"ASCII", u"<a href=x>", "<a href=x>"},
      {"euro sign is 0x80", u"\u20AC", "\x80"},
      {"yen sign best fit", u"\u00A5", "\xA3\xA4"},
      {"micro sign best fit", u"\u00B5", "\xA6\xCC"},
      {"compatibility ideograph best fit", u"\uF900", "\xD8\x4D"},  // 豈
      {"replacement character", u"\uFFFD", "?"},
      {"Thai letter", u"\u0E01", "?"},
      {"emoji: one ? per unit", u"\U0001F600", "??"},
      {"lone surrogate", Units(1, char16_t{0xDC00}), "?"},
      // ICU writes nothing for these; the platform writes '?'.
      {"default-ignorable characters", u"\uFEFF\u200B\u200F\u2060\uFE0F",
       "?????"},
      // ICU maps these to control bytes; the platform writes '?'.
      {"half-width arrows and circle", u"\uFFE9\uFFEA\uFFEB\uFFEC\uFFEE",
       "?????"},
      {"U+0000 is a byte like others", Units(u"a\0b", 3),
       std::string("a\0b", 3)},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Encode(kCodePageGbk, c.units)), Hex(c.gbk));
    EXPECT_EQ(Hex(Encode(kCodePageAnsi, c.units)), Hex(c.gbk));
  }
}

TEST(GbkEncoding, CompositeCheckUsesThePrecomposedFormWhereThereIsOne) {
  struct Case {
    const char* name;
    Units units;
    std::string composed;
    std::string separate;
  };
  const Case kCases[] = {
      {"e + acute", u"e\u0301", "\xA8\xA6", "e?"},         // é
      {"u + diaeresis", u"u\u0308x", "\xA8\xB9x", "u?x"},  // ü
      {"a + diaeresis: no 936 form", u"a\u0308", "a?", "a?"},
      // ê has a form, ế has none: the second mark stays separate.
      {"two marks", u"e\u0302\u0301", "\xA8\xBA?", "e??"},
      {"mark first", u"\u0301e", "?e", "?e"},
      {"precomposed already", u"\u00E9", "\xA8\xA6", "\xA8\xA6"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Encode(kCodePageGbk, c.units, kCompositeCheck)),
              Hex(c.composed));
    EXPECT_EQ(Hex(Encode(kCodePageGbk, c.units)), Hex(c.separate));
  }
}

// Canonical compositions of the letters and marks used below, from
// Unicode's tables: every one whose result 936 could hold is here.
struct Composition {
  char16_t base;
  char16_t mark;
  char16_t composed;
};
constexpr Composition kCompositions[] = {
    {u'a', 0x300, 0xE0},   {u'a', 0x301, 0xE1},   {u'a', 0x302, 0xE2},
    {u'a', 0x303, 0xE3},   {u'a', 0x304, 0x101},  {u'a', 0x308, 0xE4},
    {u'a', 0x30C, 0x1CE},  {u'e', 0x300, 0xE8},   {u'e', 0x301, 0xE9},
    {u'e', 0x302, 0xEA},   {u'e', 0x303, 0x1EBD}, {u'e', 0x304, 0x113},
    {u'e', 0x308, 0xEB},   {u'e', 0x30C, 0x11B},  {u'u', 0x300, 0xF9},
    {u'u', 0x301, 0xFA},   {u'u', 0x302, 0xFB},   {u'u', 0x303, 0x169},
    {u'u', 0x304, 0x16B},  {u'u', 0x308, 0xFC},   {u'u', 0x30C, 0x1D4},
    {0xFC, 0x300, 0x1DC},  {0xFC, 0x301, 0x1D8},  {0xFC, 0x304, 0x1D6},
    {0xFC, 0x30C, 0x1DA},  {0xEA, 0x300, 0x1EC1}, {0xEA, 0x301, 0x1EBF},
    {0xEA, 0x303, 0x1EC5}, {0xE4, 0x304, 0x1DF},
};

// The composite check written the plain way: a character takes in the
// marks after it while the composition is a character that glibc's CP936
// can encode; then each character is encoded without the check.
std::string ReferenceComposite(const Units& units) {
  Iconv toGbk("CP936", "UTF-16LE");
  std::string out;
  for (size_t at = 0; at < units.size();) {
    char16_t character = units[at++];
    while (at < units.size()) {
      const Composition* found = nullptr;
      for (const Composition& c : kCompositions) {
        if (c.base == character && c.mark == units[at]) found = &c;
      }
      if (found == nullptr || !toGbk.Convert(Utf16Le(found->composed))) break;
      character = found->composed;
      ++at;
    }
    out += Encode(kCodePageGbk, Units(1, character));
  }
  return out;
}

TEST(GbkEncoding, CompositeCheckAgreesWithAPlainReference) {
  const char16_t kAlphabet[] = {u'a',  u'e',   u'u',  0xFC,  0xEA,
                                u'x',  0x4E2D, 0x300, 0x301, 0x302,
                                0x303, 0x304,  0x308, 0x30C};
  uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 1500; ++round) {
    Units units;
    size_t size = 1 + next() % 10;
    for (size_t k = 0; k < size; ++k) {
      units += kAlphabet[next() % std::size(kAlphabet)];
    }
    SCOPED_TRACE(Hex(units));
    std::string expected = ReferenceComposite(units);
    ASSERT_EQ(Hex(Encode(kCodePageGbk, units, kCompositeCheck)), Hex(expected));
  }
}

TEST(GbkDecoding, LeadByteWithoutATrailByteIsOneReplacement) {
  struct Case {
    const char* name;
    std::string gbk;
    Units units;
  };
  const Case kCases[] = {
      {"中文", "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
      {"0x80 is the euro sign", "\x80", u"\u20AC"},
      {"0xFF", "\xFF", u"\uF8F5"},
      {"lead byte at the end", "A\xD6", u"A\uFFFD"},
      {"lead byte before a byte that cannot trail", "\xD6\x30", u"\uFFFD0"},
      {"lead byte before 0x7F", "\xD6\x7F", u"\uFFFD\u007F"},
      {"lead byte before 0xFF", "\xD6\xFF", u"\uFFFD\uF8F5"},
      // A lead byte is a valid trail byte: 0xD6 0xD6 is 种.
      {"lead byte as trail byte", "\xD6\xD6\xD0", u"\u79CD\uFFFD"},
      {"ASCII trail byte",
       "\xD6"
       "A",
       u"\u8AE5"},
      {"user-defined cell", "\xAA\xA1", u"\uE000"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Hex(Decode(kCodePageGbk, c.gbk)), Hex(c.units));
    EXPECT_EQ(Hex(Decode(kCodePageAnsi, c.gbk)), Hex(c.units));
  }
}

// Input in a heap block of exactly its size, so that ASan reports any read
// past its end.
template <typename Element>
std::unique_ptr<Element[]> Exact(const std::basic_string<Element>& data) {
  auto block = std::make_unique<Element[]>(data.size());
  std::memcpy(block.get(), data.data(), data.size() * sizeof(Element));
  return block;
}

TEST(CallShape, MinusOneReadsUpToAndIncludingTheTerminator) {
  struct Case {
    const char* name;
    int codePage;
    std::string bytes;
    Units units;
  };
  const Case kCases[] = {
      {"UTF-8", kCodePageUtf8, std::string("A\xE4\xB8\xAD\0Z", 6),
       Units(u"A\u4E2D\0", 3)},
      {"936", kCodePageGbk, std::string("\xD6\xD0\0Z", 4),
       Units(u"\u4E2D\0", 2)},
      {"936 lead byte before the terminator", kCodePageGbk,
       std::string("\xD6\0", 2), Units(u"\uFFFD\0", 2)},
      {"UTF-8 cut by the terminator", kCodePageUtf8, std::string("\xE4\0", 2),
       Units(u"\uFFFD\0", 2)},
      {"terminator only", kCodePageAnsi, std::string(1, '\0'), Units(1, u'\0')},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto input = Exact(c.bytes);
    int size = MultiByteToWide(c.codePage, 0, input.get(), -1, nullptr, 0);
    ASSERT_EQ(size, static_cast<int>(c.units.size()));
    Units out(static_cast<size_t>(size) + 1, u'#');
    EXPECT_EQ(
        MultiByteToWide(c.codePage, 0, input.get(), -1, out.data(), size + 1),
        size);
    EXPECT_EQ(Hex(out), Hex(c.units + u"#"));
  }

  // The same for encoding, UTF-16 terminated by U+0000.
  for (int codePage : {kCodePageUtf8, kCodePageGbk}) {
    SCOPED_TRACE(codePage);
    auto input = Exact(Units(u"\u4E2D\0\u6587", 3));
    int size = WideToMultiByte(codePage, 0, input.get(), -1, nullptr, 0);
    std::string expected = codePage == kCodePageGbk
                               ? std::string("\xD6\xD0\0", 3)
                               : std::string("\xE4\xB8\xAD\0", 4);
    ASSERT_EQ(size, static_cast<int>(expected.size()));
    std::string out(expected.size(), '#');
    EXPECT_EQ(WideToMultiByte(codePage, 0, input.get(), -1, out.data(), size),
              size);
    EXPECT_EQ(Hex(out), Hex(expected));
  }
}

TEST(CallShape, ExplicitLengthReadsNoFurther) {
  auto bytes = Exact(std::string("\xE4\xB8\xAD\xE4\xB8", 5));
  Units out(4, u'#');
  // The truncated character at the end of the given length is one U+FFFD;
  // nothing beyond the five bytes is read.
  EXPECT_EQ(MultiByteToWide(kCodePageUtf8, 0, bytes.get(), 5, out.data(), 4),
            2);
  EXPECT_EQ(Hex(out), Hex(Units(u"\u4E2D\uFFFD##")));
  auto gbk = Exact(std::string("A\xD6", 2));
  EXPECT_EQ(MultiByteToWide(kCodePageGbk, 0, gbk.get(), 2, nullptr, 0), 2);
}

TEST(CallShape, FullBufferKeepsWholeCharactersAndReportsFailure) {
  struct Case {
    const char* name;
    bool toWide;
    int codePage;
    std::string bytes;  // input of m2w, expected output of w2m
    Units units;        // input of w2m, expected output of m2w
    int capacity;
    int written;  // elements that must have been written
  };
  const Case kCases[] = {
      {"UTF-8 pair into one unit", true, kCodePageUtf8, "\xF0\x9F\x98\x80", u"",
       1, 0},
      {"UTF-8: A before a pair", true, kCodePageUtf8, "A\xF0\x9F\x98\x80", u"A",
       2, 1},
      {"936 into too few units", true, kCodePageGbk, "\xD6\xD0\xCE\xC4",
       u"\u4E2D", 1, 1},
      {"936: no half of a two-byte character", false, kCodePageGbk, "A",
       u"A\u4E2D", 2, 1},
      {"936: exactly one character", false, kCodePageGbk, "\xD6\xD0",
       u"\u4E2D\u6587", 3, 2},
      {"UTF-8: no part of a sequence", false, kCodePageUtf8, "", u"\u4E2D", 2,
       0},
      {"UTF-8: no part of a pair", false, kCodePageUtf8, "a", u"a\U0001F600", 4,
       1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.toWide) {
      Units out(static_cast<size_t>(c.capacity), u'#');
      EXPECT_EQ(MultiByteToWide(c.codePage, 0, c.bytes.data(),
                                static_cast<int>(c.bytes.size()), out.data(),
                                c.capacity),
                0);
      Units expected =
          c.units +
          Units(static_cast<size_t>(c.capacity) - c.units.size(), u'#');
      EXPECT_EQ(Hex(out), Hex(expected));
    } else {
      std::string out(static_cast<size_t>(c.capacity), '#');
      EXPECT_EQ(WideToMultiByte(c.codePage, 0, c.units.data(),
                                static_cast<int>(c.units.size()), out.data(),
                                c.capacity),
                0);
      std::string expected =
          c.bytes +
          std::string(static_cast<size_t>(c.capacity) - c.bytes.size(), '#');
      EXPECT_EQ(Hex(out), Hex(expected));
    }
  }
}

// Characters of 936 bytes counted the plain way: a lead byte 0x81..0xFE
// followed by a trail byte 0x40..0x7E or 0x80..0xFE is one, every other
// byte is one.
size_t ReferenceGbkCount(const std::string& bytes) {
  size_t count = 0;
  for (size_t at = 0; at < bytes.size(); ++count) {
    auto lead = static_cast<unsigned char>(bytes[at]);
    unsigned char trail =
        at + 1 < bytes.size() ? static_cast<unsigned char>(bytes[at + 1]) : 0;
    bool pair = lead >= 0x81 && lead <= 0xFE && trail >= 0x40 &&
                trail != 0x7F && trail != 0xFF;
    at += pair ? 2 : 1;
  }
  return count;
}

// The sizing call counts in its own, faster walk; it must agree with the
// conversion on every input. Runs of lead bytes of every length, across the
// 64-byte steps of the counting walk, are where the two could part.
TEST(CallShape, SizingAgreesWithConversion) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  const std::string kAlphabets[] = {
      std::string("\x81\xFE\xD6\xB0\x40\x7E\x7F\x80\xFF\x00A", 11),
      "\xE4\xB8\xAD\xF0\x9F\x98\x80\xC3\xA9\xED\xA0\x80\xBF",
      "\xD6\xD0\xC4\xE3",  // lead bytes only: long runs
  };
  for (int round = 0; round < 600; ++round) {
    const std::string& alphabet = kAlphabets[round % 3];
    size_t size = next() % 300;
    std::string bytes;
    for (size_t k = 0; k < size; ++k) {
      bytes += round % 5 == 0 ? static_cast<char>(next() & 0xFF)
                              : alphabet[next() % alphabet.size()];
    }
    SCOPED_TRACE(Hex(bytes));
    // Decode and Encode each check that the sizing call gave the count
    // that the conversion wrote.
    EXPECT_EQ(Decode(kCodePageGbk, bytes).size(), ReferenceGbkCount(bytes));
    Units units = Decode(kCodePageUtf8, bytes);
    Encode(kCodePageUtf8, units);
    Encode(kCodePageGbk, units);
    Encode(kCodePageGbk, units, kCompositeCheck);
  }
}

TEST(CallShape, FailuresReturnZeroAndWriteNothing) {
  const char bytes[] = "abc";
  const char16_t units[] = u"abc";
  struct Case {
    const char* name;
    int codePage;
    unsigned flags;
    bool nullInput;
    int length;
    int capacity;
  };
  const Case kCases[] = {
      {"unknown code page", 1252, 0, false, 3, 8},
      {"empty input", kCodePageUtf8, 0, false, 0, 8},
      {"null input", kCodePageGbk, 0, true, 3, 8},
      {"length below -1", kCodePageGbk, 0, false, -2, 8},
      {"negative capacity", kCodePageUtf8, 0, false, 3, -1},
      {"unknown flag", kCodePageGbk, 0x1, false, 3, 8},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Units wide(8, u'#');
    EXPECT_EQ(
        MultiByteToWide(c.codePage, c.flags, c.nullInput ? nullptr : bytes,
                        c.length, wide.data(), c.capacity),
        0);
    EXPECT_EQ(wide, Units(8, u'#'));
    std::string narrow(8, '#');
    EXPECT_EQ(
        WideToMultiByte(c.codePage, c.flags, c.nullInput ? nullptr : units,
                        c.length, narrow.data(), c.capacity),
        0);
    EXPECT_EQ(narrow, std::string(8, '#'));
  }
  // Decoding takes no flags at all, UTF-8 encoding not the composite check.
  EXPECT_EQ(
      MultiByteToWide(kCodePageGbk, kCompositeCheck, bytes, 3, nullptr, 0), 0);
  EXPECT_EQ(
      WideToMultiByte(kCodePageUtf8, kCompositeCheck, units, 3, nullptr, 0), 0);
  EXPECT_EQ(
      WideToMultiByte(kCodePageAnsi, kCompositeCheck, units, 3, nullptr, 0), 3);
}

}  // namespace
}  // namespace velk::platform
