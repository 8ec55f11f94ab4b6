#include "net/web_fetch.h"

#include <string>
#include <utility>

#include "net/request.h"
#include "net/response.h"
#include "net/url.h"
#include "platform/inet/inet.h"

namespace velk {
namespace {

namespace inet = velk::platform;

constexpr int kReadPiece = 1024;
constexpr int kHeaderBuffer = 5000;

// Closes the request, then the connection, then the session, on every path.
struct Handles {
  inet::InetHandle* session = nullptr;
  inet::InetHandle* connection = nullptr;
  inet::InetHandle* request = nullptr;
  ~Handles() {
    inet::CloseInetHandle(request);
    inet::CloseInetHandle(connection);
    inet::CloseInetHandle(session);
  }
};

Bytes Fetch(const Text& url, FetchRequest& request, FetchResult& result,
            int followUps) {
  const char* verb = request.method == 1 ? "POST" : "GET";
  Text agent = FetchAgent(request.headers);

  Handles handles;
  if (request.proxyGiven) {
    Text proxyList = ConcatText("http=", request.proxy);
    handles.session = inet::OpenInetSession(
        agent.c_str(), inet::InetAccess::kProxy, proxyList.c_str(), "", 0);
  } else {
    handles.session = inet::OpenInetSession(
        agent.c_str(), inet::InetAccess::kDirect, nullptr, nullptr, 0);
  }
  if (!handles.session) return Bytes();
  handles.connection =
      inet::ConnectInet(handles.session, UrlHost(url).c_str(), UrlPort(url));
  if (!handles.connection) return Bytes();
  handles.request =
      inet::OpenInetRequest(handles.connection, verb, UrlPath(url).c_str(),
                            "HTTP/1.1", FetchFlags(request, url));
  if (!handles.request) return Bytes();

  Text cookieLine = AppendDefaultLines(url, request);
  const Text& headers = request.headers;
  if (request.method != 0) {
    if (request.postBytes.empty()) {
      request.postBytes = TextToBytes(request.postText);
    }
    inet::SendInetRequest(
        handles.request, headers.c_str(), TextLength(headers),
        request.postBytes.empty() ? nullptr : request.postBytes.data(),
        BytesLength(request.postBytes));
  } else {
    inet::SendInetRequest(handles.request, headers.c_str(), TextLength(headers),
                          "", 0);
  }

  // One growing buffer, sized up front to what the service holds.
  std::string bodyBytes;
  int available = 0;
  inet::QueryInetDataAvailable(handles.request, &available);
  if (available > 0) bodyBytes.reserve(static_cast<size_t>(available));
  for (;;) {
    char piece[kReadPiece] = {};
    int count = 0;
    inet::ReadInetResponse(handles.request, piece, kReadPiece, &count);
    if (count <= 0) break;
    bodyBytes.append(piece, static_cast<size_t>(count));
  }
  Bytes body(std::move(bodyBytes));

  // A block that does not fit leaves the blanks in place.
  std::string buffer(kHeaderBuffer, ' ');
  int length = kHeaderBuffer;
  inet::QueryInetRawHeaders(handles.request, buffer.data(), &length);
  result.rawHeaders = Text(buffer.c_str());

  inet::CloseInetHandle(handles.request);
  handles.request = nullptr;
  inet::CloseInetHandle(handles.connection);
  handles.connection = nullptr;
  inet::CloseInetHandle(handles.session);
  handles.session = nullptr;

  ResponseOutcome outcome = InterpretResponse(url, request, result, body,
                                              followUps < kMaxMovedFollowUps);
  if (!outcome.followUp) return outcome.body;

  // The follow-up sends the current (possibly merged) cookie list in its
  // own Cookie line, so the one this call appended is taken out first.
  if (!cookieLine.empty() &&
      CompareText(TextRight(request.headers, TextLength(cookieLine)),
                  cookieLine) == 0) {
    request.headers = TextLeft(
        request.headers, TextLength(request.headers) - TextLength(cookieLine));
  }
  return Fetch(outcome.nextUrl, request, result, followUps + 1);
}

}  // namespace

Bytes WebFetch(FetchRequest& request, FetchResult& result) {
  return Fetch(request.url, request, result, 0);
}

}  // namespace velk
