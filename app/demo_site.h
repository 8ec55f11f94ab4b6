// For tests and benchmarks: the bundled demo search site (demo/serve.py),
// started on 127.0.0.1 with a port the system picks, stopped on
// destruction; and a loopback port that refuses connections.
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

// A loopback port with a socket bound to it that does not listen:
// connecting to it is refused for as long as the object lives, and no other
// program can take the port meanwhile.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  // "127.0.0.1:PORT".
  std::string HostPort() const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace velk::testing

#endif  // VELK_APP_DEMO_SITE_H_
