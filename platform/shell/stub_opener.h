// For tests: a stand-in "xdg-open" put first on PATH, which records each
// call's arguments instead of opening anything.
#ifndef VELK_PLATFORM_SHELL_STUB_OPENER_H_
#define VELK_PLATFORM_SHELL_STUB_OPENER_H_

#include <string>
#include <vector>

namespace velk::platform {

class StubOpener {
 public:
  // Writes the stub into a fresh folder and puts that folder first on PATH
  // (restored by the destructor).
  StubOpener();
  ~StubOpener();
  StubOpener(const StubOpener&) = delete;
  StubOpener& operator=(const StubOpener&) = delete;

  // The arguments of every call recorded so far, one list per call.
  std::vector<std::vector<std::string>> Calls() const;
  // Waits up to `milliseconds` until at least `count` calls are recorded,
  // then gives them all.
  std::vector<std::vector<std::string>> WaitForCalls(size_t count,
                                                     int milliseconds) const;

 private:
  std::string dir_;
  std::string oldPath_;
};

}  // namespace velk::platform

#endif  // VELK_PLATFORM_SHELL_STUB_OPENER_H_
