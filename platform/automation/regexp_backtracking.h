// The fast first engine: PCRE2 with JIT over the subject's UTF-16 units,
// held to a work budget linear in the subject, so that it never takes more
// than linear time; where it stops, the caller hands over to the linear
// engine.
#ifndef VELK_PLATFORM_AUTOMATION_REGEXP_BACKTRACKING_H_
#define VELK_PLATFORM_AUTOMATION_REGEXP_BACKTRACKING_H_

#include <cstddef>
#include <cstdint>
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

  // The work budget of one Execute, shared by the runs it makes.
  struct Budget {
    explicit Budget(size_t subjectLength);
    uint64_t credit;   // counts left for retries
    uint64_t typical;  // the limit that found the last match
  };

  enum class Outcome {
    kFinished,           // no more matches
    kPositionTooCostly,  // stopped at a position that needs far more than
                         // a typical match; credit is left
    kStopped,            // credit spent, or an error of the library
  };

  // Finds the matches of `subject` that start at or after unit `from` and
  // appends their spans as Matcher::Execute does. Unless it finishes, every
  // match before `resumeAt` has been appended and the search must go on
  // there.
  Outcome Run(std::u16string_view subject, size_t from, bool global, int groups,
              std::vector<int>& spans, size_t& resumeAt, Budget& budget) const;

 private:
  struct Compiled;
  explicit BacktrackingEngine(std::unique_ptr<Compiled> compiled);
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace velk::platform::regexp

#endif  // VELK_PLATFORM_AUTOMATION_REGEXP_BACKTRACKING_H_
