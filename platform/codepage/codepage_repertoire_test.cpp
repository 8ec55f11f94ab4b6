// The whole code page 936 repertoire of the code page service against
// glibc's iconv CP936 as an independent table, with every disagreement
// listed and explained.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/codepage/codepage.h"
#include "platform/codepage/codepage_test_util.h"

namespace velk::platform {
namespace {

using test_util::Decode;
using test_util::Encode;
using test_util::Hex;
using test_util::Iconv;
using test_util::Units;
using test_util::Utf16Le;

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
