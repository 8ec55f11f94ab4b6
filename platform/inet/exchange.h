// The inner workings of the internet client service: the rules for the
// request text and one HTTP exchange over a fresh curl handle. Only the
// service's own files include this.
#ifndef VELK_PLATFORM_INET_EXCHANGE_H_
#define VELK_PLATFORM_INET_EXCHANGE_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inet/inet_testing.h"

namespace velk::platform::inet {

// Redirects the service follows in a row before it reports one as final.
inline constexpr int kMaxRedirects = 10;

// One of the caller's header lines.
struct HeaderLine {
  std::string name;  // As written.
  std::string line;  // The whole line, as written.
};

// What one exchange sends: the server, the target and the body.
struct Hop {
  bool secure = false;
  std::string server;
  int port = 0;
  std::string target;
  std::string verb;
  bool sendBody = false;
  std::string_view body;
};

// What one exchange received.
struct Received {
  std::string headerBlock;  // The final block so far.
  bool blockDone = false;   // The final block's empty line arrived.
  int status = 0;
  std::string body;
  bool bodyTooLarge = false;
  bool headersTooLarge = false;
  int64_t maxBody = 0;
};

// How a request's exchanges are made.
struct ExchangeSettings {
  std::string agent;
  std::string proxy;  // host:port for plain HTTP; empty: direct.
  unsigned flags = 0;
  InetLimits limits;
  std::string caFile;  // Empty: the system's certificate store.
  // The request's whole transfer, redirects included, ends by then.
  std::chrono::steady_clock::time_point deadline =
      std::chrono::steady_clock::time_point::max();
};

void InitCurlOnce();

bool IsAsciiAlnum(char c);

// The request-target for an object name: every byte that may not stand in
// one becomes %XX ("%" itself stays), and it starts with "/".
std::string EncodeTarget(std::string_view objectName);
// Letters, digits, "-", "." and "_" only.
bool IsPlainServerName(const std::string& name);
// The host:port of an "http=host:port" list; empty for anything else.
std::string ProxyFromList(std::string_view list);
// The caller's header text as lines: split at CR LF; an empty line, a line
// holding a lone CR or LF and a line without a name and colon are dropped,
// so no caller text can add a line of its own or end the header block.
std::vector<HeaderLine> CallerLines(std::string_view text);

// Runs one exchange. The wire order is Host, User-Agent, the caller's lines
// (a caller's Host, when `callerHostApplies`, or User-Agent line takes the
// place of the service's own), the store's Cookie line; curl adds
// Content-Length for a body and nothing else. Stores the response's cookies
// unless kInetFlagNoCookies. Returns true when the exchange completed
// before the settings' deadline.
bool Exchange(const ExchangeSettings& settings, const Hop& hop,
              const std::vector<HeaderLine>& callerLines,
              bool callerHostApplies, Received& received);

// The value of the block's last Location line; empty without one.
std::string LocationOf(const std::string& headerBlock);
bool IsRedirect(int status);
// Points `hop` at `location` resolved against the hop's own address. False
// when the target cannot or may not be followed (http to https without
// kInetFlagIgnoreRedirectToHttps, https to http, another scheme).
bool Redirect(Hop& hop, unsigned flags, const std::string& location);

}  // namespace velk::platform::inet

#endif  // VELK_PLATFORM_INET_EXCHANGE_H_
