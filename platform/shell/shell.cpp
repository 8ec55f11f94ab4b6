#include "platform/shell/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/codepage/codepage.h"

extern char** environ;

namespace velk::platform {
namespace {

constexpr char kOpener[] = "xdg-open";

bool IsAsciiLetter(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The first executable "xdg-open" on PATH; empty when there is none.
std::string FindOpener() {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin";
  while (true) {
    size_t colon = dirs.find(':');
    std::string candidate(dirs.substr(0, colon));
    if (candidate.empty()) candidate.push_back('.');
    candidate.append("/").append(kOpener);
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string_view::npos) return {};
    dirs.remove_prefix(colon + 1);
  }
}

std::string GbkToUtf8(std::string_view text) {
  int length = static_cast<int>(text.size());
  int units =
      MultiByteToWide(kCodePageAnsi, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::u16string wide(static_cast<size_t>(units), u'\0');
  units = MultiByteToWide(kCodePageAnsi, 0, text.data(), length, wide.data(),
                          units);
  if (units <= 0) return {};
  int bytes = WideToMultiByte(kCodePageUtf8, 0, wide.data(), units, nullptr, 0);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<size_t>(bytes), '\0');
  bytes =
      WideToMultiByte(kCodePageUtf8, 0, wide.data(), units, utf8.data(), bytes);
  utf8.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
  return utf8;
}

}  // namespace

bool OpensAsUrl(std::string_view text) {
  size_t colon = text.find(':');
  // Two characters at least, so that a drive letter ("c:\...") is no scheme.
  if (colon == std::string_view::npos || colon < 2) return false;
  if (!IsAsciiLetter(static_cast<unsigned char>(text[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' &&
        c != '.') {
      return false;
    }
  }
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  std::string scheme(text.substr(0, colon));
  for (char& c : scheme) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // A local file, or script and inline content that a browser would run or
  // show as if it came from somewhere trusted.
  for (const char* refused : {"file", "javascript", "vbscript", "data"}) {
    if (scheme == refused) return false;
  }
  return true;
}

void OpenWithShell(std::string_view text) {
  if (!OpensAsUrl(text)) return;
  std::string argument = GbkToUtf8(text);
  std::string opener = FindOpener();
  if (argument.empty() || opener.empty()) return;

  // Everything the children need is made before the fork: between fork and
  // exec only async-signal-safe calls are allowed.
  std::vector<char*> argv = {const_cast<char*>(kOpener), argument.data(),
                             nullptr};
  pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    // The middle process starts the opener in a session of its own and
    // leaves at once, so the opener belongs to init and never becomes a
    // zombie of this program.
    setsid();
    pid_t grandchild = fork();
    if (grandchild == 0) {
      int devNull = open("/dev/null", O_RDONLY);
      if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        if (devNull != STDIN_FILENO) close(devNull);
      }
      // No descriptor of this program (sockets, the display) reaches it.
      close_range(3, ~0U, 0);
      execve(opener.c_str(), argv.data(), environ);
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace velk::platform
