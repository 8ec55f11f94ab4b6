// The two calls of the code page service: argument checks, the terminator
// of -1 input, sizing versus writing, and the service's return values. The
// conversions themselves live in utf8_codec.cpp and gbk_codec.cpp.
#include "platform/codepage/codepage.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "platform/codepage/codecs.h"

namespace velk::platform {
namespace {

enum class Page { kUtf8, kGbk, kNone };

Page PageOf(int codePage) {
  switch (codePage) {
    case kCodePageUtf8:
      return Page::kUtf8;
    case kCodePageAnsi:
    case kCodePageGbk:
      return codecs::GbkAvailable() ? Page::kGbk : Page::kNone;
    default:
      return Page::kNone;
  }
}

// Units before the terminating U+0000. Each unit is read only after the one
// before it was found not to be the terminator, so the scan never reads
// past the end of the caller's data; unrolled, since the loop overhead is
// most of its cost.
size_t UnitLength(const char16_t* input) {
  const char16_t* at = input;
  for (;;) {
    if (at[0] == 0) return static_cast<size_t>(at - input);
    if (at[1] == 0) return static_cast<size_t>(at - input) + 1;
    if (at[2] == 0) return static_cast<size_t>(at - input) + 2;
    if (at[3] == 0) return static_cast<size_t>(at - input) + 3;
    at += 4;
  }
}

// The service's return value for a finished conversion: the count, or 0
// when the output filled up or the count has no int value.
int Result(const codecs::Outcome& outcome) {
  if (!outcome.complete || outcome.count > static_cast<size_t>(INT_MAX)) {
    return 0;
  }
  return static_cast<int>(outcome.count);
}

}  // namespace

int MultiByteToWide(int codePage, unsigned flags, const char* input, int length,
                    char16_t* output, int capacity) {
  if (input == nullptr || length == 0 || length < -1 || capacity < 0) return 0;
  // Decoding has no options here; the platform refuses flags it does not
  // know rather than ignoring them.
  if (flags != 0) return 0;
  Page page = PageOf(codePage);
  if (page == Page::kNone) return 0;
  // -1 takes the terminating NUL in as the last byte of the input, so it is
  // decoded, counted and written like any other.
  size_t size =
      length == -1 ? std::strlen(input) + 1 : static_cast<size_t>(length);
  bool sizing = output == nullptr || capacity == 0;
  auto bytes = reinterpret_cast<const unsigned char*>(input);
  char16_t* target = sizing ? nullptr : output;
  auto room = static_cast<size_t>(capacity);
  codecs::Outcome outcome = page == Page::kUtf8
                                ? codecs::DecodeUtf8(bytes, size, target, room)
                                : codecs::DecodeGbk(bytes, size, target, room);
  return Result(outcome);
}

int WideToMultiByte(int codePage, unsigned flags, const char16_t* input,
                    int length, char* output, int capacity) {
  if (input == nullptr || length == 0 || length < -1 || capacity < 0) return 0;
  Page page = PageOf(codePage);
  if (page == Page::kNone) return 0;
  // UTF-8 takes no flags; 936 takes only the composite check.
  unsigned allowed = page == Page::kGbk ? kCompositeCheck : 0u;
  if ((flags & ~allowed) != 0) return 0;
  size_t size =
      length == -1 ? UnitLength(input) + 1 : static_cast<size_t>(length);
  bool sizing = output == nullptr || capacity == 0;
  auto target = sizing ? nullptr : reinterpret_cast<unsigned char*>(output);
  auto room = static_cast<size_t>(capacity);
  codecs::Outcome outcome =
      page == Page::kUtf8 ? codecs::EncodeUtf8(input, size, target, room)
                          : codecs::EncodeGbk(input, size, target, room,
                                              (flags & kCompositeCheck) != 0);
  return Result(outcome);
}

}  // namespace velk::platform
