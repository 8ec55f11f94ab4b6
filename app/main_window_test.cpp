// The window's handlers against the recording toolkit: which window
// operations each makes, in which order, and what the window shows after.
#include "app/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/toolkit/recording_toolkit.h"

namespace velk {
namespace {

using platform::RecordingToolkit;
using ::testing::ElementsAreArray;

std::string Q(std::string_view text) { return "\"" + std::string(text) + "\""; }

// Search steps that answer from a table by keyword and note every call in
// the toolkit's record, so that they show among the window operations.
class FakeSearch : public SearchSteps {
 public:
  struct Answer {
    SearchOutcome outcome = SearchOutcome::NothingFound;
    std::vector<ResultRow> rows;
  };

  explicit FakeSearch(RecordingToolkit& toolkit) : toolkit_(toolkit) {}

  class FakeMatcher : public Matcher {
   public:
    explicit FakeMatcher(RecordingToolkit& toolkit) : toolkit_(toolkit) {}
    ~FakeMatcher() override { toolkit_.Note("~Matcher"); }

   private:
    RecordingToolkit& toolkit_;
  };

  std::unique_ptr<Matcher> NewMatcher() override {
    toolkit_.Note("NewMatcher");
    return std::make_unique<FakeMatcher>(toolkit_);
  }
  Text BuildSearchUrl(const Text& keyword) override {
    toolkit_.Note("BuildSearchUrl(" + Q(keyword.view()) + ")");
    return ConcatText("host/search/", keyword, "/");
  }
  Text FetchSearchPage(const Text& url) override {
    toolkit_.Note("FetchSearchPage(" + Q(url.view()) + ")");
    if (onFetch) std::exchange(onFetch, nullptr)();
    return ConcatText("page of ", url);
  }
  SearchOutcome ExtractRows(Matcher&, const Text& page,
                            std::vector<ResultRow>& rows) override {
    toolkit_.Note("ExtractRows(" + Q(page.view()) + ")");
    const Answer& answer = answers[page.str()];
    rows = answer.rows;
    return answer.outcome;
  }

  // Answers by page text ("page of host/search/<keyword>/").
  std::map<std::string, Answer> answers;
  // Runs once, inside the next fetch.
  std::function<void()> onFetch;

 private:
  RecordingToolkit& toolkit_;
};

const std::vector<ResultRow> kThreeRows = {
    {"\xD6\xD0\xCE\xC4 1", "1.2GB", "magnet:?xt=urn:btih:1"},  // 中文 1
    {"A &amp; B", "700MB", "magnet:?xt=urn:btih:2"},
    {"third", "3KB", "magnet:?xt=urn:btih:3"},
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : search_(toolkit_), window_(toolkit_, search_, [this](const Text& text) {
          toolkit_.Note("OpenWithShell(" + Q(text.view()) + ")");
          opened_.push_back(text.str());
        }) {}

  void Create() {
    ASSERT_TRUE(toolkit_.CreateMainWindow(window_.Table()));
    toolkit_.ClearCalls();
  }
  void Answer(const char* keyword, SearchOutcome outcome,
              std::vector<ResultRow> rows = {}) {
    search_.answers[std::string("page of host/search/") + keyword + "/"] = {
        outcome, std::move(rows)};
  }

  RecordingToolkit toolkit_;
  FakeSearch search_;
  MainWindow window_;
  std::vector<std::string> opened_;
};

TEST_F(MainWindowTest, CreationWritesCaptionAndIdleStateOverStartTexts) {
  ASSERT_TRUE(toolkit_.CreateMainWindow(window_.Table()));
  EXPECT_THAT(toolkit_.calls(),
              ElementsAreArray(std::vector<std::string>{
                  "CreateMainWindow(" + Q(kCaption) + ")",
                  "SetCaption(window, " + Q(kCaption) + ")",
                  "SetPartText(statusBar, 1, " + Q(kStateIdle) + ")",
              }));
  EXPECT_EQ(toolkit_.caption(), kCaption);
  EXPECT_EQ(toolkit_.PartTextOf(statusBar, 0), kCountPartAtStart);
  EXPECT_EQ(toolkit_.PartTextOf(statusBar, 1), kStateIdle);
  EXPECT_EQ(toolkit_.PartTextOf(statusBar, 2), kProgressPart);
  EXPECT_EQ(toolkit_.RowCountOf(resultList), 0);
  EXPECT_EQ(toolkit_.ProgressOf(progressBar), 0);
  EXPECT_EQ(toolkit_.TimerPeriodOf(progressTimer), 0);
}

TEST_F(MainWindowTest, TableHoldsEveryControlOnce) {
  platform::WindowTable table = window_.Table();
  EXPECT_EQ(table.controls.size(), 8u);
  // A second window is refused, so a table is created once.
  ASSERT_TRUE(toolkit_.CreateMainWindow(table));
  EXPECT_FALSE(toolkit_.CreateMainWindow(table));
}

// The window operations before the matching are the same for every
// outcome; what follows differs.
std::vector<std::string> SearchHead(const std::string& keyword) {
  std::string url = "host/search/" + keyword + "/";
  std::string page = "page of " + url;
  return {
      "NewMatcher",
      "SetProgressPosition(progressBar, 0)",
      "SetTimerPeriod(progressTimer, 200)",
      "SetPartText(statusBar, 1, " + Q(kStateSearching) + ")",
      "PumpEvents()",
      "PumpEvents() done",
      "ControlText(keywordEdit) -> " + Q(keyword),
      "BuildSearchUrl(" + Q(keyword) + ")",
      "FetchSearchPage(" + Q(url) + ")",
      "SetControlText(pageBuffer, " + Q(page) + ")",
      "ClearRows(resultList)",
      "RowCount(resultList) -> 0",
      "SetPartText(statusBar, 0, " + Q(std::string(kCountPrefix) + "0") + ")",
      "ControlText(pageBuffer) -> " + Q(page),
      "ExtractRows(" + Q(page) + ")",
  };
}

TEST_F(MainWindowTest, SearchMakesItsWindowOperationsInOrderForEachOutcome) {
  struct Case {
    const char* name;
    SearchOutcome outcome;
    std::vector<ResultRow> rows;
    std::vector<std::string> tail;
  };
  std::vector<std::string> rowsTail;
  for (size_t i = 0; i < kThreeRows.size(); ++i) {
    std::string row = std::to_string(i);
    rowsTail.push_back("AppendRow(resultList) -> " + row);
    rowsTail.push_back("SetCellText(resultList, " + row + ", 0, " +
                       Q(kThreeRows[i].name.view()) + ")");
    rowsTail.push_back("SetCellText(resultList, " + row + ", 1, " +
                       Q(kThreeRows[i].size.view()) + ")");
    rowsTail.push_back("SetCellText(resultList, " + row + ", 2, " +
                       Q(kThreeRows[i].link.view()) + ")");
  }
  rowsTail.insert(rowsTail.end(),
                  {
                      // The count is read back from the list.
                      "RowCount(resultList) -> 3",
                      "SetPartText(statusBar, 0, " +
                          Q(std::string(kCountPrefix) + "3") + ")",
                      "SetProgressPosition(progressBar, 100)",
                      "SetTimerPeriod(progressTimer, 0)",
                      "SetPartText(statusBar, 1, " + Q(kStateDone) + ")",
                      "~Matcher",
                  });
  const Case kCases[] = {
      {"rows found", SearchOutcome::RowsFound, kThreeRows, rowsTail},
      {"nothing found",
       SearchOutcome::NothingFound,
       {},
       {
           "SetPartText(statusBar, 1, " + Q(kStateNothing) + ")",
           "SetProgressPosition(progressBar, 0)",
           "SetTimerPeriod(progressTimer, 0)",
           "~Matcher",
       }},
      {"engine failed",
       SearchOutcome::EngineFailed,
       {},
       {
           "SetPartText(statusBar, 1, " + Q(kStateFailed) + ")",
           "SetProgressPosition(progressBar, 0)",
           "SetTimerPeriod(progressTimer, 0)",
           "~Matcher",
       }},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    RecordingToolkit toolkit;
    FakeSearch search(toolkit);
    MainWindow window(toolkit, search, [](const Text&) {});
    ASSERT_TRUE(toolkit.CreateMainWindow(window.Table()));
    // Rows of an earlier search are in the list and must go.
    toolkit.SetCellText(resultList, toolkit.AppendRow(resultList), 0, "old");
    toolkit.Type(keywordEdit, "ABC-123");
    search.answers["page of host/search/ABC-123/"] = {c.outcome, c.rows};
    toolkit.ClearCalls();

    toolkit.Click(searchButton);

    std::vector<std::string> expected = SearchHead("ABC-123");
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_THAT(toolkit.calls(), ElementsAreArray(expected));
    EXPECT_EQ(toolkit.RowCountOf(resultList), static_cast<int>(c.rows.size()));
    EXPECT_EQ(toolkit.TimerPeriodOf(progressTimer), 0);
  }
}

TEST_F(MainWindowTest, FinalStateShowsRowsCountAndStateTexts) {
  struct Case {
    const char* name;
    SearchOutcome outcome;
    std::vector<ResultRow> rows;
    const char* count;
    const char* state;
    int progress;
  };
  const Case kCases[] = {
      {"rows found", SearchOutcome::RowsFound, kThreeRows, "3", kStateDone,
       100},
      {"nothing found", SearchOutcome::NothingFound, {}, "0", kStateNothing, 0},
      {"engine failed", SearchOutcome::EngineFailed, {}, "0", kStateFailed, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    RecordingToolkit toolkit;
    FakeSearch search(toolkit);
    MainWindow window(toolkit, search, [](const Text&) {});
    ASSERT_TRUE(toolkit.CreateMainWindow(window.Table()));
    search.answers["page of host/search//"] = {c.outcome, c.rows};
    // An empty keyword is not refused.
    toolkit.Click(searchButton);
    EXPECT_EQ(toolkit.PartTextOf(statusBar, 0),
              std::string(kCountPrefix) + c.count);
    EXPECT_EQ(toolkit.PartTextOf(statusBar, 1), c.state);
    EXPECT_EQ(toolkit.PartTextOf(statusBar, 2), kProgressPart);
    EXPECT_EQ(toolkit.ProgressOf(progressBar), c.progress);
    ASSERT_EQ(toolkit.RowCountOf(resultList), static_cast<int>(c.rows.size()));
    for (int i = 0; i < static_cast<int>(c.rows.size()); ++i) {
      const ResultRow& r = c.rows[static_cast<size_t>(i)];
      EXPECT_EQ(toolkit.CellTextOf(resultList, i, 0), r.name.str());
      EXPECT_EQ(toolkit.CellTextOf(resultList, i, 1), r.size.str());
      EXPECT_EQ(toolkit.CellTextOf(resultList, i, 2), r.link.str());
    }
  }
}

TEST_F(MainWindowTest, EventsRunOnlyAtTheOnePumpOfASearch) {
  Create();
  Answer("K", SearchOutcome::RowsFound, kThreeRows);
  toolkit_.Type(keywordEdit, "K");
  // A tick that is already waiting when the search starts runs at the pump
  // (the timer has been started by then), as does a double-click, which
  // still sees the previous search's (empty) list.
  toolkit_.QueueElapse(progressTimer);
  toolkit_.QueueDoubleClick(resultList);

  toolkit_.Click(searchButton);

  const std::vector<std::string>& calls = toolkit_.calls();
  auto at = [&calls](const std::string& entry) {
    return std::find(calls.begin(), calls.end(), entry) - calls.begin();
  };
  std::ptrdiff_t pump = at("PumpEvents()");
  std::ptrdiff_t fetch = at("FetchSearchPage(\"host/search/K/\")");
  std::ptrdiff_t tick = at("ProgressPosition(progressBar) -> 0");
  std::ptrdiff_t open = at("OpenWithShell(\"\")");
  ASSERT_LT(pump, static_cast<std::ptrdiff_t>(calls.size()));
  EXPECT_LT(pump, tick);
  EXPECT_LT(tick, open);
  EXPECT_LT(open, fetch);
  // The tick's own pump runs nested inside the search's pump; no pump
  // follows the fetch.
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "PumpEvents()"), 2);
  EXPECT_EQ(std::count(calls.begin() + fetch, calls.end(), "PumpEvents()"), 0);
  EXPECT_EQ(toolkit_.PendingEvents(), 0);
  EXPECT_EQ(toolkit_.ProgressOf(progressBar), 100);
}

TEST_F(MainWindowTest, ClickQueuedAtThePumpRunsASecondSearchNestedInside) {
  Create();
  Answer("K", SearchOutcome::RowsFound, kThreeRows);
  toolkit_.Type(keywordEdit, "K");
  toolkit_.QueueClick(searchButton);

  toolkit_.Click(searchButton);

  // Outer: head up to its pump; inner: a whole search; outer: the rest.
  std::vector<std::string> head = SearchHead("K");
  std::vector<std::string> expected(head.begin(), head.begin() + 5);
  std::vector<std::string> inner = head;
  inner.insert(inner.end(), {"AppendRow(resultList) -> 0",
                             "SetCellText(resultList, 0, 0, " +
                                 Q(kThreeRows[0].name.view()) + ")"});
  expected.insert(expected.end(), inner.begin(), inner.end());
  std::vector<std::string> calls = toolkit_.calls();
  ASSERT_GE(calls.size(), expected.size());
  EXPECT_THAT(
      std::vector<std::string>(calls.begin(), calls.begin() + expected.size()),
      ElementsAreArray(expected));
  // Two searches, each with its own matcher, the inner destroyed first;
  // the outer goes on from reading the keyword and clears the inner's rows
  // before it refills the list.
  auto innerEnd = std::find(calls.begin(), calls.end(), "~Matcher");
  ASSERT_NE(innerEnd, calls.end());
  std::vector<std::string> outerRest(innerEnd + 1, calls.end());
  ASSERT_GE(outerRest.size(), 2u);
  EXPECT_EQ(outerRest[0], "PumpEvents() done");
  EXPECT_EQ(outerRest[1], "ControlText(keywordEdit) -> \"K\"");
  EXPECT_EQ(
      std::count(outerRest.begin(), outerRest.end(), "ClearRows(resultList)"),
      1);
  EXPECT_EQ(outerRest.back(), "~Matcher");
  EXPECT_EQ(toolkit_.RowCountOf(resultList), 3);
  EXPECT_EQ(toolkit_.PartTextOf(statusBar, 0), std::string(kCountPrefix) + "3");
}

TEST_F(MainWindowTest, OuterSearchReadsTheBoxAfterTheNestedOneAndClearsIt) {
  Create();
  Answer("K", SearchOutcome::RowsFound, kThreeRows);
  Answer("NONE", SearchOutcome::NothingFound);
  toolkit_.Type(keywordEdit, "K");
  toolkit_.QueueClick(searchButton);
  // While the nested search fetches, the box comes to hold another code.
  search_.onFetch = [this] { toolkit_.Type(keywordEdit, "NONE"); };

  toolkit_.Click(searchButton);

  const std::vector<std::string>& calls = toolkit_.calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(),
                       "ControlText(keywordEdit) -> \"K\""),
            1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(),
                       "ControlText(keywordEdit) -> \"NONE\""),
            1);
  // The nested search's rows are gone; the outer search's outcome shows.
  EXPECT_EQ(toolkit_.RowCountOf(resultList), 0);
  EXPECT_EQ(toolkit_.PartTextOf(statusBar, 0), std::string(kCountPrefix) + "0");
  EXPECT_EQ(toolkit_.PartTextOf(statusBar, 1), kStateNothing);
  EXPECT_EQ(toolkit_.ProgressOf(progressBar), 0);
}

TEST_F(MainWindowTest, DoubleClickOpensTheSelectedRowsLinkOrTheEmptyText) {
  Create();
  Answer("K", SearchOutcome::RowsFound, kThreeRows);
  toolkit_.Type(keywordEdit, "K");
  toolkit_.Click(searchButton);

  toolkit_.SelectRow(resultList, 1);
  toolkit_.ClearCalls();
  toolkit_.DoubleClick(resultList);
  EXPECT_THAT(
      toolkit_.calls(),
      ElementsAreArray(std::vector<std::string>{
          "SelectedRow(resultList) -> 1",
          "CellText(resultList, 1, 2) -> " + Q(kThreeRows[1].link.view()),
          "OpenWithShell(" + Q(kThreeRows[1].link.view()) + ")",
      }));

  // No row selected (a double-click below the rows): the empty text.
  toolkit_.SelectRow(resultList, -1);
  toolkit_.DoubleClick(resultList);
  // An empty list gives the empty text too.
  toolkit_.ClearRows(resultList);
  toolkit_.DoubleClick(resultList);
  EXPECT_THAT(opened_, ElementsAreArray({kThreeRows[1].link.str(),
                                         std::string(), std::string()}));
}

TEST_F(MainWindowTest, TickAdvancesStoredPositionUpToItsCeiling) {
  Create();
  struct Case {
    const char* name;
    int start;
    int ticks;
    int end;
  };
  const Case kCases[] = {
      {"three ticks past the range", 98, 3, 101},
      {"at the ceiling", 32767, 1, 32767},
      {"from zero", 0, 1, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    toolkit_.SetProgressPosition(progressBar, c.start);
    toolkit_.ClearCalls();
    for (int i = 0; i < c.ticks; ++i) window_.OnProgressTick();
    EXPECT_EQ(toolkit_.ProgressOf(progressBar), c.end);
    ASSERT_GE(toolkit_.calls().size(), 3u);
    EXPECT_EQ(toolkit_.calls()[0],
              "ProgressPosition(progressBar) -> " + std::to_string(c.start));
    EXPECT_EQ(toolkit_.calls()[1], "SetProgressPosition(progressBar, " +
                                       std::to_string(c.start + 1) + ")");
    EXPECT_EQ(toolkit_.calls()[2], "PumpEvents()");
  }
}

TEST_F(MainWindowTest, NoTickArrivesAfterASearchEnds) {
  Create();
  Answer("", SearchOutcome::NothingFound);
  toolkit_.Click(searchButton);
  toolkit_.QueueElapse(progressTimer);
  toolkit_.PumpEvents();
  EXPECT_EQ(toolkit_.ProgressOf(progressBar), 0);
}

TEST_F(MainWindowTest, StartUpRunsTheLoopUntilTheWindowCloses) {
  toolkit_.QueueClick(searchButton);
  toolkit_.QueueClose();
  toolkit_.QueueClick(searchButton);
  EXPECT_EQ(RunMainWindow(toolkit_, search_, [](const Text&) {}), 0);
  // One search ran; the click after the close was never handled.
  EXPECT_EQ(std::count(toolkit_.calls().begin(), toolkit_.calls().end(),
                       "NewMatcher"),
            1);
  EXPECT_FALSE(toolkit_.windowOpen());
}

}  // namespace
}  // namespace velk
