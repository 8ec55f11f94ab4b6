// Code page 936 <-> UTF-16 for the code page service, over ICU.
//
// The mappings are ICU's `windows-936` converter with fallbacks on, which is
// the platform's table with its best-fit mappings. They are read out of ICU
// once, on first use, into direct lookup tables: every UTF-16 unit has one
// fixed 936 form and every byte pair one fixed unit, and a table makes the
// counting pass and the writing pass cheap and lets the writing pass stop
// exactly after the last whole character that fits. Building the tables is
// also where ICU's behaviour is corrected to the platform's (see
// BuildEncodeTable).
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>
#include <unicode/utypes.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/codepage/codecs.h"

namespace velk::platform::codecs {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr uint16_t kQuestionMark = 0x3F;
constexpr int kLeadFirst = 0x81;
constexpr int kLeadLast = 0xFE;

struct IcuConverter {
  explicit IcuConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    converter = ucnv_open(name, &status);
    if (U_FAILURE(status)) converter = nullptr;
  }
  ~IcuConverter() {
    if (converter != nullptr) ucnv_close(converter);
  }
  IcuConverter(const IcuConverter&) = delete;
  IcuConverter& operator=(const IcuConverter&) = delete;
  UConverter* converter = nullptr;
};

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
  const UNormalizer2* composer = nullptr;
  bool ready = false;
};

// Not a character, so never the mapping of a byte.
constexpr char16_t kLead = 0xFFFF;

bool BuildEncodeTable(Tables& tables) {
  IcuConverter icu("windows-936");
  if (icu.converter == nullptr) return false;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFallback(icu.converter, true);
  // Stop instead of substituting, so that every character without a form is
  // seen and gets the platform's '?'.
  ucnv_setFromUCallBack(icu.converter, UCNV_FROM_U_CALLBACK_STOP, nullptr,
                        nullptr, nullptr, &status);
  if (U_FAILURE(status)) return false;
  for (uint32_t unit = 0; unit < 0x10000; ++unit) {
    tables.encode[unit] = kQuestionMark;
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    UChar source = static_cast<UChar>(unit);
    char bytes[8];
    status = U_ZERO_ERROR;
    ucnv_resetFromUnicode(icu.converter);
    int32_t size = ucnv_fromUChars(icu.converter, bytes, sizeof bytes, &source,
                                   1, &status);
    if (U_FAILURE(status)) continue;
    auto byte0 = static_cast<unsigned char>(bytes[0]);
    auto byte1 = static_cast<unsigned char>(bytes[1]);
    if (size == 1) {
      // ICU maps a few symbols (U+FFE9..U+FFEC, U+FFEE) to control bytes;
      // the platform gives '?' for them. A character never becomes a
      // control byte other than its own.
      if (unit >= 0x80 && byte0 < 0x20) continue;
      tables.encode[unit] = byte0;
    } else if (size == 2) {
      tables.encode[unit] = static_cast<uint16_t>(byte0 << 8 | byte1);
    }
    // size 0 is ICU's silent drop of default-ignorable characters that 936
    // lacks (U+200B, U+FEFF, variation selectors ...); the platform writes
    // '?' for each, which the table already holds.
  }

  USet* set = uset_openEmpty();
  status = U_ZERO_ERROR;
  ucnv_getUnicodeSet(icu.converter, set, UCNV_ROUNDTRIP_SET, &status);
  if (U_FAILURE(status)) {
    uset_close(set);
    return false;
  }
  for (uint32_t unit = 0; unit < 0x10000; ++unit) {
    tables.roundTrip[unit] = uset_contains(set, static_cast<UChar32>(unit));
    tables.nonspacing[unit] =
        u_charType(static_cast<UChar32>(unit)) == U_NON_SPACING_MARK;
    if (tables.nonspacing[unit] && unit < tables.firstMark) {
      tables.firstMark = unit;
    }
  }
  uset_close(set);
  constexpr uint32_t kIdeographs = 0x4E00;
  if (!tables.nonspacing[kIdeographs]) {
    tables.markFreeFirst = kIdeographs;
    while (tables.markFreeFirst > 0 &&
           !tables.nonspacing[tables.markFreeFirst - 1]) {
      --tables.markFreeFirst;
    }
    tables.markFreeEnd = kIdeographs;
    while (tables.markFreeEnd < 0x10000 &&
           !tables.nonspacing[tables.markFreeEnd]) {
      ++tables.markFreeEnd;
    }
  }
  status = U_ZERO_ERROR;
  tables.composer = unorm2_getNFCInstance(&status);
  return U_SUCCESS(status) && tables.composer != nullptr;
}

// Decodes `size` bytes with ICU. Returns the one unit they give, kLead when
// they are an incomplete character, or kReplacement when they are not one
// character.
char16_t DecodeWithIcu(UConverter* converter, const char* bytes, int size) {
  UChar units[4];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(converter);
  const char* source = bytes;
  UChar* target = units;
  // flush=false: an incomplete character stays pending instead of becoming
  // an error, which is how lead bytes are told apart.
  ucnv_toUnicode(converter, &target, units + 4, &source, bytes + size, nullptr,
                 false, &status);
  if (U_FAILURE(status)) return kReplacement;
  if (target == units && source == bytes + size) return kLead;
  if (target - units != 1 || source != bytes + size) return kReplacement;
  return units[0];
}

bool BuildDecodeTables(Tables& tables) {
  IcuConverter icu("windows-936");
  if (icu.converter == nullptr) return false;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(icu.converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr,
                      nullptr, &status);
  if (U_FAILURE(status)) return false;
  for (int byte = 0; byte < 0x100; ++byte) {
    char source = static_cast<char>(byte);
    tables.single[byte] = DecodeWithIcu(icu.converter, &source, 1);
  }
  for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
    // The table layout assumes ICU's lead bytes are exactly 0x81..0xFE.
    if (tables.single[lead] != kLead) return false;
    for (int trail = 0; trail < 0x100; ++trail) {
      char source[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      char16_t unit = DecodeWithIcu(icu.converter, source, 2);
      tables.pair[lead - kLeadFirst][trail] =
          unit == kReplacement || unit == kLead ? 0 : unit;
    }
  }
  for (int byte = 0; byte < 0x100; ++byte) {
    tables.lead[byte] = byte >= kLeadFirst && byte <= kLeadLast;
    if (!tables.lead[byte] && tables.single[byte] == kLead) return false;
    tables.trail[byte] = tables.pair[0][byte] != 0;
  }
  tables.uniformTrails = true;
  for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
    for (int trail = 0; trail < 0x100; ++trail) {
      if ((tables.pair[lead - kLeadFirst][trail] != 0) != tables.trail[trail]) {
        tables.uniformTrails = false;
      }
    }
  }
  tables.standardBytes = tables.uniformTrails;
  for (int byte = 0; byte < 0x100; ++byte) {
    bool trail = byte >= 0x40 && byte != 0x7F && byte != 0xFF;
    if (tables.trail[byte] != trail) tables.standardBytes = false;
  }
  return true;
}

const Tables& GetTables() {
  static const std::unique_ptr<Tables> tables = [] {
    auto built = std::make_unique<Tables>();
    built->ready = BuildEncodeTable(*built) && BuildDecodeTables(*built);
    return built;
  }();
  return *tables;
}

// The lead bytes and the trail bytes among 64 bytes, as masks with bit k
// for byte k, for the standard byte sets.
#if defined(__SSE2__)
inline void LeadAndTrailMasks(const unsigned char* bytes, uint64_t& leads,
                              uint64_t& trails) {
  // As signed bytes, the lead bytes 0x81..0xFE are -127..-2 and the trail
  // bytes 0x40..0x7E and 0x80..0xFE are 64..126 and -128..-2.
  const __m128i kMinusOne = _mm_set1_epi8(-1);
  const __m128i kMinus128 = _mm_set1_epi8(-128);
  const __m128i k63 = _mm_set1_epi8(63);
  const __m128i k127 = _mm_set1_epi8(127);
  leads = 0;
  trails = 0;
  for (int k = 0; k < 4; ++k) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes) + k);
    __m128i high = _mm_cmplt_epi8(v, kMinusOne);
    __m128i lead = _mm_and_si128(high, _mm_cmpgt_epi8(v, kMinus128));
    __m128i low =
        _mm_and_si128(_mm_cmpgt_epi8(v, k63), _mm_cmplt_epi8(v, k127));
    __m128i trail = _mm_or_si128(high, low);
    leads |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(lead))}
             << (16 * k);
    trails |= uint64_t{static_cast<uint16_t>(_mm_movemask_epi8(trail))}
              << (16 * k);
  }
}
#endif

// Counts the units of `length` bytes: one per character, and a lead byte
// that has no byte after it that can trail it is a character of its own.
//
// Whether a byte starts a character depends only on whether the byte
// before it started one and formed a pair with it. With the standard byte
// sets (and SSE2) the walk takes 64 bytes per step: `pairs` marks the bytes
// that are a lead byte followed by a trail byte. Inside each run of such bytes
// that begins at a character start, the characters alternate: the bytes at odd
// offsets from the run's first byte (and the byte after the run, when the
// run is odd) are second bytes. Adding the run's first bit to the mask
// clears exactly the runs that begin at even positions, which tells the
// two parities apart without a loop.
size_t CountUnits(const Tables& tables, const unsigned char* input,
                  size_t length) {
  size_t count = 0;
  size_t at = 0;
  // 1 when the byte at `at` is the second byte of a pair.
  uint64_t carry = 0;
#if defined(__SSE2__)
  if (tables.standardBytes) {
    constexpr uint64_t kEven = 0x5555555555555555u;
    while (length - at > 64) {
      uint64_t leads;
      uint64_t trails;
      LeadAndTrailMasks(input + at, leads, trails);
      uint64_t pairs =
          leads & (trails >> 1 | uint64_t{tables.trail[input[at + 64]]} << 63);
      // A second byte begins no pair.
      pairs &= ~carry;
      uint64_t runStarts = pairs & ~(pairs << 1);
      uint64_t evenRuns = pairs & ~(pairs + (runStarts & kEven));
      uint64_t oddRuns = pairs & ~evenRuns;
      uint64_t seconds =
          ((evenRuns << 1) & ~kEven) | ((oddRuns << 1) & kEven) | carry;
      count += 64 - static_cast<size_t>(std::popcount(seconds));
      carry = (pairs >> 63) & ~(seconds >> 63) & 1;
      at += 64;
    }
  }
#endif
  unsigned start = carry == 0 ? 1 : 0;
  while (at + 1 < length) {
    count += start;
    start = (start & tables.lead[input[at]] & tables.trail[input[at + 1]]) ^ 1;
    ++at;
  }
  return at < length ? count + start : count;
}

template <bool kWrite>
Outcome Decode(const Tables& tables, const unsigned char* __restrict input,
               size_t length, char16_t* __restrict output, size_t capacity) {
  if (!kWrite && tables.uniformTrails) {
    return {CountUnits(tables, input, length), true};
  }
  size_t at = 0;
  size_t used = 0;
  while (at < length) {
    if (kWrite && used == capacity) return {used, false};
    unsigned byte = input[at];
    char16_t unit;
    if (byte < 0x80) {
      unit = static_cast<char16_t>(byte);
      ++at;
    } else if (tables.single[byte] != kLead) {
      unit = tables.single[byte];
      ++at;
    } else {
      // Never reads beyond `length`: a lead byte at the end stands alone.
      unit = at + 1 < length ? tables.pair[byte - kLeadFirst][input[at + 1]]
                             : char16_t{0};
      if (unit == 0) {
        unit = kReplacement;
        ++at;
      } else {
        at += 2;
      }
    }
    if (kWrite) output[used] = unit;
    ++used;
  }
  return {used, true};
}

// With the composite check: the 936 form of the character at `at` together
// with the nonspacing marks after it that compose with it into a character
// 936 holds, and how many units that takes in.
struct Composed {
  uint16_t form;
  size_t units;
};

Composed ComposedForm(const Tables& tables, const char16_t* input,
                      size_t length, size_t at) {
  char16_t composed = input[at];
  size_t units = 1;
  while (at + units < length && tables.nonspacing[input[at + units]]) {
    UChar32 next =
        unorm2_composePair(tables.composer, composed, input[at + units]);
    if (next < 0 || next > 0xFFFF || !tables.roundTrip[next]) break;
    composed = static_cast<char16_t>(next);
    ++units;
  }
  return {tables.encode[composed], units};
}

// Writes (or counts) one 936 form. Returns false when it does not fit.
template <bool kWrite>
inline bool PutForm(uint16_t form, unsigned char* __restrict output,
                    size_t capacity, size_t& used) {
  if (form < 0x100) {
    if (kWrite) {
      if (used == capacity) return false;
      output[used] = static_cast<unsigned char>(form);
    }
    ++used;
  } else {
    if (kWrite) {
      if (capacity - used < 2) return false;
      output[used] = static_cast<unsigned char>(form >> 8);
      output[used + 1] = static_cast<unsigned char>(form & 0xFF);
    }
    used += 2;
  }
  return true;
}

// Four units read as one word are all ASCII (each is its own one-byte
// form) when no lane has a bit above the low seven.
constexpr uint64_t kNonAsciiLanes = 0xFF80FF80FF80FF80u;

// Writes (or counts) four ASCII units.
template <bool kWrite>
inline bool PutAscii(uint64_t word, unsigned char* __restrict output,
                     size_t capacity, size_t& used) {
  if (kWrite) {
    if (capacity - used < 4) return false;
    for (int k = 0; k < 4; ++k) {
      output[used + static_cast<size_t>(k)] =
          static_cast<unsigned char>(word >> (16 * k));
    }
  }
  used += 4;
  return true;
}

template <bool kWrite>
Outcome Encode(const Tables& tables, const char16_t* __restrict input,
               size_t length, unsigned char* __restrict output,
               size_t capacity) {
  const uint16_t* __restrict encode = tables.encode;
  size_t used = 0;
  size_t at = 0;
  while (at < length) {
    if (length - at >= 4) {
      uint64_t word;
      std::memcpy(&word, input + at, sizeof word);
      if ((word & kNonAsciiLanes) == 0 &&
          PutAscii<kWrite>(word, output, capacity, used)) {
        at += 4;
        continue;
      }
    }
    if (!PutForm<kWrite>(encode[input[at]], output, capacity, used)) {
      return {used, false};
    }
    ++at;
  }
  return {used, true};
}

// Tells the nonspacing marks, with cheap tests first for the units that
// cannot be one.
class MarkTest {
 public:
  explicit MarkTest(const Tables& tables)
      : nonspacing_(tables.nonspacing),
        firstMark_(tables.firstMark),
        freeFirst_(tables.markFreeFirst),
        freeSize_(tables.markFreeEnd - tables.markFreeFirst) {}
  bool operator()(uint32_t unit) const {
    return unit >= firstMark_ && unit - freeFirst_ >= freeSize_ &&
           nonspacing_[unit];
  }

 private:
  const std::bitset<0x10000>& nonspacing_;
  uint32_t firstMark_;
  uint32_t freeFirst_;
  uint32_t freeSize_;
};

// The same with the composite check: a look at the unit after each one for
// a nonspacing mark.
template <bool kWrite>
Outcome EncodeComposing(const Tables& tables, const char16_t* __restrict input,
                        size_t length, unsigned char* __restrict output,
                        size_t capacity) {
  const uint16_t* __restrict encode = tables.encode;
  const MarkTest isMark(tables);
  size_t used = 0;
  size_t at = 0;
  while (at < length) {
    // Four ASCII units, when the unit after them is no mark that the last
    // of them would take in.
    if (length - at > 4) {
      uint64_t word;
      std::memcpy(&word, input + at, sizeof word);
      if ((word & kNonAsciiLanes) == 0 && !isMark(input[at + 4]) &&
          PutAscii<kWrite>(word, output, capacity, used)) {
        at += 4;
        continue;
      }
    }
    uint16_t form = encode[input[at]];
    if (at + 1 < length && isMark(input[at + 1])) {
      // Rare: the marks taken in are skipped, and the walk goes on after
      // them.
      Composed composed = ComposedForm(tables, input, length, at);
      form = composed.form;
      at += composed.units - 1;
    }
    if (!PutForm<kWrite>(form, output, capacity, used)) return {used, false};
    ++at;
  }
  return {used, true};
}

}  // namespace

bool GbkAvailable() { return GetTables().ready; }

Outcome DecodeGbk(const unsigned char* input, size_t length, char16_t* output,
                  size_t capacity) {
  const Tables& tables = GetTables();
  return output == nullptr
             ? Decode<false>(tables, input, length, nullptr, 0)
             : Decode<true>(tables, input, length, output, capacity);
}

Outcome EncodeGbk(const char16_t* input, size_t length, unsigned char* output,
                  size_t capacity, bool compositeCheck) {
  const Tables& tables = GetTables();
  if (output == nullptr) {
    return compositeCheck
               ? EncodeComposing<false>(tables, input, length, nullptr, 0)
               : Encode<false>(tables, input, length, nullptr, 0);
  }
  return compositeCheck
             ? EncodeComposing<true>(tables, input, length, output, capacity)
             : Encode<true>(tables, input, length, output, capacity);
}

}  // namespace velk::platform::codecs
