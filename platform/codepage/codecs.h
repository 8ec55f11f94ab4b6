// The converters behind the code page service, one per direction and code
// page. Internal to the service: the public calls in codepage.h check their
// arguments, find the terminator of -1 input and turn these results into
// the service's return values.
//
// Every converter has one shape. It reads exactly `length` elements of
// `input`. With a null `output` it only
// counts; otherwise it writes whole characters in order until the next one
// would not fit in `capacity`.
#ifndef VELK_PLATFORM_CODEPAGE_CODECS_H_
#define VELK_PLATFORM_CODEPAGE_CODECS_H_

#include <cstddef>

namespace velk::platform::codecs {

struct Outcome {
  // Elements written, or counted when there was no output.
  size_t count = 0;
  // False when the output filled up before the input ended.
  bool complete = true;
};

// UTF-8 to UTF-16. Never fails: each maximal ill-formed subsequence becomes
// one U+FFFD, four-byte sequences become surrogate pairs.
Outcome DecodeUtf8(const unsigned char* input, size_t length, char16_t* output,
                   size_t capacity);

// UTF-16 to UTF-8. A surrogate that is not part of a pair becomes U+FFFD.
Outcome EncodeUtf8(const char16_t* input, size_t length, unsigned char* output,
                   size_t capacity);

// True when the code page 936 tables could be built from ICU; without them
// the two 936 converters must not be called.
bool GbkAvailable();

// Code page 936 to UTF-16. A lead byte that is not followed by a byte that
// can trail it becomes one U+FFFD and the next byte is read afresh.
Outcome DecodeGbk(const unsigned char* input, size_t length, char16_t* output,
                  size_t capacity);

// UTF-16 to code page 936 with its best-fit mappings; everything else
// becomes '?', one per UTF-16 unit. With `compositeCheck`, a character
// followed by nonspacing marks is written as the precomposed character when
// code page 936 holds it.
Outcome EncodeGbk(const char16_t* input, size_t length, unsigned char* output,
                  size_t capacity, bool compositeCheck);

}  // namespace velk::platform::codecs

#endif  // VELK_PLATFORM_CODEPAGE_CODECS_H_
