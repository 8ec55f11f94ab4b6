// The ANSI boundary of the automation service, kept apart so that a program
// that drives objects in UTF-16 only needs no code page service.
#include <string>
#include <string_view>

#include "platform/automation/automation.h"
#include "platform/codepage/codepage.h"

namespace velk::platform {

std::u16string AnsiToWide(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  const int needed =
      MultiByteToWide(kCodePageAnsi, 0, ansi.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::u16string wide(static_cast<size_t>(needed), u'\0');
  const int written = MultiByteToWide(kCodePageAnsi, 0, ansi.data(), length,
                                      wide.data(), needed);
  if (written <= 0) return {};
  wide.resize(static_cast<size_t>(written));
  return wide;
}

std::string WideToAnsi(std::u16string_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideToMultiByte(kCodePageAnsi, 0, wide.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::string ansi(static_cast<size_t>(needed), '\0');
  const int written = WideToMultiByte(kCodePageAnsi, 0, wide.data(), length,
                                      ansi.data(), needed);
  if (written <= 0) return {};
  ansi.resize(static_cast<size_t>(written));
  return ansi;
}

}  // namespace velk::platform
