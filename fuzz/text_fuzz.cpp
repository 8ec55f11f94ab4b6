// Checks properties of the text primitives, the extraction helpers and the
// address routines over arbitrary bytes: found positions are real,
// character-aligned matches; splitting and joining agree; trimming settles;
// object names always begin with "/".
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "net/url.h"
#include "text/extract.h"
#include "text/text.h"

namespace velk {
namespace {

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

bool Same(const Text& text, int offset, const Text& sought, bool ignoreCase) {
  if (offset < 0 || offset + sought.length() > text.length()) return false;
  for (int i = 0; i < sought.length(); ++i) {
    unsigned char a = text.at(offset + i);
    unsigned char b = sought.at(i);
    if (ignoreCase ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

// The walk written the slow, obvious way: one character at a time from the
// region start, a test at every character start.
int ReferenceFind(const Text& text, const Text& sought, int start,
                  bool ignoreCase) {
  const int length = text.length();
  const int from = start > 1 ? start - 1 : 0;
  if (from >= length) return -1;
  if (sought.empty()) return 1;
  for (int i = from; i < length;) {
    if (length - i >= sought.length() && Same(text, i, sought, ignoreCase)) {
      return i + 1;
    }
    if (text.at(i) >= 0x80) {
      if (i + 1 >= length) break;
      i += 2;
    } else {
      ++i;
    }
  }
  return -1;
}

bool EndsInTruncatedCharacter(const Text& text) {
  int i = 0;
  while (i < text.length()) {
    if (text.at(i) >= 0x80) {
      if (i + 1 >= text.length()) return true;
      i += 2;
    } else {
      ++i;
    }
  }
  return false;
}

}  // namespace
}  // namespace velk

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velk;
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const int start = static_cast<int8_t>(data[1]);
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const size_t cut = rest.find('\0');
  const Text text(rest.substr(0, cut));
  const Text sought(cut == std::string_view::npos ? std::string_view()
                                                  : rest.substr(cut + 1));
  const bool ignoreCase = flags & 1;

  const int found = FindText(text, sought, start, ignoreCase);
  FUZZ_CHECK(found == ReferenceFind(text, sought, start, ignoreCase));
  if (found > 0 && !sought.empty()) {
    FUZZ_CHECK(found <= text.length());
    FUZZ_CHECK(Same(text, found - 1, sought, ignoreCase));
  }
  const int last = FindTextReverse(text, sought, std::nullopt, ignoreCase);
  FUZZ_CHECK(last == -1 || (last >= 1 && last <= text.length()));
  if (last > 0 && !sought.empty()) {
    FUZZ_CHECK(Same(text, last - 1, sought, ignoreCase));
    FUZZ_CHECK(found != -1 || start > 1);
  }

  const Text trimmed = TrimBoth(text);
  if (!EndsInTruncatedCharacter(text)) FUZZ_CHECK(TrimBoth(trimmed) == trimmed);
  FUZZ_CHECK(trimmed.length() <= text.length());
  FUZZ_CHECK(ToLower(text).length() == text.length());
  (void)ToInteger(text);

  if (!sought.empty()) {
    const TextArray members = SplitText(text, sought);
    if (FindText(text, sought, std::nullopt, false) == -1 && !text.empty()) {
      FUZZ_CHECK(members.count() == 1 && members[1] == text);
    }
    Text joined;
    for (int i = 1; i <= members.count(); ++i) {
      joined = i == 1 ? members[i] : ConcatText(joined, sought, members[i]);
    }
    FUZZ_CHECK(joined == text || ConcatText(joined, sought) == text);
    const Text replaced = ReplaceText(text, sought, Text("\x01"), std::nullopt,
                                      std::nullopt, !ignoreCase);
    FUZZ_CHECK(replaced.length() <= text.length() + 1);
  }

  const Text between =
      TextBetween(text, sought, Text("/"), start, (flags & 2) != 0);
  FUZZ_CHECK(between.empty() ||
             text.view().find(between.view()) != std::string_view::npos);
  const Text value = HeaderValue(text);
  FUZZ_CHECK(value.length() <= text.length());

  const Text path = UrlPath(text);
  FUZZ_CHECK(!path.empty() && path.at(0) == '/');
  const Text host = UrlHost(text, (flags & 4) != 0, (flags & 8) != 0);
  FUZZ_CHECK(ToLower(host) == host);
  (void)UrlPort(text);
  return 0;
}
