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
#include <vector>

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

// The BMP units other than surrogates in one of the converter's sets, in
// order; empty when ICU cannot give the set.
std::vector<UChar> BmpUnits(UConverter* converter, UConverterUnicodeSet which) {
  std::vector<UChar> units;
  USet* set = uset_openEmpty();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_getUnicodeSet(converter, set, which, &status);
  if (U_SUCCESS(status)) {
    units.reserve(static_cast<size_t>(uset_size(set)));
    const int32_t ranges = uset_getItemCount(set);
    for (int32_t i = 0; i < ranges; ++i) {
      UChar32 first = 0;
      UChar32 last = 0;
      status = U_ZERO_ERROR;
      // Ranges have no string part (length 0); strings are skipped.
      if (uset_getItem(set, i, &first, &last, nullptr, 0, &status) != 0) {
        continue;
      }
      for (UChar32 unit = first; unit <= last && unit < 0x10000; ++unit) {
        if (unit < 0xD800 || unit > 0xDFFF) {
          units.push_back(static_cast<UChar>(unit));
        }
      }
    }
  }
  uset_close(set);
  return units;
}

bool BuildEncodeTable(Tables& tables) {
  IcuConverter icu("windows-936");
  if (icu.converter == nullptr) return false;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setFallback(icu.converter, true);
  // Skip instead of substituting, so that every character without a form
  // writes nothing and keeps the platform's '?'.
  ucnv_setFromUCallBack(icu.converter, UCNV_FROM_U_CALLBACK_SKIP, nullptr,
                        nullptr, nullptr, &status);
  if (U_FAILURE(status)) return false;
  for (uint32_t unit = 0; unit < 0x10000; ++unit) {
    tables.encode[unit] = kQuestionMark;
  }
  // Only the units ICU has a form for (round trip or fallback) go through
  // it, all in one pass; the offsets tell which unit wrote which bytes. A
  // unit that writes nothing keeps '?': ICU drops default-ignorable
  // characters that 936 lacks (U+200B, U+FEFF, variation selectors ...)
  // silently, and the platform writes '?' for each.
  std::vector<UChar> units =
      BmpUnits(icu.converter, UCNV_ROUNDTRIP_AND_FALLBACK_SET);
  if (units.empty()) return false;
  std::vector<char> bytes(units.size() * 4);
  std::vector<int32_t> offsets(bytes.size());
  char* target = bytes.data();
  const UChar* source = units.data();
  status = U_ZERO_ERROR;
  ucnv_fromUnicode(icu.converter, &target, bytes.data() + bytes.size(), &source,
                   units.data() + units.size(), offsets.data(), true, &status);
  if (U_FAILURE(status) || source != units.data() + units.size()) {
    return false;
  }
  const size_t written = static_cast<size_t>(target - bytes.data());
  for (size_t at = 0; at < written;) {
    size_t end = at + 1;
    while (end < written && offsets[end] == offsets[at]) ++end;
    const uint32_t unit = units[static_cast<size_t>(offsets[at])];
    auto byte0 = static_cast<unsigned char>(bytes[at]);
    if (end - at == 1) {
      // ICU maps a few symbols (U+FFE9..U+FFEC, U+FFEE) to control bytes;
      // the platform gives '?' for them. A character never becomes a
      // control byte other than its own.
      if (unit < 0x80 || byte0 >= 0x20) tables.encode[unit] = byte0;
    } else if (end - at == 2) {
      auto byte1 = static_cast<unsigned char>(bytes[at + 1]);
      tables.encode[unit] = static_cast<uint16_t>(byte0 << 8 | byte1);
    }
    at = end;
  }

  for (UChar unit : BmpUnits(icu.converter, UCNV_ROUNDTRIP_SET)) {
    tables.roundTrip[unit] = true;
  }
  for (uint32_t unit = 0; unit < 0x10000; ++unit) {
    tables.nonspacing[unit] =
        u_charType(static_cast<UChar32>(unit)) == U_NON_SPACING_MARK;
    if (tables.nonspacing[unit] && unit < tables.firstMark) {
      tables.firstMark = unit;
    }
  }
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
  // Every lead byte with every following byte, all in one pass, skipping
  // what ICU cannot decode; the offsets tell which pair wrote which unit. A
  // pair is one character when it wrote exactly one unit at its first byte
  // and nothing at its second. Where the second byte cannot trail, ICU
  // reads it again on its own: such a byte is never a lead byte (checked
  // below), so it cannot take in the next pair.
  constexpr int kLeads = kLeadLast - kLeadFirst + 1;
  std::vector<char> pairs;
  pairs.reserve(kLeads * 0x100 * 2);
  for (int lead = kLeadFirst; lead <= kLeadLast; ++lead) {
    // The table layout assumes ICU's lead bytes are exactly 0x81..0xFE.
    if (tables.single[lead] != kLead) return false;
    for (int trail = 0; trail < 0x100; ++trail) {
      pairs.push_back(static_cast<char>(lead));
      pairs.push_back(static_cast<char>(trail));
    }
  }
  status = U_ZERO_ERROR;
  ucnv_setToUCallBack(icu.converter, UCNV_TO_U_CALLBACK_SKIP, nullptr, nullptr,
                      nullptr, &status);
  if (U_FAILURE(status)) return false;
  std::vector<UChar> units(pairs.size());
  std::vector<int32_t> offsets(units.size());
  UChar* target = units.data();
  const char* source = pairs.data();
  ucnv_resetToUnicode(icu.converter);
  ucnv_toUnicode(icu.converter, &target, units.data() + units.size(), &source,
                 pairs.data() + pairs.size(), offsets.data(), true, &status);
  if (U_FAILURE(status) || source != pairs.data() + pairs.size()) return false;
  std::vector<int> wrote(pairs.size(), 0);
  std::vector<char16_t> first(pairs.size(), 0);
  for (UChar* unit = units.data(); unit < target; ++unit) {
    const auto at = static_cast<size_t>(offsets[unit - units.data()]);
    if (at >= pairs.size()) return false;
    if (at % 2 == 1 &&
        tables.single[static_cast<unsigned char>(pairs[at])] == kLead) {
      return false;
    }
    ++wrote[at];
    first[at] = *unit;
  }
  for (size_t pair = 0; pair < pairs.size() / 2; ++pair) {
    char16_t unit =
        wrote[2 * pair] == 1 && wrote[2 * pair + 1] == 0 ? first[2 * pair] : 0;
    tables.pair[pair / 0x100][pair % 0x100] =
        unit == kReplacement || unit == kLead ? 0 : unit;
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
