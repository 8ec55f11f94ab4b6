// The steps of one search that know nothing of the window, behind an
// interface: the window's search handler calls them in a fixed order, and
// tests of that order put fakes in their place.
#ifndef VELK_APP_SEARCH_STEPS_H_
#define VELK_APP_SEARCH_STEPS_H_

#include <memory>
#include <vector>

#include "text/text.h"

namespace velk {

// One result row: each field holds the captured text exactly as the page
// has it (no character reference decoded, nothing trimmed).
struct ResultRow {
  Text name;
  Text size;
  Text link;
  friend bool operator==(const ResultRow&, const ResultRow&) = default;
};

enum class SearchOutcome {
  EngineFailed,  // the row pattern could not be run over the page
  NothingFound,  // it ran and matched no row
  RowsFound,     // one or more rows
};

class SearchSteps {
 public:
  // The pattern matcher of one search. It is made before anything else of
  // the search happens and destroyed when the search ends, on every path.
  class Matcher {
   public:
    virtual ~Matcher() = default;
  };

  virtual ~SearchSteps() = default;

  virtual std::unique_ptr<Matcher> NewMatcher() = 0;
  // The search page's URL for `keyword`, used exactly as typed.
  virtual Text BuildSearchUrl(const Text& keyword) = 0;
  // The page at `url` as code page 936 text; empty when it cannot be had.
  virtual Text FetchSearchPage(const Text& url) = 0;
  // Runs the row pattern over `page` with `matcher`. For RowsFound, `rows`
  // receives the rows in page order; otherwise it is left empty.
  virtual SearchOutcome ExtractRows(Matcher& matcher, const Text& page,
                                    std::vector<ResultRow>& rows) = 0;
};

}  // namespace velk

#endif  // VELK_APP_SEARCH_STEPS_H_
