// Tests of the code page service: the conversions, the shape of the two
// calls (terminator, sizing, full buffers, failures), and the whole code
// page 936 repertoire against glibc's iconv as an independent table.
#include "platform/codepage/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::platform {
namespace {

using Units = std::u16string;

// Sizing call, then the conversion into a buffer of exactly that size.
Units Decode(int codePage, const std::string& bytes) {
  int length = static_cast<int>(bytes.size());
  int size = MultiByteToWide(codePage, 0, bytes.data(), length, nullptr, 0);
  Units units(static_cast<size_t>(size), u'\0');
  int written =
      MultiByteToWide(codePage, 0, bytes.data(), length, units.data(), size);
  EXPECT_EQ(written, size);
  return units;
}

std::string Encode(int codePage, const Units& units, unsigned flags = 0) {
  int length = static_cast<int>(units.size());
  int size = WideToMultiByte(codePage, flags, units.data(), length, nullptr, 0);
  std::string bytes(static_cast<size_t>(size), '\0');
  int written = WideToMultiByte(codePage, flags, units.data(), length,
                                bytes.data(), size);
  EXPECT_EQ(written, size);
  return bytes;
}

std::string Hex(const std::string& bytes) {
  std::string text;
  char piece[4];
  for (unsigned char byte : bytes) {
    std::snprintf(piece, sizeof piece, "%02X", byte);
    text += piece;
  }
  return text;
}

std::string Hex(const Units& units) {
  std::string text;
  char piece[8];
  for (char16_t unit : units) {
    std::snprintf(piece, sizeof piece, "%04X ", static_cast<unsigned>(unit));
    text += piece;
  }
  return text;
}

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

// --- The code page 936 repertoire against glibc's iconv CP936 ---

class Iconv {
 public:
  Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // The converted bytes, or nothing when iconv has no mapping.
  std::optional<std::string> Convert(const std::string& input) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char out[16];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* outAt = out;
    size_t outLeft = sizeof out;
    if (iconv(handle_, &in, &inLeft, &outAt, &outLeft) ==
            static_cast<size_t>(-1) ||
        inLeft != 0) {
      return std::nullopt;
    }
    return std::string(out, sizeof out - outLeft);
  }

 private:
  iconv_t handle_;
};

std::string Utf16Le(char16_t unit) {
  return std::string{static_cast<char>(unit & 0xFF),
                     static_cast<char>(unit >> 8)};
}

// The user-defined cells of 936 (0xAAA1..0xAFFE, 0xF8A1..0xFEFE,
// 0xA140..0xA7A0 and scattered cells between the assigned ones) map to the
// private use area U+E000..U+E864, one cell each. The reference leaves them
// unmapped.
constexpr char16_t kUserDefinedFirst = 0xE000;
constexpr char16_t kUserDefinedLast = 0xE864;

TEST(Repertoire, DecodingAgreesWithTheReferenceExceptUserDefinedCells) {
  Iconv reference("UTF-16LE", "CP936");
  ASSERT_TRUE(reference.ok());
  std::vector<bool> userCellSeen(kUserDefinedLast - kUserDefinedFirst + 1);
  int agreed = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      SCOPED_TRACE(Hex(pair));
      Units units = Decode(kCodePageGbk, pair);
      ASSERT_EQ(units.size(), 1u);
      std::optional<std::string> expected = reference.Convert(pair);
      if (expected) {
        EXPECT_EQ(Hex(Utf16Le(units[0])), Hex(*expected));
        ++agreed;
        continue;
      }
      // Disagreement 1: the user-defined cells.
      ASSERT_GE(units[0], kUserDefinedFirst);
      ASSERT_LE(units[0], kUserDefinedLast);
      EXPECT_FALSE(userCellSeen[units[0] - kUserDefinedFirst]);
      userCellSeen[units[0] - kUserDefinedFirst] = true;
    }
  }
  EXPECT_EQ(agreed, 23940 - static_cast<int>(userCellSeen.size()));
  // Single bytes: 0x80 is the euro sign in both. Disagreement 2: 0xFF is
  // U+F8F5 on the platform and unmapped in the reference.
  EXPECT_EQ(reference.Convert("\x80"), Utf16Le(0x20AC));
  EXPECT_EQ(reference.Convert("\xFF"), std::nullopt);
  EXPECT_EQ(Decode(kCodePageGbk, "\xFF"), Units(u"\uF8F5"));
  for (int byte = 0; byte < 0x80; ++byte) {
    std::string single(1, static_cast<char>(byte));
    EXPECT_EQ(Decode(kCodePageGbk, single),
              Units(1, static_cast<char16_t>(byte)));
  }
}

TEST(Repertoire, EveryCharacterRoundTripsFromUtf8Through936) {
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      SCOPED_TRACE(Hex(pair));
      Units character = Decode(kCodePageGbk, pair);
      std::string utf8 = Encode(kCodePageUtf8, character);
      Units wide = Decode(kCodePageUtf8, utf8);
      ASSERT_EQ(wide, character);
      std::string gbk = Encode(kCodePageGbk, wide, kCompositeCheck);
      ASSERT_EQ(Hex(gbk), Hex(pair));
      ASSERT_EQ(Decode(kCodePageGbk, gbk), character);
    }
  }
}

// Best-fit mappings: characters 936 lacks that the platform writes as a
// similar character 936 has. The reference has no best fit and reports no
// mapping. Each range lists the characters of one kind.
struct BestFitRange {
  char16_t first;
  char16_t last;
};
// Latin letters and signs: a lower-case or base letter, or a like symbol
// (U+00C9 É gives é, U+00B2 ² gives 2, U+00A5 ¥ gives ￥).
constexpr BestFitRange kLatinBestFit[] = {
    {0x00A2, 0x00A3},
    {0x00A5, 0x00A6},
    {0x00AA, 0x00AA},
    {0x00AD, 0x00AD},
    {0x00AF, 0x00AF},
    {0x00B2, 0x00B5},
    {0x00B9, 0x00BA},
    {0x00C0, 0x00C1},
    {0x00C8, 0x00CA},
    {0x00CC, 0x00CD},
    {0x00D0, 0x00D0},
    {0x00D2, 0x00D3},
    {0x00D9, 0x00DA},
    {0x00DC, 0x00DE},
    {0x00E2, 0x00E2},
    {0x00F0, 0x00F0},
    {0x00FD, 0x00FE},
    {0x0100, 0x0100},
    {0x0112, 0x0112},
    {0x011A, 0x011A},
    {0x012A, 0x012A},
    {0x014C, 0x014C},
    {0x016A, 0x016A},
    {0x01C1, 0x01C1},
    {0x01CD, 0x01CD},
    {0x01CF, 0x01CF},
    {0x01D1, 0x01D1},
    {0x01D3, 0x01D3},
    {0x01D5, 0x01D5},
    {0x01D7, 0x01D7},
    {0x01D9, 0x01D9},
    {0x01DB, 0x01DB},
    // Overline, ring operator, tilde operator: ￣ ° ～.
    {0x203E, 0x203E},
    {0x2218, 0x2218},
    {0x223C, 0x223C},
};
// Annotation marks and parenthesized or circled ideographs: the plain
// ideograph (U+322A ㈪ gives 月).
constexpr BestFitRange kEnclosedIdeographBestFit[] = {
    {0x3192, 0x319F}, {0x322A, 0x3230}, {0x3232, 0x3243},
    {0x3280, 0x329D}, {0x329F, 0x32A2}, {0x32A9, 0x32B0},
};
// Compatibility ideographs: their unified ideograph (U+F900 gives 豈).
constexpr BestFitRange kCompatibilityIdeographBestFit[] = {
    {0xF900, 0xF92B}, {0xF92D, 0xF978}, {0xF97A, 0xF994}, {0xF996, 0xF9E6},
    {0xF9E8, 0xF9F0}, {0xF9F2, 0xFA0B}, {0xFA10, 0xFA10}, {0xFA12, 0xFA12},
    {0xFA15, 0xFA17}, {0xFA19, 0xFA1E}, {0xFA22, 0xFA22}, {0xFA25, 0xFA26},
    {0xFA2A, 0xFA2D},
};

enum class Listed { kNo, kLatin, kEnclosed, kCompatibility };

template <size_t N>
bool InRanges(const BestFitRange (&ranges)[N], char16_t unit) {
  for (const BestFitRange& range : ranges) {
    if (unit >= range.first && unit <= range.last) return true;
  }
  return false;
}

Listed ListedBestFit(char16_t unit) {
  if (InRanges(kLatinBestFit, unit)) return Listed::kLatin;
  if (InRanges(kEnclosedIdeographBestFit, unit)) return Listed::kEnclosed;
  if (InRanges(kCompatibilityIdeographBestFit, unit)) {
    return Listed::kCompatibility;
  }
  return Listed::kNo;
}

TEST(Repertoire, EncodingAgreesWithTheReferenceExceptListedMappings) {
  Iconv toGbk("CP936", "UTF-16LE");
  Iconv fromGbk("UTF-16LE", "CP936");
  ASSERT_TRUE(toGbk.ok() && fromGbk.ok());
  int bestFits = 0;
  for (unsigned code = 1; code < 0x10000; ++code) {
    auto unit = static_cast<char16_t>(code);
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    char piece[16];
    std::snprintf(piece, sizeof piece, "U+%04X", code);
    SCOPED_TRACE(piece);
    std::string actual = Encode(kCodePageGbk, Units(1, unit));
    std::optional<std::string> expected = toGbk.Convert(Utf16Le(unit));
    Listed listed = ListedBestFit(unit);
    if (expected) {
      EXPECT_EQ(listed, Listed::kNo);
      EXPECT_EQ(Hex(actual), Hex(*expected));
      continue;
    }
    if (unit >= kUserDefinedFirst && unit <= kUserDefinedLast) {
      // Disagreement 1 again: the user-defined cells encode to their cell.
      EXPECT_EQ(actual.size(), 2u);
      continue;
    }
    if (unit == 0xF8F5) {
      // Disagreement 2 again: U+F8F5 is the single byte 0xFF.
      EXPECT_EQ(actual, "\xFF");
      continue;
    }
    if (listed == Listed::kNo) {
      // Neither has a form: the platform's '?'. This is where ICU's silent
      // drops and control bytes would show.
      EXPECT_EQ(actual, "?");
      continue;
    }
    // Disagreement 3: a best-fit mapping. It must be a real character of
    // the reference's table, other than the one encoded.
    ++bestFits;
    std::optional<std::string> target = fromGbk.Convert(actual);
    ASSERT_TRUE(target.has_value()) << Hex(actual);
    ASSERT_EQ(target->size(), 2u);
    auto targetUnit =
        static_cast<char16_t>(static_cast<unsigned char>((*target)[0]) |
                              static_cast<unsigned char>((*target)[1]) << 8);
    EXPECT_NE(targetUnit, unit);
    if (listed != Listed::kLatin) {
      // Both ideograph kinds give a unified ideograph.
      EXPECT_GE(targetUnit, 0x4E00);
      EXPECT_LE(targetUnit, 0x9FFF);
    }
  }
  EXPECT_EQ(bestFits, 412);
}

}  // namespace
}  // namespace velk::platform
