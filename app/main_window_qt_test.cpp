// The program's window on real widgets (offscreen), driven as a user would
// drive it, searching the bundled demo site or a loopback test server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/demo_site.h"
#include "app/main_window.h"
#include "app/search_pipeline.h"
#include "platform/inet/testing/http_server.h"
#include "platform/shell/shell.h"
#include "platform/shell/stub_opener.h"
#include "platform/toolkit/qt/qt_driver.h"
#include "platform/toolkit/qt/qt_toolkit.h"

namespace velk {
namespace {

using platform::Key;
using platform::QtDriver;
using platform::QtToolkit;
using platform::Rect;
using ::testing::ElementsAre;

// Passes every step on to a real pipeline and notes the stored progress
// position on both sides of the fetch, while the thread is blocked in it.
class ObservedSearch : public SearchSteps {
 public:
  ObservedSearch(SearchSteps& inner, platform::Toolkit& toolkit)
      : inner_(inner), toolkit_(toolkit) {}
  std::unique_ptr<Matcher> NewMatcher() override { return inner_.NewMatcher(); }
  Text BuildSearchUrl(const Text& keyword) override {
    return inner_.BuildSearchUrl(keyword);
  }
  Text FetchSearchPage(const Text& url) override {
    positions.push_back(toolkit_.ProgressPosition(progressBar));
    Text page = inner_.FetchSearchPage(url);
    positions.push_back(toolkit_.ProgressPosition(progressBar));
    return page;
  }
  SearchOutcome ExtractRows(Matcher& matcher, const Text& page,
                            std::vector<ResultRow>& rows) override {
    return inner_.ExtractRows(matcher, page, rows);
  }
  std::vector<int> positions;

 private:
  SearchSteps& inner_;
  platform::Toolkit& toolkit_;
};

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new testing::DemoSite; }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }

  void Start(SearchSteps& search) {
    window_ = std::make_unique<MainWindow>(
        toolkit_, search,
        [](const Text& text) { platform::OpenWithShell(text.view()); });
    ASSERT_TRUE(toolkit_.CreateMainWindow(window_->Table()));
    driver_.emplace(toolkit_);
  }
  void Search(const char* keyword) {
    driver_->Type(keywordEdit, keyword);
    driver_->Click(searchButton);
  }
  Text DemoHost() const { return Text(site_->HostPort()); }

  static testing::DemoSite* site_;
  QtToolkit toolkit_;
  std::unique_ptr<MainWindow> window_;
  std::optional<QtDriver> driver_;
};

testing::DemoSite* WindowTest::site_ = nullptr;

struct Placement {
  const char* name;
  platform::ControlId id;
  Rect rect;
};
const Placement kLayout[] = {
    {"promptLabel", promptLabel, {16, 8, 80, 32}},
    {"keywordEdit", keywordEdit, {96, 9, 136, 23}},
    {"searchButton", searchButton, {248, 8, 88, 24}},
    {"resultList", resultList, {0, 48, 640, 408}},
    {"statusBar", statusBar, {0, 449, 640, 20}},
    {"progressBar", progressBar, {314, 455, 312, 10}},
    {"pageBuffer", pageBuffer, {648, 424, 48, 24}},
};

TEST_F(WindowTest, StateRightAfterStart) {
  SearchPipeline search(DemoHost());
  Start(search);
  EXPECT_TRUE(driver_->WindowVisible());
  EXPECT_EQ(driver_->Caption(), kCaption);
  EXPECT_EQ(driver_->PartText(statusBar, 0), kCountPartAtStart);
  EXPECT_EQ(driver_->PartText(statusBar, 1), kStateIdle);
  EXPECT_EQ(driver_->PartText(statusBar, 2), kProgressPart);
  EXPECT_EQ(toolkit_.RowCount(resultList), 0);
  EXPECT_EQ(driver_->ColumnTitle(resultList, 0), kNameTitle);
  EXPECT_EQ(driver_->ColumnTitle(resultList, 1), kSizeTitle);
  EXPECT_EQ(driver_->ColumnTitle(resultList, 2), kLinkTitle);
  EXPECT_EQ(driver_->ColumnWidth(resultList, 0), 100);
  EXPECT_EQ(driver_->ColumnWidth(resultList, 1), 80);
  EXPECT_EQ(driver_->ColumnWidth(resultList, 2), 450);
  EXPECT_EQ(driver_->ShownProgress(progressBar), 0);
  EXPECT_EQ(toolkit_.ProgressPosition(progressBar), 0);
  EXPECT_FALSE(driver_->TimerRunning(progressTimer));
  EXPECT_FALSE(driver_->ControlVisible(pageBuffer));
  EXPECT_EQ(toolkit_.ControlText(keywordEdit), "");
  EXPECT_EQ(toolkit_.ControlText(pageBuffer), "");
  // Fixed frame: the client area stays 640 wide and cannot be resized.
  EXPECT_EQ(driver_->ClientWidth(), 640);
  EXPECT_EQ(driver_->ClientHeight(), 469);
  EXPECT_FALSE(driver_->Resizable());
  EXPECT_EQ(driver_->PartRect(statusBar, 0), (Rect{0, 0, 100, 20}));
  EXPECT_EQ(driver_->PartRect(statusBar, 1), (Rect{100, 0, 180, 20}));
  EXPECT_EQ(driver_->PartRect(statusBar, 2), (Rect{280, 0, 360, 20}));
  for (const Placement& p : kLayout) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(driver_->ControlRect(p.id), p.rect);
  }
}

TEST_F(WindowTest, SearchShowsRowsCountAndStateForEachOutcome) {
  struct Case {
    const char* name;
    Text host;
    Text pattern;
    const char* keyword;
    int rows;
    const char* state;
    int progress;
  };
  const testing::RefusingPort refusing;
  const Case kCases[] = {
      {"three rows", DemoHost(), RowPattern, "ABC-123", 3, kStateDone, 100},
      {"native 936 page", DemoHost(), RowPattern, "GBK-936", 2, kStateDone,
       100},
      {"no rows", DemoHost(), RowPattern, "NONE-000", 0, kStateNothing, 0},
      {"unreachable host", Text(refusing.HostPort()), RowPattern, "ABC-123", 0,
       kStateNothing, 0},
      {"pattern the engine cannot run", DemoHost(), "<tr>(", "ABC-123", 0,
       kStateFailed, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    QtToolkit toolkit;
    SearchPipeline search(c.host, c.pattern);
    MainWindow window(toolkit, search, [](const Text&) {});
    ASSERT_TRUE(toolkit.CreateMainWindow(window.Table()));
    QtDriver driver(toolkit);
    // Rows of an earlier search that must go.
    driver.Type(keywordEdit, "ABC-123");
    driver.Click(searchButton);
    driver.Type(keywordEdit, c.keyword);
    driver.Click(searchButton);

    EXPECT_EQ(toolkit.RowCount(resultList), c.rows);
    EXPECT_EQ(driver.PartText(statusBar, 0),
              ConcatText(kCountPrefix, NumberToText(c.rows)).str());
    EXPECT_EQ(driver.PartText(statusBar, 1), c.state);
    EXPECT_EQ(driver.PartText(statusBar, 2), kProgressPart);
    EXPECT_EQ(driver.ShownProgress(progressBar), c.progress);
    EXPECT_FALSE(driver.TimerRunning(progressTimer));
    for (int row = 0; row < c.rows; ++row) {
      Text name(toolkit.CellText(resultList, row, 0));
      Text link(toolkit.CellText(resultList, row, 2));
      EXPECT_EQ(TextLeft(name, TextLength(c.keyword)), Text(c.keyword));
      EXPECT_EQ(FindText(name, "?", std::nullopt, false), -1) << name;
      EXPECT_FALSE(toolkit.CellText(resultList, row, 1).empty());
      EXPECT_EQ(TextLeft(link, 20), Text("magnet:?xt=urn:btih:"));
    }
  }
}

TEST_F(WindowTest, NamesShowUndecodedAsThePageHasThem) {
  SearchPipeline search(DemoHost());
  Start(search);
  Search("ENT-001");
  ASSERT_EQ(toolkit_.RowCount(resultList), 2);
  // ENT-001 &amp; 朋友 &lt;导演剪辑版&gt;
  EXPECT_EQ(
      toolkit_.CellText(resultList, 0, 0),
      "ENT-001 &amp; \xC5\xF3\xD3\xD1 &lt;\xB5\xBC\xD1\xDD\xBC\xF4\xBC\xAD"
      "\xB0\xE6&gt;");
  // The page text went through the hidden buffer.
  EXPECT_NE(toolkit_.ControlText(pageBuffer).find("ENT-001"),
            std::string::npos);
}

TEST_F(WindowTest, EnterAndEscapeStartNothingAndCloseNothing) {
  SearchPipeline search(DemoHost());
  Start(search);
  driver_->Type(keywordEdit, "ABC-123");
  driver_->PressKey(keywordEdit, Key::kEnter);
  driver_->PressKey(keywordEdit, Key::kEscape);
  driver_->PressKey(mainWindow, Key::kEscape);
  driver_->PressKey(mainWindow, Key::kEnter);
  driver_->RunFor(50);
  EXPECT_TRUE(driver_->WindowVisible());
  EXPECT_EQ(driver_->PartText(statusBar, 1), kStateIdle);
  EXPECT_EQ(toolkit_.RowCount(resultList), 0);
}

TEST_F(WindowTest, TickerAdvancesOnlyWhileEventsAreHandled) {
  SearchPipeline inner(DemoHost());
  ObservedSearch search(inner, toolkit_);
  Start(search);

  // Idle in the event loop with the timer running, the bar fills.
  toolkit_.SetTimerPeriod(progressTimer, kTickPeriod);
  driver_->RunFor(3 * kTickPeriod + 100);
  int idle = toolkit_.ProgressPosition(progressBar);
  EXPECT_GE(idle, 1);
  EXPECT_EQ(driver_->ShownProgress(progressBar), idle);
  toolkit_.SetTimerPeriod(progressTimer, 0);

  // A fetch that takes several periods: nothing ticks while it blocks.
  testing::TestHttpServer slow;
  ASSERT_TRUE(slow.ok());
  slow.Enqueue({testing::ReplyStep::Pause(
                    std::chrono::milliseconds(3 * kTickPeriod + 100)),
                testing::ReplyStep::Send(testing::HttpResponse(
                    "HTTP/1.1 200 OK\r\nContent-Type: text/html", "none"))});
  SearchPipeline slowInner(Text(slow.HostPort()));
  QtToolkit toolkit;
  ObservedSearch observed(slowInner, toolkit);
  MainWindow window(toolkit, observed, [](const Text&) {});
  ASSERT_TRUE(toolkit.CreateMainWindow(window.Table()));
  QtDriver driver(toolkit);
  driver.Click(searchButton);
  ASSERT_EQ(observed.positions.size(), 2u);
  EXPECT_EQ(observed.positions[0], 0);
  EXPECT_EQ(observed.positions[1], 0);
  // At the end the timer is stopped, and no tick follows.
  EXPECT_FALSE(driver.TimerRunning(progressTimer));
  driver.RunFor(2 * kTickPeriod + 100);
  EXPECT_EQ(toolkit.ProgressPosition(progressBar), 0);
  EXPECT_EQ(driver.PartText(statusBar, 1), kStateNothing);
}

TEST_F(WindowTest, DoubleClickHandsExactlyThatRowsLinkToTheDesktop) {
  platform::StubOpener stub;
  SearchPipeline search(DemoHost());
  Start(search);
  Search("ABC-123");
  ASSERT_EQ(toolkit_.RowCount(resultList), 3);
  std::string link = toolkit_.CellText(resultList, 1, 2);

  driver_->DoubleClickRow(resultList, 1);
  // Below the rows: no row is selected, the empty text opens nothing.
  driver_->DoubleClickRow(resultList, -1);
  EXPECT_EQ(toolkit_.SelectedRow(resultList), -1);

  auto calls = stub.WaitForCalls(1, 5000);
  driver_->RunFor(200);
  calls = stub.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_THAT(calls[0], ElementsAre(link));
}

TEST_F(WindowTest, ClickQueuedDuringTheSearchRunsNestedAtItsPump) {
  testing::TestHttpServer server;
  ASSERT_TRUE(server.ok());
  server.SetHandler([](const std::string&) {
    return testing::Respond("HTTP/1.1 200 OK\r\nContent-Type: text/html",
                            "<p>none</p>");
  });
  SearchPipeline search(Text(server.HostPort()));
  Start(search);
  driver_->Type(keywordEdit, "Q-1");
  driver_->PostClick(searchButton);
  driver_->Click(searchButton);
  // Two searches ran, the queued one inside the first; nothing is left.
  EXPECT_EQ(server.Requests().size(), 2u);
  driver_->RunFor(50);
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(driver_->PartText(statusBar, 1), kStateNothing);
}

TEST_F(WindowTest, ClosingTheWindowEndsStartUpWithZero) {
  SearchPipeline search(DemoHost());
  QtDriver driver(toolkit_);
  driver.CloseLater(100);
  EXPECT_EQ(RunMainWindow(toolkit_, search, [](const Text&) {}), 0);
  EXPECT_FALSE(driver.WindowVisible());
}

// Width and height from a PNG file's header.
bool PngSize(const std::string& path, int& width, int& height) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24];
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
  if (header[1] != 'P' || header[2] != 'N' || header[3] != 'G') return false;
  auto be = [&header](int at) {
    return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) |
           header[at + 3];
  };
  width = be(16);
  height = be(20);
  return true;
}

TEST_F(WindowTest, ScreenshotAfterADemoSearchHasTheExpectedLayout) {
  SearchPipeline search(DemoHost());
  Start(search);
  Search("ABC-123");
  driver_->RunFor(50);
  std::string path =
      (std::filesystem::temp_directory_path() / "velk-window-shot.png")
          .string();
  ASSERT_TRUE(driver_->SaveScreenshot(path));
  int width = 0, height = 0;
  ASSERT_TRUE(PngSize(path, width, height));
  std::filesystem::remove(path);
  // The picture is the client area, and every control sits in it as laid
  // out (the hidden buffer beyond its right edge).
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 469);
  for (const Placement& p : kLayout) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(driver_->ControlRect(p.id), p.rect);
    bool inside = p.rect.left + p.rect.width <= width &&
                  p.rect.top + p.rect.height <= height;
    EXPECT_EQ(inside, p.id != pageBuffer);
    EXPECT_EQ(driver_->ControlVisible(p.id), p.id != pageBuffer);
  }
  EXPECT_EQ(toolkit_.RowCount(resultList), 3);
}

}  // namespace
}  // namespace velk
