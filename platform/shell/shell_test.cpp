// The shell service against a stand-in xdg-open first on PATH.
#include "platform/shell/shell.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/shell/stub_opener.h"

namespace velk::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

TEST(OpensAsUrlTest, AcceptsAbsoluteUrlsOtherThanFile) {
  struct Case {
    const char* name;
    const char* text;
    bool opens;
  };
  const Case kCases[] = {
      {"magnet", "magnet:?xt=urn:btih:0123456789abcdef", true},
      {"http", "http://srv.example/a?b=1", true},
      {"thunder", "thunder://QUFodHRwOi8v", true},
      {"scheme with digits and signs", "ed2k+x-1.y://file", true},
      {"upper-case scheme", "MAGNET:?xt=1", true},
      {"https", "https://srv.example/", true},
      {"ftp", "ftp://srv.example/a.torrent", true},
      {"ed2k", "ed2k://|file|a.avi|1|0123456789ABCDEF0123456789ABCDEF|/", true},
      {"936 bytes after the scheme", "magnet:?dn=\xD6\xD0", true},
      {"empty", "", false},
      {"no scheme", "www.example.com/a", false},
      {"relative path", "a/b:c", false},
      {"absolute path", "/usr/bin/xterm", false},
      {"file url", "file:///etc/passwd", false},
      {"file url in capitals", "FILE:/etc/passwd", false},
      {"javascript", "javascript:alert(document.cookie)", false},
      {"javascript in mixed case", "JavaScript:alert(1)", false},
      {"vbscript", "vbscript:msgbox(1)", false},
      {"data", "data:text/html;base64,PHNjcmlwdD4=", false},
      {"data in capitals", "DATA:text/html,<script>x</script>", false},
      {"drive letter", "c:\\windows\\system32\\calc.exe", false},
      {"leading dash", "-magnet:?xt=1", false},
      {"scheme starting with a digit", "1http://x", false},
      {"colon first", ":x", false},
      {"line feed inside", "magnet:?xt=1\nfile:///x", false},
      {"space in scheme", "mag net:?xt=1", false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(OpensAsUrl(c.text), c.opens);
  }
}

TEST(OpenWithShellTest, HandsTheTextOverAsOneUtf8ArgumentWithoutAShell) {
  StubOpener stub;
  // Shell syntax that would do something if a shell saw it.
  const std::string hostile =
      "magnet:?xt=urn:btih:1&dn=a b;$(touch x)`id` 'q\" |>y";
  OpenWithShell(hostile);
  OpenWithShell("magnet:?dn=\xD6\xD0");  // 中
  auto calls = stub.WaitForCalls(2, 5000);
  // The two run independently; either may record first.
  EXPECT_THAT(calls,
              UnorderedElementsAre(ElementsAre(hostile),
                                   ElementsAre("magnet:?dn=\xE4\xB8\xAD")));
}

TEST(OpenWithShellTest, OpensNothingForTextsThatAreNoUrl) {
  StubOpener stub;
  for (const char* text : {"", "file:///etc/passwd", "/bin/sh", "a b",
                           "javascript:alert(1)", "data:text/html,x"}) {
    OpenWithShell(text);
  }
  // A URL afterwards shows that the stub works and that it is the only
  // call.
  OpenWithShell("http://127.0.0.1/");
  auto calls = stub.WaitForCalls(1, 5000);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  calls = stub.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_THAT(calls[0], ElementsAre("http://127.0.0.1/"));
}

TEST(OpenWithShellTest, LeavesNoChildBehindAndSurvivesAMissingOpener) {
  {
    StubOpener stub;
    OpenWithShell("magnet:?xt=1");
    EXPECT_EQ(stub.WaitForCalls(1, 5000).size(), 1u);
  }
  // The process started is no child of ours: nothing is left to reap.
  int status;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  // With no xdg-open on PATH, nothing happens and nothing is reported.
  const char* old = std::getenv("PATH");
  std::string saved = old != nullptr ? old : "";
  setenv("PATH", "", 1);
  OpenWithShell("magnet:?xt=1");
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
}

}  // namespace
}  // namespace velk::platform
