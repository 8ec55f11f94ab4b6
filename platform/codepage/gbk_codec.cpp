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

#include <bitset>
#include <cstdint>
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
  // Characters with a round-trip 936 form (no best fit), the only ones a
  // composition may produce, and the nonspacing marks (Mn).
  std::bitset<0x10000> roundTrip;
  std::bitset<0x10000> nonspacing;
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
  }
  uset_close(set);
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
    bool lead = byte >= kLeadFirst && byte <= kLeadLast;
    if (!lead && tables.single[byte] == kLead) return false;
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

template <bool kWrite>
Outcome Decode(const Tables& tables, const unsigned char* input, size_t length,
               char16_t* output, size_t capacity) {
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

template <bool kWrite>
Outcome Encode(const Tables& tables, const char16_t* input, size_t length,
               unsigned char* output, size_t capacity, bool compositeCheck) {
  size_t at = 0;
  size_t used = 0;
  while (at < length) {
    uint16_t form = tables.encode[input[at]];
    size_t units = 1;
    if (compositeCheck) {
      // Take in each following mark for as long as the composition so far
      // has a form of its own in 936.
      char16_t composed = input[at];
      while (at + units < length && tables.nonspacing[input[at + units]]) {
        UChar32 next =
            unorm2_composePair(tables.composer, composed, input[at + units]);
        if (next < 0 || next > 0xFFFF || !tables.roundTrip[next]) break;
        composed = static_cast<char16_t>(next);
        ++units;
      }
      if (units > 1) form = tables.encode[composed];
    }
    size_t size = form < 0x100 ? 1 : 2;
    if (kWrite) {
      if (capacity - used < size) return {used, false};
      if (size == 1) {
        output[used] = static_cast<unsigned char>(form);
      } else {
        output[used] = static_cast<unsigned char>(form >> 8);
        output[used + 1] = static_cast<unsigned char>(form & 0xFF);
      }
    }
    used += size;
    at += units;
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
  return output == nullptr
             ? Encode<false>(tables, input, length, nullptr, 0, compositeCheck)
             : Encode<true>(tables, input, length, output, capacity,
                            compositeCheck);
}

}  // namespace velk::platform::codecs
