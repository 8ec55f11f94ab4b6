// Peak resident memory of the program for one search of a 10 MB result page,
// against the same process idle after start-up: the real window
// (offscreen) searches a page served on 127.0.0.1, and the kernel's own
// counters (VmRSS, VmHWM in /proc/self/status) are read before and after.
//
// The page is made (bench/make_pages.py, kind "normal") and served by a
// child process forked before anything else starts, so that none of its
// memory is counted against the window's process.
//
// Run: build/benchmarks/memory_bench [--size BYTES] (QT_QPA_PLATFORM is set
// to offscreen when unset). Prints the figures and one "ratio" line.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/main_window.h"
#include "app/search_pipeline.h"
#include "platform/inet/testing/http_server.h"
#include "platform/toolkit/qt/qt_driver.h"
#include "platform/toolkit/qt/qt_toolkit.h"

#ifndef VELK_MAKE_PAGES
#error "VELK_MAKE_PAGES must name bench/make_pages.py"
#endif

namespace {

constexpr char kCode[] = "BIG-10MB";

// A field of /proc/self/status in kB, or -1.
long StatusKb(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0 && line.size() > length &&
        line[length] == ':') {
      return std::strtol(line.c_str() + length + 1, nullptr, 10);
    }
  }
  return -1;
}

// The child: makes the page, serves it for every request, tells the parent
// "<port> <rows>" on `out`, and ends when the parent closes `in`.
[[noreturn]] void ServePage(long size, int in, int out) {
  std::string path =
      (std::filesystem::temp_directory_path() / "velk_memory_bench_XXXXXX")
          .string();
  const int fd = mkstemp(path.data());
  if (fd < 0) _exit(2);
  close(fd);
  std::string command = std::string("python3 ") + VELK_MAKE_PAGES +
                        " --kind normal --size " + std::to_string(size) +
                        " --out " + path;
  FILE* pipe = popen(command.c_str(), "r");
  int rows = -1;
  if (pipe == nullptr || std::fscanf(pipe, "%d", &rows) != 1) rows = -1;
  if (pipe != nullptr && pclose(pipe) != 0) rows = -1;
  std::stringstream page;
  page << std::ifstream(path, std::ios::binary).rdbuf();
  unlink(path.c_str());
  if (rows < 0 || page.str().empty()) _exit(3);

  velk::testing::TestHttpServer server;
  if (!server.ok()) _exit(4);
  const std::string reply = velk::testing::HttpResponse(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8", page.str());
  server.SetHandler([&reply](const std::string&) {
    return velk::testing::Reply{velk::testing::ReplyStep::Send(reply)};
  });
  const std::string hello =
      std::to_string(server.port()) + " " + std::to_string(rows) + "\n";
  if (write(out, hello.data(), hello.size()) !=
      static_cast<ssize_t>(hello.size())) {
    _exit(5);
  }
  char byte;
  while (read(in, &byte, 1) > 0) {
  }
  _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  long size = 10'000'000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--size") == 0) size = std::atol(argv[i + 1]);
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);

  int toChild[2];
  int fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) return 1;
  const pid_t child = fork();
  if (child < 0) return 1;
  if (child == 0) {
    close(toChild[1]);
    close(fromChild[0]);
    ServePage(size, toChild[0], fromChild[1]);
  }
  close(toChild[0]);
  close(fromChild[1]);
  char hello[64] = {};
  size_t got = 0;
  while (got + 1 < sizeof hello) {
    const ssize_t n = read(fromChild[0], hello + got, sizeof hello - 1 - got);
    if (n <= 0 || std::strchr(hello, '\n') != nullptr) break;
    got += static_cast<size_t>(n);
  }
  int port = 0;
  int expectedRows = 0;
  if (std::sscanf(hello, "%d %d", &port, &expectedRows) != 2) {
    std::fprintf(stderr, "memory_bench: the page server did not start\n");
    close(toChild[1]);
    waitpid(child, nullptr, 0);
    return 1;
  }

  int status = 0;
  {
    velk::platform::QtToolkit toolkit;
    velk::SearchPipeline pipeline{
        velk::Text("127.0.0.1:" + std::to_string(port))};
    velk::MainWindow window(toolkit, pipeline, [](const velk::Text&) {});
    if (!toolkit.CreateMainWindow(window.Table())) return 1;
    toolkit.PumpEvents();
    velk::platform::QtDriver driver(toolkit);
    driver.Type(velk::keywordEdit, kCode);
    toolkit.PumpEvents();
    const long idleRss = StatusKb("VmRSS");
    const long idlePeak = StatusKb("VmHWM");

    driver.Click(velk::searchButton);
    toolkit.PumpEvents();
    const int shownRows = toolkit.RowCount(velk::resultList);
    const long afterRss = StatusKb("VmRSS");
    const long searchPeak = StatusKb("VmHWM");

    std::printf("page: %ld bytes, %d rows expected, %d rows shown\n", size,
                expectedRows, shownRows);
    std::printf("idle after start-up: VmRSS %.1f MB (VmHWM %.1f MB)\n",
                idleRss / 1024.0, idlePeak / 1024.0);
    std::printf("after the search: VmHWM %.1f MB, VmRSS %.1f MB\n",
                searchPeak / 1024.0, afterRss / 1024.0);
    if (shownRows != expectedRows || idleRss <= 0 || searchPeak <= 0) {
      std::printf(
          "ratio peak RSS of a 10 MB search / idle RSS: not measured\n");
      status = 1;
    } else {
      std::printf(
          "ratio peak RSS of a 10 MB search / idle RSS: %.2f (target none "
          "set; peak over idle %.1f MB, %.1f times the page)\n",
          static_cast<double>(searchPeak) / idleRss,
          (searchPeak - idleRss) / 1024.0,
          (searchPeak - idleRss) * 1024.0 / static_cast<double>(size));
    }
  }
  close(toChild[1]);
  waitpid(child, nullptr, 0);
  return status;
}
