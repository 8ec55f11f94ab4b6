#include "platform/shell/stub_opener.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace velk::platform {
namespace {

// Each call writes its argument count and then each argument followed by a
// NUL byte into a file of its own, renamed into place when complete.
constexpr char kScript[] = R"(#!/bin/sh
f="$(dirname "$0")/call.$$"
printf '%s\0' "$#" > "$f.part"
for a in "$@"; do printf '%s\0' "$a" >> "$f.part"; done
mv "$f.part" "$f"
)";

}  // namespace

StubOpener::StubOpener() {
  std::string base =
      std::filesystem::temp_directory_path() / "stub-opener-XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) std::abort();
  dir_ = name.data();
  std::string script = dir_ + "/xdg-open";
  std::ofstream(script) << kScript;
  chmod(script.c_str(), 0755);
  const char* path = std::getenv("PATH");
  oldPath_ = path != nullptr ? path : "";
  setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
}

StubOpener::~StubOpener() {
  setenv("PATH", oldPath_.c_str(), 1);
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::vector<std::string>> StubOpener::Calls() const {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    std::string name = entry.path().filename();
    if (name.rfind("call.", 0) == 0 &&
        name.find(".part") == std::string::npos) {
      files.push_back(entry.path());
    }
  }
  // Oldest first.
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
    return std::filesystem::last_write_time(a) <
           std::filesystem::last_write_time(b);
  });
  std::vector<std::vector<std::string>> calls;
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)),
                     std::istreambuf_iterator<char>());
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t nul; (nul = data.find('\0', start)) != std::string::npos;
         start = nul + 1) {
      fields.push_back(data.substr(start, nul - start));
    }
    // The first field is the argument count; keep only the arguments.
    if (!fields.empty()) fields.erase(fields.begin());
    calls.push_back(std::move(fields));
  }
  return calls;
}

std::vector<std::vector<std::string>> StubOpener::WaitForCalls(
    size_t count, int milliseconds) const {
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(milliseconds);
  while (true) {
    auto calls = Calls();
    if (calls.size() >= count || std::chrono::steady_clock::now() > deadline) {
      return calls;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace velk::platform
