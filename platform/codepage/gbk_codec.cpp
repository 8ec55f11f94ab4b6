// Code page 936 <-> UTF-16 for the code page service: direct lookups in
// the tables that gbk_tables.cpp reads from ICU.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <bitset>
#include <cstdint>
#include <cstring>

#include "platform/codepage/codecs.h"
#include "platform/codepage/gbk_tables.h"

namespace velk::platform::codecs {
namespace {

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

// The same with the composite check. Each character waits as `pending`
// until the unit after it is known: a nonspacing mark that composes with it
// into a character 936 holds replaces it by that character (and the next
// mark may compose again), anything else sends it out. Characters go out in
// the same order and sizes as without waiting, so a full buffer stops at
// the same place. Testing the current unit, whose form is loaded anyway,
// keeps the mark test off the common path: every mark has the form '?'
// (checked when the tables are built), so only a '?' needs a closer look.
template <bool kWrite>
Outcome EncodeComposing(const Tables& tables, const char16_t* __restrict input,
                        size_t length, unsigned char* __restrict output,
                        size_t capacity) {
  const uint16_t* __restrict encode = tables.encode;
  const MarkTest isMark(tables);
  const bool marksLookAlike = tables.marksAreQuestionMarks;
  size_t used = 0;
  size_t at = 0;
  bool waiting = false;
  uint16_t pendingForm = 0;
  char16_t pendingUnit = 0;
  while (at < length) {
    if (length - at >= 4) {
      uint64_t word;
      std::memcpy(&word, input + at, sizeof word);
      // Four ASCII units: the pending character and the first three go
      // out, the fourth waits. Only when all of it fits; otherwise the unit
      // by unit path below stops at the exact place.
      size_t pendingSize = !waiting ? 0 : pendingForm < 0x100 ? 1 : 2;
      if ((word & kNonAsciiLanes) == 0 &&
          (!kWrite || capacity - used >= pendingSize + 3)) {
        if (waiting) PutForm<kWrite>(pendingForm, output, capacity, used);
        if (kWrite) {
          for (int k = 0; k < 3; ++k) {
            output[used + static_cast<size_t>(k)] =
                static_cast<unsigned char>(word >> (16 * k));
          }
        }
        used += 3;
        pendingUnit = static_cast<char16_t>(word >> 48);
        pendingForm = pendingUnit;
        waiting = true;
        at += 4;
        continue;
      }
    }
    char16_t unit = input[at];
    uint16_t form = encode[unit];
    if (waiting && (form == kQuestionMark || !marksLookAlike) && isMark(unit)) {
      int32_t composed = ComposePair(pendingUnit, unit);
      if (composed >= 0 && composed <= 0xFFFF && tables.roundTrip[composed]) {
        pendingUnit = static_cast<char16_t>(composed);
        pendingForm = encode[composed];
        ++at;
        continue;
      }
    }
    if (waiting && !PutForm<kWrite>(pendingForm, output, capacity, used)) {
      return {used, false};
    }
    pendingForm = form;
    pendingUnit = unit;
    waiting = true;
    ++at;
  }
  if (waiting && !PutForm<kWrite>(pendingForm, output, capacity, used)) {
    return {used, false};
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
