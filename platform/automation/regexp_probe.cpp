// Reads lines "re FLAGS PATTERN SUBJECT [REPLACEMENT]" from standard input
// (FLAGS: any of i, m, g, or "-"; texts as UTF-8 hex, "-" for empty) and
// prints what "VBScript.RegExp" reports for each, through the automation
// service:
//   execute ok=0|1
//   count n=N
//   match I firstindex=F length=L value=HEX      (I from 1)
//   sub I K empty | sub I K value=HEX             (K from 1)
//   replace ok=0|1 value=HEX                      (with a replacement)
//   end
// A line it cannot read prints "error" and "end".
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/automation/regexp_drive.h"
#include "platform/codepage/codepage.h"

namespace {

using velk::platform::kCodePageUtf8;

bool FromHex(const std::string& field, std::string& bytes) {
  bytes.clear();
  if (field == "-") return true;
  if (field.size() % 2 != 0) return false;
  for (size_t i = 0; i < field.size(); i += 2) {
    int value = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = field[j];
      int digit = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : -1;
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    bytes += static_cast<char>(value);
  }
  return true;
}

std::u16string Utf8ToWide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int needed = velk::platform::MultiByteToWide(
      kCodePageUtf8, 0, utf8.data(), length, nullptr, 0);
  std::u16string wide(static_cast<size_t>(needed), u'\0');
  velk::platform::MultiByteToWide(kCodePageUtf8, 0, utf8.data(), length,
                                  wide.data(), needed);
  return wide;
}

std::string Hex(const std::u16string& wide) {
  if (wide.empty()) return "";
  const int length = static_cast<int>(wide.size());
  const int needed = velk::platform::WideToMultiByte(
      kCodePageUtf8, 0, wide.data(), length, nullptr, 0);
  std::string utf8(static_cast<size_t>(needed), '\0');
  velk::platform::WideToMultiByte(kCodePageUtf8, 0, wide.data(), length,
                                  utf8.data(), needed);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : utf8) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string word, flags, pattern, subject, replacementField, extra;
    fields >> word >> flags >> pattern >> subject;
    const bool hasReplacement = static_cast<bool>(fields >> replacementField);
    std::string patternBytes, subjectBytes, replacementBytes;
    if (word != "re" || subject.empty() || (fields >> extra) ||
        !FromHex(pattern, patternBytes) || !FromHex(subject, subjectBytes) ||
        (hasReplacement && !FromHex(replacementField, replacementBytes))) {
      std::cout << "error\nend\n";
      continue;
    }
    std::optional<std::u16string> replacement;
    if (hasReplacement) replacement = Utf8ToWide(replacementBytes);
    const velk::platform::DrivenRun run = velk::platform::DriveRegExp(
        flags == "-" ? "" : flags, Utf8ToWide(patternBytes),
        Utf8ToWide(subjectBytes), replacement);
    std::cout << "execute ok=" << run.executed << "\n";
    std::cout << "count n=" << run.matches.size() << "\n";
    for (size_t i = 0; i < run.matches.size(); ++i) {
      const velk::platform::DrivenMatch& match = run.matches[i];
      std::cout << "match " << i + 1 << " firstindex=" << match.firstIndex
                << " length=" << match.length << " value=" << Hex(match.value)
                << "\n";
      for (size_t k = 0; k < match.groups.size(); ++k) {
        std::cout << "sub " << i + 1 << " " << k + 1;
        if (match.groups[k]) {
          std::cout << " value=" << Hex(*match.groups[k]) << "\n";
        } else {
          std::cout << " empty\n";
        }
      }
    }
    if (replacement) {
      std::cout << "replace ok=" << run.replaced
                << " value=" << Hex(run.replacement) << "\n";
    }
    std::cout << "end\n";
  }
  return 0;
}
