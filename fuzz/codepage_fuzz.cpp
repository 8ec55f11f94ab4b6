// Checks the five code page conversions and the code page service over
// arbitrary bytes: no crash and no read past the input (the sanitizers watch
// that), the length rules of each routine, and the service's full-buffer
// rule (whole characters only, nothing written past the capacity).
//
// The first input byte picks a code page and a capacity; the rest is the
// data, read as UTF-8 or 936 bytes and as little-endian UTF-16.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/codepage/codepage.h"
#include "text/codepage.h"
#include "text/text.h"

namespace velk {
namespace {

using platform::kCodePageAnsi;
using platform::kCodePageGbk;
using platform::kCodePageUtf8;
using platform::kCompositeCheck;

std::u16string UnitsOf(const Bytes& wide) {
  std::u16string units(static_cast<size_t>(wide.length()) / 2, u'\0');
  std::memcpy(units.data(), wide.data(), units.size() * 2);
  return units;
}

// The units up to the first U+0000, or all.
std::u16string Terminated(const std::u16string& units) {
  return units.substr(0, units.find(u'\0'));
}

int GbkSize(const std::u16string& units, unsigned flags) {
  if (units.empty()) return 0;
  return platform::WideToMultiByte(kCodePageGbk, flags, units.data(),
                                   static_cast<int>(units.size()), nullptr, 0);
}

std::string Gbk(const std::u16string& units, unsigned flags) {
  std::string out(static_cast<size_t>(GbkSize(units, flags)), '\0');
  if (!out.empty()) {
    FUZZ_CHECK(platform::WideToMultiByte(kCodePageGbk, flags, units.data(),
                                         static_cast<int>(units.size()),
                                         out.data(),
                                         static_cast<int>(out.size())) ==
               static_cast<int>(out.size()));
  }
  return out;
}

void CheckRoutines(const Bytes& data, const Text& text, int codePage) {
  // Utf8BytesToWide: whole units, never more than one per byte.
  Bytes wide = Utf8BytesToWide(data);
  FUZZ_CHECK(wide.length() % 2 == 0);
  FUZZ_CHECK(wide.length() <= 2 * data.length());
  std::u16string units = UnitsOf(wide);

  // Utf8BytesToGbk: always the sized length of all units; the encoding of
  // the units before the first U+0000, then zeros.
  Bytes gbk = Utf8BytesToGbk(data);
  FUZZ_CHECK(gbk.length() == GbkSize(units, kCompositeCheck));
  std::string head = Gbk(Terminated(units), kCompositeCheck);
  FUZZ_CHECK(gbk.view().substr(0, head.size()) == head);
  for (size_t at = head.size(); at < gbk.view().size(); ++at) {
    FUZZ_CHECK(gbk.view()[at] == '\0');
  }

  // TextToWide: 2 x the ANSI count, terminator included.
  int ansiCount =
      platform::MultiByteToWide(kCodePageAnsi, 0, text.c_str(), -1, nullptr, 0);
  FUZZ_CHECK(ansiCount >= 1 && ansiCount <= text.length() + 1);
  std::optional<int> chosen;
  if (codePage >= 0) chosen = codePage;
  Bytes textWide = TextToWide(text, chosen);
  FUZZ_CHECK(textWide.length() == 2 * ansiCount);
  if (chosen == kCodePageGbk || chosen == kCodePageAnsi) {
    // Decoded under its own count: ends in the terminator.
    FUZZ_CHECK(UnitsOf(textWide).back() == u'\0');
  }

  // WideToText: a Text never holds a NUL; under 936 it is exactly the
  // encoding of the units before the first U+0000.
  for (const Bytes* source : {&wide, &textWide}) {
    Text narrow = WideToText(*source, chosen);
    FUZZ_CHECK(narrow.view().find('\0') == std::string_view::npos);
    Text gbkText = WideToText(*source, kCodePageGbk);
    FUZZ_CHECK(gbkText.str() == Gbk(Terminated(UnitsOf(*source)), 0));
  }

  // Utf8TextToGbk: the 936 text of the cut decoding.
  Text converted = Utf8TextToGbk(text);
  FUZZ_CHECK(converted.view().find('\0') == std::string_view::npos);
  FUZZ_CHECK(converted == WideToText(TextToWide(text), kCodePageGbk));
}

// One service call into `capacity` elements, made twice with two different
// fillings: the elements where both runs agree are the ones it wrote.
template <typename Element>
struct Filled {
  std::vector<Element> out;
  size_t written = 0;
  int result = 0;
};

template <typename Element, typename Call>
Filled<Element> Fill(Call call, int capacity) {
  Filled<Element> filled;
  filled.out.assign(static_cast<size_t>(capacity), Element(0xCC));
  std::vector<Element> other(static_cast<size_t>(capacity), Element(0x33));
  filled.result = call(filled.out.data());
  FUZZ_CHECK(call(other.data()) == filled.result);
  while (filled.written < other.size() &&
         filled.out[filled.written] == other[filled.written]) {
    ++filled.written;
  }
  return filled;
}

// Size of the character that starts at `byte` of an encoder's output.
size_t CharacterSize(int codePage, unsigned char byte) {
  if (codePage == kCodePageUtf8) {
    return byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
  }
  return byte >= 0x81 && byte <= 0xFE ? 2 : 1;
}

void CheckService(const std::string& bytes, const std::u16string& units,
                  int codePage, int capacity) {
  // Decoding.
  int length = static_cast<int>(bytes.size());
  int needed =
      platform::MultiByteToWide(codePage, 0, bytes.data(), length, nullptr, 0);
  FUZZ_CHECK(needed <= length);
  FUZZ_CHECK((needed > 0) == (length > 0));
  std::u16string full(static_cast<size_t>(needed), u'\0');
  if (needed > 0) {
    FUZZ_CHECK(platform::MultiByteToWide(codePage, 0, bytes.data(), length,
                                         full.data(), needed) == needed);
  }
  if (length > 0 && capacity > 0) {
    Filled<char16_t> filled = Fill<char16_t>(
        [&](char16_t* out) {
          return platform::MultiByteToWide(codePage, 0, bytes.data(), length,
                                           out, capacity);
        },
        capacity);
    size_t written = filled.written;
    FUZZ_CHECK(std::u16string_view(filled.out.data(), written) ==
               std::u16string_view(full).substr(0, written));
    if (capacity >= needed) {
      FUZZ_CHECK(filled.result == needed);
      FUZZ_CHECK(written == static_cast<size_t>(needed));
    } else {
      FUZZ_CHECK(filled.result == 0);
      // Every whole character that fits: all of the room, or all but one
      // unit when the next character is a surrogate pair.
      FUZZ_CHECK(written == static_cast<size_t>(capacity) ||
                 (written + 1 == static_cast<size_t>(capacity) &&
                  full[written] >= 0xD800 && full[written] <= 0xDBFF));
      FUZZ_CHECK(written == 0 || full[written - 1] < 0xD800 ||
                 full[written - 1] > 0xDBFF);
    }
  }

  // Encoding, with and without the composite check.
  int unitCount = static_cast<int>(units.size());
  for (unsigned flags : {0u, kCompositeCheck}) {
    if (codePage == kCodePageUtf8 && flags != 0) continue;
    needed = platform::WideToMultiByte(codePage, flags, units.data(), unitCount,
                                       nullptr, 0);
    FUZZ_CHECK((needed > 0) == (unitCount > 0));
    std::string fullBytes(static_cast<size_t>(needed), '\0');
    if (needed > 0) {
      FUZZ_CHECK(platform::WideToMultiByte(codePage, flags, units.data(),
                                           unitCount, fullBytes.data(),
                                           needed) == needed);
    }
    if (unitCount == 0 || capacity == 0) continue;
    Filled<char> filled = Fill<char>(
        [&](char* out) {
          return platform::WideToMultiByte(codePage, flags, units.data(),
                                           unitCount, out, capacity);
        },
        capacity);
    size_t written = filled.written;
    FUZZ_CHECK(std::string_view(filled.out.data(), written) ==
               std::string_view(fullBytes).substr(0, written));
    if (capacity >= needed) {
      FUZZ_CHECK(filled.result == needed);
      FUZZ_CHECK(written == static_cast<size_t>(needed));
      continue;
    }
    FUZZ_CHECK(filled.result == 0);
    // What was written ends a character of the full output, and the next
    // character does not fit in the room that is left.
    size_t at = 0;
    while (at < written) {
      at += CharacterSize(codePage, static_cast<unsigned char>(fullBytes[at]));
    }
    FUZZ_CHECK(at == written);
    size_t next =
        CharacterSize(codePage, static_cast<unsigned char>(fullBytes[written]));
    FUZZ_CHECK(written + next > static_cast<size_t>(capacity));
  }
}

}  // namespace
}  // namespace velk

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned control = data[0];
  std::string payload(reinterpret_cast<const char*>(data + 1), size - 1);
  velk::Bytes bytes(payload);
  velk::Text text{std::string_view(payload)};
  std::u16string units(payload.size() / 2, u'\0');
  std::memcpy(units.data(), payload.data(), units.size() * 2);

  static const int kCodePages[] = {velk::platform::kCodePageUtf8,
                                   velk::platform::kCodePageGbk,
                                   velk::platform::kCodePageAnsi, -1};
  const int codePage = kCodePages[control & 3];
  velk::CheckRoutines(bytes, text, codePage);
  const int serviceCodePage =
      codePage < 0 ? velk::platform::kCodePageGbk : codePage;
  velk::CheckService(payload, units, serviceCodePage,
                     static_cast<int>(control >> 2));
  return 0;
}
