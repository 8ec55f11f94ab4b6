// The fast first engine: PCRE2 with JIT over the subject's UTF-16 units,
// held to a work budget linear in the subject, so that it never takes more
// than linear time; when it reaches the budget the caller hands the rest of
// the subject to the linear engine.
#ifndef VELK_PLATFORM_AUTOMATION_REGEXP_BACKTRACKING_H_
#define VELK_PLATFORM_AUTOMATION_REGEXP_BACKTRACKING_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/regexp_dialect.h"

namespace velk::platform::regexp {

class BacktrackingEngine {
 public:
  // Compiles a pattern in the engine's own syntax (TranslatedPattern's
  // `backtracking`), whose every match starts with `prefix`. Null when it
  // cannot be compiled or JIT-compiled.
  static std::unique_ptr<BacktrackingEngine> Compile(
      const std::string& pattern, const std::vector<PrefixUnit>& prefix);
  ~BacktrackingEngine();

  // Finds the matches of `subject` from its start and appends their spans
  // as Matcher::Execute does. Returns true when it got through the subject;
  // false when it stopped at its budget, with `resumeAt` the unit offset at
  // which the search must go on (every match before it has been appended).
  bool Run(std::u16string_view subject, bool global, int groups,
           std::vector<int>& spans, size_t& resumeAt) const;

 private:
  struct Compiled;
  explicit BacktrackingEngine(std::unique_ptr<Compiled> compiled);
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace velk::platform::regexp

#endif  // VELK_PLATFORM_AUTOMATION_REGEXP_BACKTRACKING_H_
