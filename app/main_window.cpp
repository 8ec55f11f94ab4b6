#include "app/main_window.h"

#include <memory>
#include <utility>
#include <vector>

namespace velk {

using platform::ControlEntry;
using platform::ControlKind;

MainWindow::MainWindow(platform::Toolkit& toolkit, SearchSteps& search,
                       ShellOpener openWithShell)
    : toolkit_(toolkit),
      search_(search),
      openWithShell_(std::move(openWithShell)) {}

platform::WindowTable MainWindow::Table() {
  platform::WindowTable window;
  window.id = mainWindow;
  window.caption = kCaption;
  window.outerWidth = 646;
  window.outerHeight = 498;
  // The status bar runs along the bottom edge of the client area.
  window.clientWidth = 640;
  window.clientHeight = 469;
  window.onCreated = [this] { OnWindowCreated(); };

  auto add = [&window](MainWindowControl id, const char* name, ControlKind kind,
                       platform::Rect rect,
                       const char* text = "") -> ControlEntry& {
    ControlEntry& c = window.controls.emplace_back();
    c.id = id;
    c.name = name;
    c.kind = kind;
    c.rect = rect;
    c.text = text;
    return c;
  };
  add(promptLabel, "promptLabel", ControlKind::kLabel, {16, 8, 80, 32},
      kPromptText);
  add(keywordEdit, "keywordEdit", ControlKind::kEdit, {96, 9, 136, 23});
  add(searchButton, "searchButton", ControlKind::kButton, {248, 8, 88, 24},
      kSearchButtonText)
      .onClick = [this] { OnSearchClicked(); };
  ControlEntry& list =
      add(resultList, "resultList", ControlKind::kList, {0, 48, 640, 408});
  list.columns = {{kNameTitle, 100}, {kSizeTitle, 80}, {kLinkTitle, 450}};
  list.onDoubleClick = [this] { OnResultDoubleClicked(); };
  add(statusBar, "statusBar", ControlKind::kStatusBar, {0, 449, 640, 20})
      .parts = {
      {100, kCountPartAtStart}, {180, kStatePartAtStart}, {360, kProgressPart}};
  // Listed after the status bar so that it lies above part 2.
  ControlEntry& bar = add(progressBar, "progressBar", ControlKind::kProgressBar,
                          {314, 455, 312, 10});
  bar.rangeMin = 0;
  bar.rangeMax = 100;
  add(progressTimer, "progressTimer", ControlKind::kTimer, {}).onElapsed =
      [this] { OnProgressTick(); };
  // Beyond the right edge of the client area, and hidden besides.
  add(pageBuffer, "pageBuffer", ControlKind::kTextBox, {648, 424, 48, 24})
      .hidden = true;
  return window;
}

void MainWindow::OnWindowCreated() {
  toolkit_.SetCaption(mainWindow, kCaption);
  toolkit_.SetPartText(statusBar, 1, kStateIdle);
}

void MainWindow::ShowRowCount() {
  Text count =
      ConcatText(kCountPrefix, NumberToText(toolkit_.RowCount(resultList)));
  toolkit_.SetPartText(statusBar, 0, count.view());
}

void MainWindow::OnSearchClicked() {
  // Made first and destroyed last (when this handler returns), on every
  // path.
  std::unique_ptr<SearchSteps::Matcher> matcher = search_.NewMatcher();
  toolkit_.SetProgressPosition(progressBar, 0);
  toolkit_.SetTimerPeriod(progressTimer, kTickPeriod);
  toolkit_.SetPartText(statusBar, 1, kStateSearching);
  // The one point of a search where other events run: the new state text
  // and the reset bar get painted before the thread blocks in the fetch. A
  // click queued here runs a whole search nested inside this one.
  toolkit_.PumpEvents();

  // Read only now, so that a nested search's keyword change shows.
  Text keyword(toolkit_.ControlText(keywordEdit));
  Text url = search_.BuildSearchUrl(keyword);
  Text page = search_.FetchSearchPage(url);
  toolkit_.SetControlText(pageBuffer, page.view());
  toolkit_.ClearRows(resultList);
  ShowRowCount();
  // What is matched is what the text box gives back.
  Text subject(toolkit_.ControlText(pageBuffer));

  std::vector<ResultRow> rows;
  SearchOutcome outcome = search_.ExtractRows(*matcher, subject, rows);
  switch (outcome) {
    case SearchOutcome::EngineFailed:
      toolkit_.SetPartText(statusBar, 1, kStateFailed);
      toolkit_.SetProgressPosition(progressBar, 0);
      toolkit_.SetTimerPeriod(progressTimer, 0);
      return;
    case SearchOutcome::NothingFound:
      toolkit_.SetPartText(statusBar, 1, kStateNothing);
      toolkit_.SetProgressPosition(progressBar, 0);
      toolkit_.SetTimerPeriod(progressTimer, 0);
      return;
    case SearchOutcome::RowsFound:
      break;
  }
  for (const ResultRow& r : rows) {
    int row = toolkit_.AppendRow(resultList);
    toolkit_.SetCellText(resultList, row, 0, r.name.view());
    toolkit_.SetCellText(resultList, row, 1, r.size.view());
    toolkit_.SetCellText(resultList, row, 2, r.link.view());
  }
  // The count is what the list really holds, not the number of matches.
  ShowRowCount();
  toolkit_.SetProgressPosition(progressBar, 100);
  toolkit_.SetTimerPeriod(progressTimer, 0);
  toolkit_.SetPartText(statusBar, 1, kStateDone);
}

void MainWindow::OnResultDoubleClicked() {
  int row = toolkit_.SelectedRow(resultList);
  Text link(toolkit_.CellText(resultList, row, 2));
  openWithShell_(link);
}

void MainWindow::OnProgressTick() {
  int position = toolkit_.ProgressPosition(progressBar);
  toolkit_.SetProgressPosition(progressBar, position + 1);
  toolkit_.PumpEvents();
}

int RunMainWindow(platform::Toolkit& toolkit, SearchSteps& search,
                  MainWindow::ShellOpener openWithShell) {
  MainWindow window(toolkit, search, std::move(openWithShell));
  if (!toolkit.CreateMainWindow(window.Table())) return 1;
  return toolkit.RunEventLoop();
}

}  // namespace velk
