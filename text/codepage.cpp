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
    if (std::find(units, units + count, u'\0') != units + count) {
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
  Bytes buffer = BlankBytes(Twice(n));
  platform::MultiByteToWide(kCodePageUtf8, 0, input, cb, UnitsOf(buffer), n);
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
  // service's report of that is of no interest.
  TerminatedUnits terminated(wide);
  platform::WideToMultiByte(kCodePageGbk, kCompositeCheck, terminated.get(), -1,
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
  Bytes buffer = BlankBytes(Twice(n));
  platform::MultiByteToWide(chosen, 0, text.c_str(), -1, UnitsOf(buffer), n);
  return buffer;
}

Text WideToText(const Bytes& wide, std::optional<int> codePage) {
  int chosen = codePage.value_or(kCodePageAnsi);
  TerminatedUnits terminated(wide);
  int cb = platform::WideToMultiByte(kCodePageAnsi, 0, terminated.get(), -1,
                                     nullptr, 0);
  // A blank-filled buffer of twice the ANSI size: what the encoding does not
  // overwrite stays blank, and the result ends at the NUL it writes.
  std::string buffer = BlankText(Twice(cb)).str();
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
