// The five conversions between UTF-8, UTF-16 and code page 936. Each makes
// a sizing call and a conversion call to the code page service and returns
// its buffer as the conversion left it; the two calls do not always agree on
// code page or input length, and those differences are kept on purpose
// (see TextToWide and Utf8BytesToGbk).
#include "text/codepage.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/codepage/codepage.h"

namespace velk {
namespace {

using platform::kCodePageAnsi;
using platform::kCodePageGbk;
using platform::kCodePageUtf8;
using platform::kCompositeCheck;

// UTF-16 in Bytes is little-endian, and the service reads and writes the
// units in place.
static_assert(std::endian::native == std::endian::little);

// The units of a Bytes value; null for the empty value, which holds none.
const char16_t* UnitsOf(const Bytes& wide) {
  return wide.empty() ? nullptr
                      : reinterpret_cast<const char16_t*>(wide.data());
}

char16_t* UnitsOf(Bytes& wide) {
  return wide.empty() ? nullptr
                      : reinterpret_cast<char16_t*>(wide.mutable_data());
}

char* BytesOf(Bytes& bytes) {
  return bytes.empty() ? nullptr
                       : reinterpret_cast<char*>(bytes.mutable_data());
}

// A zero-filled buffer of `units` UTF-16 units, as BlankBytes gives it,
// with room reserved for one more unit behind it: Utf8BytesToGbk adds a
// terminator there without moving the data. A count whose bytes would not
// fit a Bytes length is held to the most that does; callers pass the
// buffer's own unit count as the capacity.
Bytes WideBuffer(int units) {
  if (units <= 0) return Bytes();
  units = std::min(units, (INT_MAX - 2) / 2);
  std::string storage;
  storage.reserve(2 * static_cast<size_t>(units) + 2);
  storage.resize(2 * static_cast<size_t>(units));
  return Bytes(std::move(storage));
}

// Offset of the first U+0000 among `count` units, or `count`. Four units
// at a time: the expression is non-zero exactly when some 16-bit lane of
// `word` is zero, and the unit-by-unit loop then finds which.
size_t FindTerminator(const char16_t* units, size_t count) {
  size_t at = 0;
  for (; at + 4 <= count; at += 4) {
    uint64_t word;
    std::memcpy(&word, units + at, sizeof word);
    if (((word - 0x0001000100010001u) & ~word & 0x8000800080008000u) != 0) {
      break;
    }
  }
  while (at < count && units[at] != u'\0') ++at;
  return at;
}

// Twice a count, as an int buffer size.
int Twice(int count) {
  return static_cast<int>(std::min<int64_t>(int64_t{2} * count, INT_MAX));
}

// UTF-16 for a call with input length -1, which reads up to the first
// U+0000 unit. Used in place when the value holds one; otherwise a copy with
// a terminator, so that the read ends at the end of the value.
class TerminatedUnits {
 public:
  explicit TerminatedUnits(const Bytes& wide) {
    const char16_t* units = UnitsOf(wide);
    if (units == nullptr) return;
    size_t count = static_cast<size_t>(wide.length()) / 2;
    if (FindTerminator(units, count) < count) {
      units_ = units;
    } else {
      copy_.assign(units, count);
      units_ = copy_.c_str();
    }
  }
  // Null for an empty value: the call then has no input and fails.
  const char16_t* get() const { return units_; }

 private:
  const char16_t* units_ = nullptr;
  std::u16string copy_;
};

}  // namespace

Bytes Utf8BytesToWide(const Bytes& utf8) {
  int cb = BytesLength(utf8);
  const char* input = reinterpret_cast<const char*>(utf8.data());
  int n = platform::MultiByteToWide(kCodePageUtf8, 0, input, cb, nullptr, 0);
  Bytes buffer = WideBuffer(n);
  platform::MultiByteToWide(kCodePageUtf8, 0, input, cb, UnitsOf(buffer),
                            BytesLength(buffer) / 2);
  return buffer;
}

Bytes Utf8BytesToGbk(const Bytes& utf8) {
  Bytes wide = Utf8BytesToWide(utf8);
  int n = BytesLength(wide) / 2;
  // Sized over all n units, NUL units included ...
  int m = platform::WideToMultiByte(kCodePageGbk, kCompositeCheck,
                                    UnitsOf(wide), n, nullptr, 0);
  Bytes buffer = BlankBytes(m);
  // ... but converted as terminated data, so a U+0000 unit ends the
  // encoding and the rest of the m bytes stays zero. Without one the
  // encoding fills all m bytes and only the terminator finds no room; the
  // service's report of that is of no interest. The terminator unit added
  // behind the data (in the room WideBuffer kept) ends the read at the end
  // of the value.
  if (!wide.empty()) wide.Append("\0\0", 2);
  platform::WideToMultiByte(kCodePageGbk, kCompositeCheck, UnitsOf(wide), -1,
                            BytesOf(buffer), m);
  return buffer;
}

Bytes TextToWide(const Text& text, std::optional<int> codePage) {
  int chosen = codePage.value_or(kCodePageUtf8);
  // The buffer is sized by the ANSI decoding, whatever page is chosen. When
  // the chosen decoding needs more units (UTF-8 of bytes that are not
  // UTF-8), it is cut after n units and carries no terminator.
  int n =
      platform::MultiByteToWide(kCodePageAnsi, 0, text.c_str(), -1, nullptr, 0);
  Bytes buffer = WideBuffer(n);
  platform::MultiByteToWide(chosen, 0, text.c_str(), -1, UnitsOf(buffer),
                            BytesLength(buffer) / 2);
  return buffer;
}

Text WideToText(const Bytes& wide, std::optional<int> codePage) {
  int chosen = codePage.value_or(kCodePageAnsi);
  TerminatedUnits terminated(wide);
  int cb = platform::WideToMultiByte(kCodePageAnsi, 0, terminated.get(), -1,
                                     nullptr, 0);
  // A blank-filled buffer of twice the ANSI size: what the encoding does not
  // overwrite stays blank, and the result ends at the NUL it writes.
  std::string buffer(static_cast<size_t>(Twice(cb)), ' ');
  platform::WideToMultiByte(chosen, 0, terminated.get(), -1,
                            buffer.empty() ? nullptr : buffer.data(),
                            static_cast<int>(buffer.size()));
  return Text(std::string_view(buffer));
}

Text Utf8TextToGbk(const Text& utf8) {
  Bytes wide = TextToWide(utf8);
  return WideToText(wide, kCodePageGbk);
}

}  // namespace velk
