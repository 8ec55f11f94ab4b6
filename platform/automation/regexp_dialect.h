// The engine's pattern dialect and its translation for the matching
// libraries.
//
// The dialect is ECMAScript-like and works on UTF-16 units: "." is one unit
// other than the line terminators (LF, CR, U+2028, U+2029); \d \w \b are
// ASCII; \s is ECMAScript's white space and line terminators; IgnoreCase
// folds ASCII letters only; ^ and $ match at the ends of the subject, and
// with Multiline also after and before every line terminator. Supported:
// literals with \t \n \v \f \r \0 \cX \xHH \uXXXX and escaped punctuation,
// classes with ranges and class escapes ([] matches nothing, [^] anything),
// groups, (?:...), alternation, greedy and lazy * + ? {n} {n,} {n,m}; a "{"
// that does not start a valid repetition is a literal. Everything else is
// rejected: lookaround and backreferences (the linear engine has neither),
// other (?...) forms such as (?P<name>...) and (?i), and escapes of letters
// without a meaning here, such as \A, \z, \pL.
//
// The translation writes each library's own syntax, so nothing of a wider
// library syntax leaks through:
// - for the backtracking engine, over the subject's UTF-16 units as they
//   are (16-bit units, no UTF mode);
// - for the linear engine, over the mapped subject: UTF-8 in which every
//   unit is one character. A lone surrogate unit U becomes the character
//   kSurrogateBase + (U - 0xD800); each line terminator becomes LF, its
//   mark character, LF, so the library's multiline anchors see a line break
//   on both sides of it.
#ifndef VELK_PLATFORM_AUTOMATION_REGEXP_DIALECT_H_
#define VELK_PLATFORM_AUTOMATION_REGEXP_DIALECT_H_

#include <string>
#include <string_view>
#include <vector>

namespace velk::platform::regexp {

inline constexpr char32_t kSurrogateBase = 0xF0000;
inline constexpr char32_t kTerminatorMarkBase = 0xF1000;

// The index of `unit` among the line terminators LF, CR, U+2028, U+2029;
// -1 for any other unit.
inline int TerminatorIndex(char16_t unit) {
  switch (unit) {
    case u'\n':
      return 0;
    case u'\r':
      return 1;
    case 0x2028:
      return 2;
    case 0x2029:
      return 3;
    default:
      return -1;
  }
}

// One unit of the literal text every match starts with; `foldCase` when
// either ASCII case of it matches.
struct PrefixUnit {
  char16_t unit;
  bool foldCase;
};

struct TranslatedPattern {
  std::string linear;              // for RE2, over the mapped subject
  std::string backtracking;        // for PCRE2, 16-bit units
  int groupCount = 0;              // capturing groups
  std::vector<PrefixUnit> prefix;  // may be empty
  // False when the backtracking library's groups may differ from the
  // dialect's (a repeated group that can match empty); such a pattern runs
  // on the linear engine alone.
  bool backtrackingSafe = true;
};

// Translates `pattern` under the given options. Returns false, leaving
// `result` unspecified, when the pattern is not in the dialect.
bool TranslatePattern(std::u16string_view pattern, bool ignoreCase,
                      bool multiline, TranslatedPattern& result);

}  // namespace velk::platform::regexp

#endif  // VELK_PLATFORM_AUTOMATION_REGEXP_DIALECT_H_
