#include "platform/inet/inet.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/inet/cookie_store.h"
#include "platform/inet/exchange.h"
#include "platform/inet/header_text.h"
#include "platform/inet/inet_testing.h"

namespace velk::platform {

struct InetHandle {
  enum class Kind { kSession, kConnection, kRequest };
  explicit InetHandle(Kind k) : kind(k) {}
  virtual ~InetHandle() = default;
  Kind kind;
};

namespace {

using inet::CallerLines;
using inet::HeaderLine;
using inet::Hop;
using inet::IsAsciiAlnum;
using inet::Lower;
using inet::Received;

struct Settings {
  std::mutex mutex;
  InetLimits limits = DefaultInetLimits();
  std::string caFile;
};

Settings& GlobalSettings() {
  static Settings* settings = new Settings();
  return *settings;
}

struct SessionHandle : InetHandle {
  SessionHandle() : InetHandle(Kind::kSession) {}
  std::string agent;
  std::string proxy;  // host:port of the HTTP proxy; empty: direct.
};

struct ConnectionHandle : InetHandle {
  ConnectionHandle() : InetHandle(Kind::kConnection) {}
  std::string agent;
  std::string proxy;
  std::string server;
  int port = 0;
};

struct RequestHandle : InetHandle {
  RequestHandle() : InetHandle(Kind::kRequest) {}
  std::string agent;
  std::string proxy;
  std::string server;
  int port = 0;
  std::string verb;
  std::string target;  // Percent-encoded object name.
  unsigned flags = 0;

  bool haveResponse = false;
  std::string headerBlock;
  std::string body;
  size_t readOffset = 0;
};

}  // namespace

InetLimits DefaultInetLimits() { return InetLimits{}; }

void SetInetLimitsForTesting(const InetLimits& limits) {
  std::lock_guard<std::mutex> lock(GlobalSettings().mutex);
  GlobalSettings().limits = limits;
}

void SetInetCaFileForTesting(const std::string& caFile) {
  std::lock_guard<std::mutex> lock(GlobalSettings().mutex);
  GlobalSettings().caFile = caFile;
}

void ClearInetCookiesForTesting() { inet::ProcessCookieStore().Clear(); }

InetHandle* OpenInetSession(const char* agent, InetAccess access,
                            const char* proxyList, const char* /*bypass*/,
                            unsigned /*flags*/) {
  inet::InitCurlOnce();
  auto session = std::make_unique<SessionHandle>();
  session->agent = agent ? agent : "";
  if (access == InetAccess::kProxy && proxyList) {
    session->proxy = inet::ProxyFromList(proxyList);
  }
  return session.release();
}

InetHandle* ConnectInet(InetHandle* session, const char* serverName, int port) {
  if (!session || session->kind != InetHandle::Kind::kSession || !serverName ||
      !*serverName) {
    return nullptr;
  }
  auto* s = static_cast<SessionHandle*>(session);
  auto connection = std::make_unique<ConnectionHandle>();
  connection->agent = s->agent;
  connection->proxy = s->proxy;
  connection->server = Lower(serverName);
  connection->port = port;
  return connection.release();
}

InetHandle* OpenInetRequest(InetHandle* connection, const char* verb,
                            const char* objectName, const char* version,
                            unsigned flags) {
  if (!connection || connection->kind != InetHandle::Kind::kConnection) {
    return nullptr;
  }
  if (version && std::string_view(version) != "HTTP/1.1") return nullptr;
  std::string verbText = verb && *verb ? verb : "GET";
  // A verb is a token; anything else would break the request line.
  if (!std::all_of(verbText.begin(), verbText.end(), [](char c) {
        return IsAsciiAlnum(c) || c == '-' || c == '_';
      })) {
    return nullptr;
  }
  auto* c = static_cast<ConnectionHandle*>(connection);
  auto request = std::make_unique<RequestHandle>();
  request->agent = c->agent;
  request->proxy = c->proxy;
  request->server = c->server;
  request->port = c->port;
  request->verb = verbText;
  request->target = inet::EncodeTarget(objectName ? objectName : "/");
  request->flags = flags;
  return request.release();
}

bool SendInetRequest(InetHandle* request, const char* headers,
                     int headersLength, const void* body, int bodyLength) {
  if (!request || request->kind != InetHandle::Kind::kRequest) return false;
  auto* r = static_cast<RequestHandle*>(request);
  r->haveResponse = false;
  r->headerBlock.clear();
  r->body.clear();
  r->readOffset = 0;

  std::string_view headerText;
  if (headers) {
    headerText =
        headersLength < 0
            ? std::string_view(headers)
            : std::string_view(headers, static_cast<size_t>(headersLength));
  }
  std::vector<HeaderLine> callerLines = CallerLines(headerText);
  if (bodyLength < 0 || (bodyLength > 0 && !body)) return false;
  if (!inet::IsPlainServerName(r->server) || r->port <= 0 || r->port > 65535) {
    return false;
  }

  inet::ExchangeSettings settings;
  settings.agent = r->agent;
  settings.proxy = r->proxy;
  settings.flags = r->flags;
  {
    std::lock_guard<std::mutex> lock(GlobalSettings().mutex);
    settings.limits = GlobalSettings().limits;
    settings.caFile = GlobalSettings().caFile;
  }
  settings.deadline =
      std::chrono::steady_clock::now() + settings.limits.transferTimeout;

  Hop hop;
  hop.secure = (r->flags & kInetFlagSecure) != 0;
  hop.server = r->server;
  hop.port = r->port;
  hop.target = r->target;
  hop.verb = r->verb;
  hop.body = std::string_view(static_cast<const char*>(body),
                              static_cast<size_t>(bodyLength));
  hop.sendBody = bodyLength > 0 || (hop.verb != "GET" && hop.verb != "HEAD");

  for (int redirects = 0;; ++redirects) {
    r->haveResponse = false;
    r->headerBlock.clear();
    r->body.clear();
    Received received;
    bool complete = inet::Exchange(settings, hop, callerLines,
                                   hop.server == r->server, received);
    if (!received.blockDone) return false;
    r->haveResponse = true;
    r->headerBlock = std::move(received.headerBlock);
    r->body = std::move(received.body);
    if (!complete) return false;
    if ((r->flags & kInetFlagNoAutoRedirect) ||
        !inet::IsRedirect(received.status) ||
        redirects == inet::kMaxRedirects) {
      return true;
    }
    std::string location = inet::LocationOf(r->headerBlock);
    if (location.empty() || !inet::Redirect(hop, r->flags, location))
      return true;
    // As browsers do: 303, and 301 or 302 after a POST, fetch the new
    // address with GET and no body; 307 and 308 repeat the request.
    if (received.status == 303 ||
        ((received.status == 301 || received.status == 302) &&
         hop.verb == "POST")) {
      if (hop.verb != "HEAD") hop.verb = "GET";
      hop.sendBody = false;
      hop.body = {};
    }
  }
}

bool ReadInetResponse(InetHandle* request, void* buffer, int capacity,
                      int* bytesRead) {
  if (!bytesRead) return false;
  *bytesRead = 0;
  if (!request || request->kind != InetHandle::Kind::kRequest || !buffer ||
      capacity < 0) {
    return false;
  }
  auto* r = static_cast<RequestHandle*>(request);
  size_t count =
      std::min(static_cast<size_t>(capacity), r->body.size() - r->readOffset);
  std::memcpy(buffer, r->body.data() + r->readOffset, count);
  r->readOffset += count;
  *bytesRead = static_cast<int>(count);
  return true;
}

bool QueryInetDataAvailable(InetHandle* request, int* bytesAvailable) {
  if (!bytesAvailable) return false;
  *bytesAvailable = 0;
  if (!request || request->kind != InetHandle::Kind::kRequest) return false;
  auto* r = static_cast<RequestHandle*>(request);
  *bytesAvailable = static_cast<int>(r->body.size() - r->readOffset);
  return true;
}

bool QueryInetRawHeaders(InetHandle* request, char* buffer, int* length) {
  if (!length) return false;
  if (!request || request->kind != InetHandle::Kind::kRequest) {
    *length = 0;
    return false;
  }
  auto* r = static_cast<RequestHandle*>(request);
  if (!r->haveResponse) {
    *length = 0;
    return false;
  }
  int needed = static_cast<int>(r->headerBlock.size()) + 1;
  if (!buffer || *length < needed) {
    *length = needed;
    return false;
  }
  std::memcpy(buffer, r->headerBlock.c_str(), static_cast<size_t>(needed));
  *length = needed - 1;
  return true;
}

bool CloseInetHandle(InetHandle* handle) {
  if (!handle) return false;
  delete handle;
  return true;
}

}  // namespace velk::platform
