// The internet client service: sessions, connections and HTTP/1.1 requests.
//
// A session carries the user agent and the access type (direct, or an
// `http=host:port` proxy list for plain-HTTP requests). A connection names a
// server and a port; a request names a verb, an object name and flags. Every
// handle is closed with CloseInetHandle; closing a null handle does nothing.
// A request keeps what it needs from its connection and session, so handles
// may be closed in any order. Nothing is reported as an error: a failure is a
// null handle, false or a count of 0.
//
// Cookies the servers set are kept in one store for the life of the process
// and sent on later requests to the same server, unless a request has
// kInetFlagNoCookies. The service is meant for one thread at a time per
// request; the cookie store is safe to share between threads.
#ifndef VELK_PLATFORM_INET_INET_H_
#define VELK_PLATFORM_INET_INET_H_

namespace velk::platform {

// Request flags, combined by bitwise or.
// No effect: there is no cache.
inline constexpr unsigned kInetFlagReload = 0x80000000u;
inline constexpr unsigned kInetFlagNeedFile = 0x10u;
// The request neither sends nor stores cookies of the process store.
inline constexpr unsigned kInetFlagNoCookies = 0x80000u;
// A redirect response is returned as it is.
inline constexpr unsigned kInetFlagNoAutoRedirect = 0x200000u;
// TLS on the connection's port, verified against the system's certificates.
inline constexpr unsigned kInetFlagSecure = 0x800000u;
// An automatic redirect from http to https is followed.
inline constexpr unsigned kInetFlagIgnoreRedirectToHttps = 0x4000u;

enum class InetAccess {
  kDirect,  // Straight to the server; proxy settings of the environment
            // are ignored.
  kProxy,   // Through the session's proxy list.
};

struct InetHandle;  // Opaque: a session, a connection or a request.

// Opens a session. `proxyList` is read only for kProxy: "http=host:port"
// sends plain-HTTP requests through that proxy; an empty or malformed list
// means direct. `proxyBypass` and `flags` are accepted and not used.
// Returns null on failure.
InetHandle* OpenInetSession(const char* agent, InetAccess access,
                            const char* proxyList, const char* proxyBypass,
                            unsigned flags);

// Opens a connection to `serverName` on `port` (nothing is sent yet).
// Returns null when `session` is not a session or the name is empty.
InetHandle* ConnectInet(InetHandle* session, const char* serverName, int port);

// Opens a request on `connection`. `verb` null means "GET", `objectName`
// null means "/". `version` must be null or "HTTP/1.1". Returns null on
// failure.
InetHandle* OpenInetRequest(InetHandle* connection, const char* verb,
                            const char* objectName, const char* version,
                            unsigned flags);

// Sends the request and receives the response, following redirects unless
// kInetFlagNoAutoRedirect. The request goes out as: request line (the object
// name percent-encoded; through a proxy, the absolute URL), Host, User-Agent,
// the caller's lines, the store's Cookie line, Content-Length. A caller's
// Host or User-Agent line (any letter case) takes the place of the service's
// own. Redirects (301, 302, 303, 307, 308) are followed at most 10 times;
// http to https only with kInetFlagIgnoreRedirectToHttps, https to http
// never. 303, and 301 or 302 after a POST, continue with GET and no body.
// `headers` holds `headersLength` bytes of header
// lines separated by CR LF (a length of -1 means up to the NUL); a line
// holding a CR or LF of its own, an empty line and a line without a colon
// are not sent. `body` (may be null when `bodyLength` is 0) is sent with a
// Content-Length line when the verb is not GET or the body is not empty.
// The whole request, redirects included, must end within the transfer
// time-out (120 s by default); a transfer that runs past it fails.
// Returns true when a final response arrived completely.
bool SendInetRequest(InetHandle* request, const char* headers,
                     int headersLength, const void* body, int bodyLength);

// Copies up to `capacity` bytes of the response body into `buffer` and
// stores their number in `*bytesRead`: 0 at the end of the body or on any
// failure. Returns false only for a bad handle or argument.
bool ReadInetResponse(InetHandle* request, void* buffer, int capacity,
                      int* bytesRead);

// Stores in `*bytesAvailable` how many body bytes are left to read (0 at
// the end or without a response). Returns false for a bad handle.
bool QueryInetDataAvailable(InetHandle* request, int* bytesAvailable);

// Writes the final response's header block (status line first, each line
// ended by CR LF, an empty line last) and a NUL into `buffer` when both fit
// in `*length` bytes, and sets `*length` to the block's length. When it does
// not fit (or there is no response) it returns false, leaves `buffer`
// untouched and sets `*length` to the size needed (0 without a response).
bool QueryInetRawHeaders(InetHandle* request, char* buffer, int* length);

// Closes any handle. Returns false for null.
bool CloseInetHandle(InetHandle* handle);

}  // namespace velk::platform

#endif  // VELK_PLATFORM_INET_INET_H_
