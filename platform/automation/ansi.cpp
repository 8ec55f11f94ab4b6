// The ANSI boundary of the automation service, kept apart so that a program
// that drives objects in UTF-16 only needs no code page service.
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/automation/automation.h"
#include "platform/codepage/codepage.h"

namespace velk::platform {

// A 936 character is one or two bytes and always one UTF-16 unit, so the
// byte count bounds the units; a UTF-16 unit never takes more than two
// bytes. Sizing the output by these bounds converts in one pass instead of
// a measuring pass and a converting pass.
namespace {

// ASCII is itself in code page 936 and in UTF-16; short ASCII texts, such as
// most group texts of a page, skip the service call.
constexpr size_t kShortText = 256;

// True when every element is below 0x80; a branch-free loop the compiler
// vectorises.
template <typename Unit>
bool IsAscii(std::basic_string_view<Unit> text) {
  unsigned bits = 0;
  for (Unit c : text) bits |= static_cast<std::make_unsigned_t<Unit>>(c);
  return bits < 0x80;
}

}  // namespace

std::u16string AnsiToWide(std::string_view ansi) {
  if (ansi.empty()) return {};
  if (ansi.size() <= kShortText && IsAscii(ansi)) {
    return std::u16string(ansi.begin(), ansi.end());
  }
  const int length = static_cast<int>(ansi.size());
  std::u16string wide(ansi.size(), u'\0');
  int written = MultiByteToWide(kCodePageAnsi, 0, ansi.data(), length,
                                wide.data(), length);
  if (written <= 0) {
    // Not expected with the bound above; measure and convert as usual.
    const int needed =
        MultiByteToWide(kCodePageAnsi, 0, ansi.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    wide.assign(static_cast<size_t>(needed), u'\0');
    written = MultiByteToWide(kCodePageAnsi, 0, ansi.data(), length,
                              wide.data(), needed);
    if (written <= 0) return {};
  }
  wide.resize(static_cast<size_t>(written));
  return wide;
}

void WideToAnsi(std::u16string_view wide, std::string& ansi) {
  ansi.clear();
  if (wide.empty()) return;
  if (wide.size() <= kShortText && IsAscii(wide)) {
    ansi.assign(wide.begin(), wide.end());
    return;
  }
  const int length = static_cast<int>(wide.size());
  ansi.resize(wide.size() * 2);
  int written = WideToMultiByte(kCodePageAnsi, 0, wide.data(), length,
                                ansi.data(), length * 2);
  if (written <= 0) {
    const int needed =
        WideToMultiByte(kCodePageAnsi, 0, wide.data(), length, nullptr, 0);
    ansi.clear();
    if (needed <= 0) return;
    ansi.resize(static_cast<size_t>(needed));
    written = WideToMultiByte(kCodePageAnsi, 0, wide.data(), length,
                              ansi.data(), needed);
    if (written <= 0) {
      ansi.clear();
      return;
    }
  }
  ansi.resize(static_cast<size_t>(written));
}

std::string WideToAnsi(std::u16string_view wide) {
  std::string ansi;
  WideToAnsi(wide, ansi);
  return ansi;
}

}  // namespace velk::platform
