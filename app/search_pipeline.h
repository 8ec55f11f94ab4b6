// The search without the window: the URL for a keyword, the page for a URL,
// and the rows of a page.
#ifndef VELK_APP_SEARCH_PIPELINE_H_
#define VELK_APP_SEARCH_PIPELINE_H_

#include <memory>
#include <vector>

#include "app/search_steps.h"
#include "regex/regex_object.h"
#include "text/text.h"

namespace velk {

// The search site: host with an optional ":port", no scheme, no trailing
// slash. Fixed when the program is built.
extern const char SearchHost[];

// One result row of the search page. Groups 1, 2 and 4 are the name, the
// size and the magnet link; group 3 is never read.
inline constexpr char RowPattern[] =
    R"pattern(<tr><td class="name">(.*?)</td><td class="size">(.*?)<(.*?)Detail</a><a href="(.*?)" title=)pattern";

class SearchPipeline final : public SearchSteps {
 public:
  // `host` replaces SearchHost; tests point it at a server of their own,
  // and may give another row pattern (one the engine rejects, say).
  explicit SearchPipeline(Text host = SearchHost, Text rowPattern = RowPattern);

  // A RegexObject, constructed for the search and destroyed with it.
  std::unique_ptr<Matcher> NewMatcher() override;
  // host + "/search/" + keyword + "/"; the keyword as typed, not trimmed or
  // escaped, and an empty one too.
  Text BuildSearchUrl(const Text& keyword) override;
  // Fetches `url` with every other request field left out and gives the
  // body as code page 936 text. A body that is well-formed UTF-8 is
  // converted; any other is taken to be 936 already (a native 936 page, or
  // one the fetch converted itself) and left as it is. Empty when the fetch
  // fails.
  Text FetchSearchPage(const Text& url) override;
  // REQUIRES: `matcher` came from NewMatcher of a SearchPipeline.
  SearchOutcome ExtractRows(Matcher& matcher, const Text& page,
                            std::vector<ResultRow>& rows) override;

  // Runs RowPattern over `page` (case ignored, multiline, global, quote
  // placeholder replaced) and reads groups 1, 2 and 4 of every match, in
  // order. EngineFailed when the pattern cannot run; `rows` is filled only
  // for RowsFound.
  static SearchOutcome ExtractRows(RegexObject& regex, const Text& page,
                                   std::vector<ResultRow>& rows);

 private:
  static SearchOutcome ExtractRowsWith(const Text& pattern, RegexObject& regex,
                                       const Text& page,
                                       std::vector<ResultRow>& rows);

  Text host_;
  Text rowPattern_;
};

// True when `text` is well-formed UTF-8: no stray continuation byte, no
// truncated, overlong or surrogate sequence, nothing above U+10FFFF. ASCII
// text is well-formed.
bool IsWellFormedUtf8(const Text& text);

}  // namespace velk

#endif  // VELK_APP_SEARCH_PIPELINE_H_
