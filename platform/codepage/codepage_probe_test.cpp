// Runs the probe program on a script and checks its answers line by line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The probe's answers to `script`, one string a line.
std::vector<std::string> RunProbe(const std::string& script) {
  const char* probe = std::getenv("CODEPAGE_PROBE");
  if (probe == nullptr) {
    ADD_FAILURE() << "CODEPAGE_PROBE is not set";
    return {};
  }
  const char* dir = std::getenv("TMPDIR");
  std::string path =
      std::string(dir != nullptr ? dir : "/tmp") + "/codepage_probe_XXXXXX";
  int fd = mkstemp(path.data());
  if (fd < 0) {
    ADD_FAILURE() << "no scratch file";
    return {};
  }
  close(fd);
  std::ofstream(path) << script;
  std::string command = std::string("'") + probe + "' < '" + path + "'";
  std::vector<std::string> lines;
  if (FILE* out = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, out) != nullptr) {
      std::string line(buffer);
      if (!line.empty() && line.back() == '\n') line.pop_back();
      lines.push_back(line);
    }
    EXPECT_EQ(pclose(out), 0);
  }
  std::remove(path.c_str());
  return lines;
}

TEST(CodepageProbe, AnswersEachRequestLine) {
  struct Case {
    const char* request;
    const char* answer;
  };
  const Case kCases[] = {
      {"m2w 65001 0 3 e4b8ad 0", "m2w ret=1 out=-"},
      // -1 finds the zero padding after the input; unwritten units show.
      {"m2w 65001 0 -1 41e4b8ad 4", "m2w ret=3 out=00414e2d0000cccc"},
      {"m2w 0x3a8 0 -1 d6d041 3", "m2w ret=3 out=4e2d00410000"},
      {"m2w 936 0 1 d6 2", "m2w ret=1 out=fffdcccc"},
      {"w2m 936 0 2 4e2d6587 4", "w2m ret=4 out=d6d0cec4"},
      {"w2m 936 0x200 2 00650301 3", "w2m ret=2 out=a8a6cc"},
      {"w2m 936 0 2 d83dde00 2", "w2m ret=2 out=3f3f"},
      // Full buffer: no half character, the call reports failure.
      {"w2m 936 0 2 00414e2d 2", "w2m ret=0 out=41cc"},
      {"w2m 65001 0 1 d800 3", "w2m ret=3 out=efbfbd"},
      {"w2m 1252 0 1 0041 1", "w2m ret=0 out=cc"},
      {"w2m 936 0 0 - 0", "w2m ret=0 out=-"},
  };
  std::string script = "# comment lines are skipped\n";
  for (const Case& c : kCases) script += std::string(c.request) + "\n";
  std::vector<std::string> answers = RunProbe(script);
  ASSERT_EQ(answers.size(), std::size(kCases));
  for (size_t k = 0; k < answers.size(); ++k) {
    SCOPED_TRACE(kCases[k].request);
    EXPECT_EQ(answers[k], kCases[k].answer);
  }
}

TEST(CodepageProbe, RejectsMalformedLines) {
  std::vector<std::string> answers =
      RunProbe("m2w 65001 0 1 zz 1\nw2m 936 0 1 41 1\nxyz\n");
  ASSERT_EQ(answers.size(), 3u);
  for (const std::string& answer : answers) {
    EXPECT_EQ(answer.rfind("error", 0), 0u) << answer;
  }
}

}  // namespace
