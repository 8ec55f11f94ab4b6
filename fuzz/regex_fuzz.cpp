// Random patterns and subjects through "VBScript.RegExp" as the probe drives
// it. Checks that every match lies in the subject and is the subject's units
// there, that matches come in order without overlap, that every group lies
// in its match, and that the fast engine and the linear engine agree.
//
// Input: one byte of flags (1 IgnoreCase, 2 Multiline, 4 Global,
// 8 Replace), then pattern, subject and replacement separated by 0x01
// bytes. Bytes below 0x80 are those units; bytes from 0x80 pick awkward
// units (surrogates, line separators, CJK, wide spaces, folding traps).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/automation/regexp_drive.h"
#include "platform/automation/regexp_matcher.h"

namespace {

constexpr char16_t kAwkward[16] = {
    0xD83D, 0xDE00, 0x2028, 0x2029, 0x4E2D, 0x00A0, 0x3000, 0x00E9,
    0x00C9, 0x212A, 0xFEFF, 0xDC00, 0xD800, 0x0085, 0xFFFF, 0x0663};

std::u16string Units(const uint8_t* data, size_t size) {
  std::u16string units;
  for (size_t i = 0; i < size; ++i) {
    units += data[i] < 0x80 ? static_cast<char16_t>(data[i])
                            : kAwkward[data[i] & 15];
  }
  return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flagBits = data[0];
  std::vector<std::u16string> parts(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0x01 && parts.size() < 3) {
      parts.emplace_back();
    } else {
      parts.back() += Units(&data[i], 1);
    }
  }
  parts.resize(3);
  const std::u16string& pattern = parts[0];
  const std::u16string& subject = parts[1];
  std::string flags;
  if (flagBits & 1) flags += 'i';
  if (flagBits & 2) flags += 'm';
  if (flagBits & 4) flags += 'g';
  std::optional<std::u16string> replacement;
  if (flagBits & 8) replacement = parts[2];

  const velk::platform::DrivenRun run =
      velk::platform::DriveRegExp(flags, pattern, subject, replacement);
  if (!(flagBits & 4)) FUZZ_CHECK(run.matches.size() <= 1);
  FUZZ_CHECK(run.executed || run.matches.empty());
  if (replacement) FUZZ_CHECK(run.replaced == run.executed);
  long previousEnd = -1;
  long previousStart = -1;
  for (const velk::platform::DrivenMatch& match : run.matches) {
    FUZZ_CHECK(match.firstIndex >= 0 && match.length >= 0);
    FUZZ_CHECK(static_cast<size_t>(match.firstIndex) + match.length <=
               subject.size());
    FUZZ_CHECK(subject.compare(match.firstIndex, match.length, match.value) ==
               0);
    FUZZ_CHECK(match.firstIndex >= previousEnd &&
               match.firstIndex > previousStart);
    previousStart = match.firstIndex;
    previousEnd = match.firstIndex + match.length;
    for (const auto& group : match.groups) {
      if (group) FUZZ_CHECK(match.value.find(*group) != std::u16string::npos);
    }
  }

  // The fast engine, where it runs, finds exactly what the linear one does.
  using velk::platform::regexp::EngineChoice;
  using velk::platform::regexp::Matcher;
  auto hybrid = Matcher::Compile(pattern, flagBits & 1, flagBits & 2,
                                 EngineChoice::kHybrid);
  auto linear = Matcher::Compile(pattern, flagBits & 1, flagBits & 2,
                                 EngineChoice::kLinearOnly);
  FUZZ_CHECK((hybrid == nullptr) == (linear == nullptr));
  FUZZ_CHECK((hybrid != nullptr) == run.executed);
  if (hybrid != nullptr) {
    std::vector<int> fast, slow;
    hybrid->Execute(subject, flagBits & 4, fast);
    linear->Execute(subject, flagBits & 4, slow);
    FUZZ_CHECK(fast == slow);
  }
  return 0;
}
