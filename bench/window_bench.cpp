// The window's cost over the search it shows, on real widgets (offscreen):
//
// - A search of the demo site's 4,000-row page (about 1.2 MB) from the
//   click to the painted final state, against the window-free
//   SearchPipeline doing the same search in the same run. Target: the
//   window at most doubles the time.
// - Start-up of the program to its first painted window, against a bare
//   QWidget program's start-up, each a fresh process. Target: at most 1.5
//   times. The two probes are built from this file too: the window probe
//   (VELK_PROBE_WINDOW) links what the program links and runs its start-up,
//   the bare probe (VELK_PROBE_BARE) links only the widget library; each
//   ends once its first window is painted.
//
// Run: build/benchmarks/window_bench (QT_QPA_PLATFORM is set to offscreen
// when unset).
#if defined(VELK_PROBE_BARE)

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget widget;
  widget.resize(640, 469);
  widget.show();
  QCoreApplication::processEvents();
  return 0;
}

#elif defined(VELK_PROBE_WINDOW)

#include "app/main_window.h"
#include "app/search_pipeline.h"
#include "platform/shell/shell.h"
#include "platform/toolkit/qt/qt_toolkit.h"

// The program's start-up (app/main.cpp) up to its first painted window.
int main() {
  velk::platform::QtToolkit toolkit;
  velk::SearchPipeline search;
  velk::MainWindow window(toolkit, search, [](const velk::Text& text) {
    velk::platform::OpenWithShell(text.view());
  });
  if (!toolkit.CreateMainWindow(window.Table())) return 1;
  toolkit.PumpEvents();
  return 0;
}

#else

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/search_pipeline.h"
#include "bench/ratio_reporter.h"
#include "platform/inet/testing/http_server.h"
#include "platform/toolkit/qt/qt_driver.h"
#include "platform/toolkit/qt/qt_toolkit.h"

extern char** environ;

namespace {

constexpr char kBigCode[] = "BIG-4000";
constexpr int kBigRows = 4000;

// The demo site's 4,000-row page, served from memory on 127.0.0.1 so that
// the server's own time stays small and steady.
velk::testing::TestHttpServer* Server() {
  static velk::testing::TestHttpServer* server =
      []() -> velk::testing::TestHttpServer* {
    std::string command = std::string("python3 " VELK_DEMO_SERVER " --page ") +
                          kBigCode + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return nullptr;
    std::string page;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      page.append(buffer, n);
    }
    if (pclose(pipe) != 0 || page.empty()) return nullptr;
    auto* s = new velk::testing::TestHttpServer;
    std::string reply = velk::testing::HttpResponse(
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8", page);
    s->SetHandler([reply](const std::string&) {
      return velk::testing::Reply{velk::testing::ReplyStep::Send(reply)};
    });
    return s;
  }();
  return server;
}

void BM_PipelineSearch(benchmark::State& state) {
  if (Server() == nullptr || !Server()->ok()) {
    state.SkipWithError("no demo page server");
    return;
  }
  velk::SearchPipeline pipeline{velk::Text(Server()->HostPort())};
  for (auto _ : state) {
    std::unique_ptr<velk::SearchSteps::Matcher> matcher = pipeline.NewMatcher();
    velk::Text page =
        pipeline.FetchSearchPage(pipeline.BuildSearchUrl(kBigCode));
    std::vector<velk::ResultRow> rows;
    pipeline.ExtractRows(*matcher, page, rows);
    if (rows.size() != kBigRows) {
      state.SkipWithError("wrong row count");
      break;
    }
    benchmark::DoNotOptimize(rows);
  }
}

void BM_WindowSearch(benchmark::State& state) {
  if (Server() == nullptr || !Server()->ok()) {
    state.SkipWithError("no demo page server");
    return;
  }
  velk::platform::QtToolkit toolkit;
  velk::SearchPipeline pipeline{velk::Text(Server()->HostPort())};
  velk::MainWindow window(toolkit, pipeline, [](const velk::Text&) {});
  toolkit.CreateMainWindow(window.Table());
  velk::platform::QtDriver driver(toolkit);
  driver.Type(velk::keywordEdit, kBigCode);
  toolkit.PumpEvents();
  for (auto _ : state) {
    driver.Click(velk::searchButton);
    // The final state painted, as the user sees it.
    toolkit.PumpEvents();
    if (toolkit.RowCount(velk::resultList) != kBigRows) {
      state.SkipWithError("wrong row count");
      break;
    }
  }
}

// The window's own parts of that search, for finding where its time goes:
// the page through the hidden text box, and the rows into the list.
struct WindowParts {
  WindowParts() : window(toolkit, pipeline, [](const velk::Text&) {}) {
    toolkit.CreateMainWindow(window.Table());
    std::unique_ptr<velk::SearchSteps::Matcher> matcher = pipeline.NewMatcher();
    page = pipeline.FetchSearchPage(pipeline.BuildSearchUrl(kBigCode));
    pipeline.ExtractRows(*matcher, page, rows);
  }
  velk::platform::QtToolkit toolkit;
  velk::SearchPipeline pipeline{velk::Text(Server()->HostPort())};
  velk::MainWindow window;
  velk::Text page;
  std::vector<velk::ResultRow> rows;
};

void BM_WindowPageBuffer(benchmark::State& state) {
  WindowParts parts;
  for (auto _ : state) {
    parts.toolkit.SetControlText(velk::pageBuffer, parts.page.view());
    std::string back = parts.toolkit.ControlText(velk::pageBuffer);
    benchmark::DoNotOptimize(back);
  }
}

void BM_WindowFillRows(benchmark::State& state) {
  WindowParts parts;
  for (auto _ : state) {
    parts.toolkit.ClearRows(velk::resultList);
    for (const velk::ResultRow& r : parts.rows) {
      int row = parts.toolkit.AppendRow(velk::resultList);
      parts.toolkit.SetCellText(velk::resultList, row, 0, r.name.view());
      parts.toolkit.SetCellText(velk::resultList, row, 1, r.size.view());
      parts.toolkit.SetCellText(velk::resultList, row, 2, r.link.view());
    }
  }
}

// Starts a probe program and waits for it to end.
void RunProbe(benchmark::State& state, const char* path) {
  for (auto _ : state) {
    char* argv[] = {const_cast<char*>(path), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, path, nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("spawn failed");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("probe failed");
      break;
    }
  }
}

void BM_StartUpWindow(benchmark::State& state) {
  RunProbe(state, VELK_WINDOW_PROBE);
}
void BM_StartUpBareWidget(benchmark::State& state) {
  RunProbe(state, VELK_BARE_PROBE);
}

}  // namespace

BENCHMARK(BM_PipelineSearch)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);
BENCHMARK(BM_WindowSearch)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);
BENCHMARK(BM_WindowPageBuffer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFillRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpWindow)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);
BENCHMARK(BM_StartUpBareWidget)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(5);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return velk::bench::RunWithRatios(
      argc, argv,
      {{"window search / pipeline search",
        "BM_WindowSearch/iterations:10/repeats:5",
        "BM_PipelineSearch/iterations:10/repeats:5", "<= 2.0"},
       {"start-up / bare QWidget start-up",
        "BM_StartUpWindow/iterations:10/repeats:5",
        "BM_StartUpBareWidget/iterations:10/repeats:5", "<= 1.5"}});
}

#endif
