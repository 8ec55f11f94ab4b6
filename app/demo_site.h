// For tests and benchmarks: the bundled demo search site (demo/serve.py),
// started on 127.0.0.1 with a port the system picks, stopped on
// destruction.
#ifndef VELK_APP_DEMO_SITE_H_
#define VELK_APP_DEMO_SITE_H_

#include <sys/types.h>

#include <string>

namespace velk::testing {

class DemoSite {
 public:
  // Starts the site and waits (at most 10 s) until it listens.
  DemoSite();
  ~DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  bool ok() const { return port_ > 0; }
  // "127.0.0.1:PORT", a search host for the pipeline.
  std::string HostPort() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace velk::testing

#endif  // VELK_APP_DEMO_SITE_H_
