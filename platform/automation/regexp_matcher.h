// The matching engine behind "VBScript.RegExp": a compiled pattern run over
// UTF-16 subjects, in time linear in the subject.
#ifndef VELK_PLATFORM_AUTOMATION_REGEXP_MATCHER_H_
#define VELK_PLATFORM_AUTOMATION_REGEXP_MATCHER_H_

#include <memory>
#include <string_view>
#include <vector>

namespace velk::platform::regexp {

// Which engines a matcher may use. kHybrid runs the backtracking engine
// (PCRE2 with JIT, held to a work budget linear in the subject) first; where
// one start position needs far more work than a typical match, the linear
// engine (RE2) finds the next match and the backtracking engine goes on
// after it, and once the budget is spent the linear engine does the rest of
// the subject. kLinearOnly never uses the backtracking engine. Both give the
// same matches; patterns on which the two libraries would differ run on the
// linear engine alone.
enum class EngineChoice { kHybrid, kLinearOnly };

class Matcher {
 public:
  // Compiles `pattern` (see regexp_dialect.h). Returns null when the pattern
  // is outside the dialect or an engine cannot compile it.
  static std::unique_ptr<Matcher> Compile(
      std::u16string_view pattern, bool ignoreCase, bool multiline,
      EngineChoice choice = EngineChoice::kHybrid);
  virtual ~Matcher() = default;

  // The number of capturing groups.
  virtual int GroupCount() const = 0;

  // Appends to `spans`, per match in order, 2 * (GroupCount() + 1) UTF-16
  // offsets: start and end of the whole match, then of each group, with
  // -1, -1 for a group that took no part. Only the first match unless
  // `global`; after an empty match the search goes on one unit further.
  virtual void Execute(std::u16string_view subject, bool global,
                       std::vector<int>& spans) const = 0;

  // How many times the last Execute handed over to the linear engine; for
  // tests and benchmarks.
  virtual int fallbacks() const = 0;
};

}  // namespace velk::platform::regexp

#endif  // VELK_PLATFORM_AUTOMATION_REGEXP_MATCHER_H_
