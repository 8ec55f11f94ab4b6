// Test-only controls of the internet client service. The program never calls
// these; tests use them to shorten the platform's limits, to trust a
// certificate authority they made, and to start from an empty cookie store.
#ifndef VELK_PLATFORM_INET_INET_TESTING_H_
#define VELK_PLATFORM_INET_INET_TESTING_H_

#include <chrono>
#include <cstdint>
#include <string>

namespace velk::platform {

struct InetLimits {
  // Connecting gives up after this long.
  std::chrono::milliseconds connectTimeout{60000};
  // A connected transfer that moves no byte for this long fails (checked
  // about once a second).
  std::chrono::milliseconds idleTimeout{30000};
  // A request, its redirects included, that has not received its whole
  // final response after this long fails, however steadily bytes arrive:
  // a site that drips a byte a second cannot hold the caller for ever.
  std::chrono::milliseconds transferTimeout{120000};
  // A response body larger than this fails and is dropped.
  int64_t maxBodyBytes = int64_t{256} * 1024 * 1024;
};

// The platform defaults.
InetLimits DefaultInetLimits();
// Replaces the limits for requests sent from now on.
void SetInetLimitsForTesting(const InetLimits& limits);

// Verifies TLS servers against the CA certificates in `caFile` (PEM)
// instead of the system's store; an empty path goes back to the system's.
void SetInetCaFileForTesting(const std::string& caFile);

// Forgets every cookie of the process store.
void ClearInetCookiesForTesting();

}  // namespace velk::platform

#endif  // VELK_PLATFORM_INET_INET_TESTING_H_
