// Reads the code page 936 tables out of ICU. Every UTF-16 unit gets one
// fixed 936 form and every byte pair one fixed unit, so that the converters
// can count and write with direct lookups and stop exactly after the last
// whole character that fits. This is also where ICU's behaviour is
// corrected to the platform's (see BuildEncodeTable).
#include "platform/codepage/gbk_tables.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>
#include <unicode/uset.h>
#include <unicode/utypes.h>

#include <memory>

namespace velk::platform::codecs {
namespace {

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
  tables.marksAreQuestionMarks = true;
  for (uint32_t unit = 0; unit < 0x10000; ++unit) {
    if (tables.nonspacing[unit] && tables.encode[unit] != kQuestionMark) {
      tables.marksAreQuestionMarks = false;
    }
  }
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
  return unorm2_getNFCInstance(&status) != nullptr && U_SUCCESS(status);
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

}  // namespace

const Tables& GetTables() {
  static const std::unique_ptr<Tables> tables = [] {
    auto built = std::make_unique<Tables>();
    built->ready = BuildEncodeTable(*built) && BuildDecodeTables(*built);
    return built;
  }();
  return *tables;
}

int32_t ComposePair(char16_t base, char16_t mark) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* composer = unorm2_getNFCInstance(&status);
  if (U_FAILURE(status) || composer == nullptr) return -1;
  return unorm2_composePair(composer, base, mark);
}

}  // namespace velk::platform::codecs
