// The check every fuzz target uses for its properties: on failure it names
// the condition and its line, then aborts so that libFuzzer keeps the input.
#ifndef VELK_FUZZ_FUZZ_CHECK_H_
#define VELK_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                                  \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

#endif  // VELK_FUZZ_FUZZ_CHECK_H_
