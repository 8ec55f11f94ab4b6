// The code page 936 tables of the code page service, read once from ICU's
// `windows-936` converter with fallbacks on (the platform's table with its
// best-fit mappings) and corrected to the platform where ICU differs.
// Internal to the service; the converters in gbk_codec.cpp work on these
// tables alone.
#ifndef VELK_PLATFORM_CODEPAGE_GBK_TABLES_H_
#define VELK_PLATFORM_CODEPAGE_GBK_TABLES_H_

#include <bitset>
#include <cstdint>

namespace velk::platform::codecs {

inline constexpr char16_t kReplacement = 0xFFFD;
inline constexpr uint16_t kQuestionMark = 0x3F;
inline constexpr int kLeadFirst = 0x81;
inline constexpr int kLeadLast = 0xFE;
// In Tables::single: the byte is a lead byte. Not a character, so never the
// mapping of a byte.
inline constexpr char16_t kLead = 0xFFFF;

struct Tables {
  // The 936 form of every UTF-16 unit: a value below 0x100 is one byte, any
  // other value is a lead byte (high) and a trail byte (low). Surrogates and
  // characters without a form hold '?'.
  uint16_t encode[0x10000];
  // The unit of every single byte; kLead marks the lead bytes.
  char16_t single[0x100];
  // The unit of every lead byte and following byte; 0 where the second byte
  // cannot trail that lead.
  char16_t pair[kLeadLast - kLeadFirst + 1][0x100];
  // For counting: the lead bytes, and the bytes that can trail every lead
  // byte, when that set is the same for all of them (`uniformTrails`).
  unsigned char lead[0x100] = {};
  unsigned char trail[0x100] = {};
  bool uniformTrails = false;
  // True when the lead bytes are 0x81..0xFE and the trail bytes 0x40..0x7E
  // and 0x80..0xFE, which lets counting test many bytes at once.
  bool standardBytes = false;
  // Characters with a round-trip 936 form (no best fit), the only ones a
  // composition may produce, and the nonspacing marks (Mn).
  std::bitset<0x10000> roundTrip;
  std::bitset<0x10000> nonspacing;
  // Units that need no look at `nonspacing`: those below the first mark,
  // and the stretch [markFreeFirst, markFreeEnd) around the unified
  // ideographs, which holds no mark.
  uint32_t firstMark = 0x10000;
  uint32_t markFreeFirst = 0;
  uint32_t markFreeEnd = 0;
  // True when every nonspacing mark has the form '?'.
  bool marksAreQuestionMarks = false;
  // True when all of the above could be read from ICU.
  bool ready = false;
};

// The tables, built on first use (thread-safe). When `ready` is false the
// 936 converters must not be used.
const Tables& GetTables();

// The character that `base` followed by the nonspacing mark `mark`
// composes into (canonical composition), or -1 when there is none.
int32_t ComposePair(char16_t base, char16_t mark);

}  // namespace velk::platform::codecs

#endif  // VELK_PLATFORM_CODEPAGE_GBK_TABLES_H_
