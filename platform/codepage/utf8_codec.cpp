// UTF-8 <-> UTF-16 for the code page service.
//
// Written out by hand instead of going through an ICU converter: the service
// must stop at the last whole character that fits (ICU's string functions
// may leave half a surrogate pair at the end of a full buffer), and a whole
// page goes through here twice per conversion, once to count and once to
// write, so the common cases (ASCII runs, three-byte characters) take short
// paths.
#include <cstdint>
#include <cstring>

#include "platform/codepage/codecs.h"

namespace velk::platform::codecs {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Writes (or, with no output, counts) the units of one code point. Returns
// false when they do not fit.
template <bool kWrite>
inline bool PutCodePoint(uint32_t codePoint, char16_t* output, size_t capacity,
                         size_t& used) {
  if (codePoint < 0x10000) {
    if (kWrite) {
      if (used == capacity) return false;
      output[used] = static_cast<char16_t>(codePoint);
    }
    ++used;
    return true;
  }
  if (kWrite) {
    if (capacity - used < 2) return false;
    codePoint -= 0x10000;
    output[used] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
    output[used + 1] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  }
  used += 2;
  return true;
}

template <bool kWrite>
Outcome Decode(const unsigned char* __restrict input, size_t length,
               char16_t* __restrict output, size_t capacity) {
  size_t at = 0;
  size_t used = 0;
  while (at < length) {
    unsigned lead = input[at];
    if (lead < 0x80) {
      // A run of ASCII bytes: one unit each.
      size_t end = length;
      if (kWrite && capacity - used < length - at) end = at + (capacity - used);
      size_t start = at;
      // Eight bytes at a time while they are all ASCII.
      while (end - at >= 8) {
        uint64_t word;
        std::memcpy(&word, input + at, sizeof word);
        if ((word & 0x8080808080808080u) != 0) break;
        if (kWrite) {
          for (size_t k = 0; k < 8; ++k) {
            output[used + (at - start) + k] = input[at + k];
          }
        }
        at += 8;
      }
      while (at < end && input[at] < 0x80) {
        if (kWrite) output[used + (at - start)] = input[at];
        ++at;
      }
      used += at - start;
      if (kWrite && at < length && input[at] < 0x80) return {used, false};
      continue;
    }
    // The common three-byte form (U+1000..U+CFFF, U+E000..U+FFFF), whose
    // continuation bytes need no range check beyond 0x80..0xBF.
    if (lead >= 0xE1 && lead != 0xED && lead <= 0xEF && length - at >= 3) {
      unsigned second = input[at + 1];
      unsigned third = input[at + 2];
      if ((second & 0xC0) == 0x80 && (third & 0xC0) == 0x80) {
        if (kWrite) {
          if (used == capacity) return {used, false};
          output[used] = static_cast<char16_t>(
              (lead & 0x0F) << 12 | (second & 0x3F) << 6 | (third & 0x3F));
        }
        ++used;
        at += 3;
        continue;
      }
    }
    // The first continuation byte's range depends on the lead byte; this is
    // what excludes overlong forms, surrogates and values above U+10FFFF.
    size_t trailCount;
    uint32_t codePoint;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trailCount = 1;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trailCount = 2;
      codePoint = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trailCount = 3;
      codePoint = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      // A continuation byte without a lead, C0, C1 or F5..FF.
      if (!PutCodePoint<kWrite>(kReplacement, output, capacity, used)) {
        return {used, false};
      }
      ++at;
      continue;
    }
    size_t next = at + 1;
    size_t taken = 0;
    while (taken < trailCount && next < length) {
      unsigned trail = input[next];
      if (trail < low || trail > high) break;
      codePoint = (codePoint << 6) | (trail & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++taken;
      ++next;
    }
    // A sequence cut short is one maximal ill-formed subsequence: the lead
    // and the continuation bytes that were valid so far become one U+FFFD,
    // and the byte that broke it is read afresh.
    if (taken < trailCount) codePoint = kReplacement;
    if (!PutCodePoint<kWrite>(codePoint, output, capacity, used)) {
      return {used, false};
    }
    at = next;
  }
  return {used, true};
}

template <bool kWrite>
Outcome Encode(const char16_t* __restrict input, size_t length,
               unsigned char* __restrict output, size_t capacity) {
  size_t at = 0;
  size_t used = 0;
  while (at < length) {
    uint32_t codePoint = input[at];
    size_t units = 1;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
      if (codePoint <= 0xDBFF && at + 1 < length && input[at + 1] >= 0xDC00 &&
          input[at + 1] <= 0xDFFF) {
        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) +
                    (static_cast<uint32_t>(input[at + 1]) - 0xDC00);
        units = 2;
      } else {
        codePoint = kReplacement;
      }
    }
    size_t size = codePoint < 0x80      ? 1
                  : codePoint < 0x800   ? 2
                  : codePoint < 0x10000 ? 3
                                        : 4;
    if (kWrite) {
      if (capacity - used < size) return {used, false};
      unsigned char* out = output + used;
      switch (size) {
        case 1:
          out[0] = static_cast<unsigned char>(codePoint);
          break;
        case 2:
          out[0] = static_cast<unsigned char>(0xC0 | (codePoint >> 6));
          out[1] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
          break;
        case 3:
          out[0] = static_cast<unsigned char>(0xE0 | (codePoint >> 12));
          out[1] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
          out[2] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
          break;
        default:
          out[0] = static_cast<unsigned char>(0xF0 | (codePoint >> 18));
          out[1] =
              static_cast<unsigned char>(0x80 | ((codePoint >> 12) & 0x3F));
          out[2] = static_cast<unsigned char>(0x80 | ((codePoint >> 6) & 0x3F));
          out[3] = static_cast<unsigned char>(0x80 | (codePoint & 0x3F));
          break;
      }
    }
    used += size;
    at += units;
  }
  return {used, true};
}

}  // namespace

Outcome DecodeUtf8(const unsigned char* input, size_t length, char16_t* output,
                   size_t capacity) {
  return output == nullptr ? Decode<false>(input, length, nullptr, 0)
                           : Decode<true>(input, length, output, capacity);
}

Outcome EncodeUtf8(const char16_t* input, size_t length, unsigned char* output,
                   size_t capacity) {
  return output == nullptr ? Encode<false>(input, length, nullptr, 0)
                           : Encode<true>(input, length, output, capacity);
}

}  // namespace velk::platform::codecs
