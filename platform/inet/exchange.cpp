#include "platform/inet/exchange.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/inet/cookie_store.h"
#include "platform/inet/header_text.h"
#include "platform/inet/inet.h"

namespace velk::platform::inet {
namespace {

// A header block larger than this is refused; it keeps a hostile server
// from filling memory with header lines.
constexpr size_t kMaxHeaderBlock = 1024 * 1024;
// Larger receive buffers cut the number of system calls per transfer.
constexpr long kReceiveBuffer = 256 * 1024;

// Every byte that may not stand in a request-target becomes %XX; existing
// "%" sequences are left as they are, so encoding twice changes nothing.
std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || std::strchr("#\"<>\\^`{|}", c) != nullptr) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

// curl drops a line "Name:" with nothing after the colon; "Name;" makes it
// send "Name:" with an empty value.
std::string ForCurl(const std::string& line) {
  size_t colon = line.find(':');
  if (Trim(std::string_view(line).substr(colon + 1)).empty()) {
    return line.substr(0, colon) + ";";
  }
  return line;
}

struct CurlEasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlUrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  size_t length = size * count;
  if (received->blockDone) return length;  // Trailers are not kept.
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  if (line.substr(0, 5) == "HTTP/") {
    // A new status line starts a new block: an interim 1xx block is not
    // the one the caller reads.
    received->headerBlock.clear();
    received->status = 0;
    size_t space = line.find(' ');
    if (space != std::string_view::npos && space + 4 <= line.size()) {
      int status = 0;
      for (size_t i = space + 1; i < space + 4; ++i) {
        char c = line[i];
        if (c < '0' || c > '9') {
          status = 0;
          break;
        }
        status = status * 10 + (c - '0');
      }
      received->status = status;
    }
  }
  if (received->headerBlock.size() + line.size() + 2 > kMaxHeaderBlock) {
    received->headersTooLarge = true;
    return 0;
  }
  received->headerBlock.append(line);
  received->headerBlock.append("\r\n");
  // Room for the announced body up front saves growing it piece by piece.
  constexpr std::string_view kLength = "content-length:";
  if (received->status >= 200 && line.size() > kLength.size() &&
      Lower(line.substr(0, kLength.size())) == kLength) {
    long long announced = std::strtoll(
        std::string(line.substr(kLength.size())).c_str(), nullptr, 10);
    if (announced > 0 && announced <= received->maxBody) {
      received->body.reserve(static_cast<size_t>(announced));
    }
  }
  if (line.empty() && received->status >= 200) received->blockDone = true;
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  size_t length = size * count;
  if (static_cast<int64_t>(received->body.size() + length) >
      received->maxBody) {
    received->bodyTooLarge = true;
    return 0;  // Ends the transfer with an error.
  }
  received->body.append(data, length);
  return length;
}

// Watches a transfer for silence: once connected, a transfer that moves no
// byte for the idle time-out is ended.
struct Progress {
  CURL* easy = nullptr;
  std::chrono::milliseconds idleTimeout{0};
  std::chrono::steady_clock::time_point lastActivity;
  curl_off_t moved = -1;
};

// curl passes the totals it expects before the counts moved so far.
int OnProgress(void* user, curl_off_t /*downloadTotal*/, curl_off_t downloaded,
               curl_off_t /*uploadTotal*/, curl_off_t uploaded) {
  auto* progress = static_cast<Progress*>(user);
  auto now = std::chrono::steady_clock::now();
  curl_off_t connectTime = 0;
  curl_easy_getinfo(progress->easy, CURLINFO_CONNECT_TIME_T, &connectTime);
  curl_off_t moved = downloaded + uploaded;
  if (connectTime == 0 || moved != progress->moved) {
    progress->moved = moved;
    progress->lastActivity = now;
    return 0;
  }
  return now - progress->lastActivity > progress->idleTimeout ? 1 : 0;
}

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string PathOf(const std::string& target) {
  return target.substr(0, target.find('?'));
}

std::string HostLine(const Hop& hop) {
  std::string line = "Host: " + hop.server;
  if (hop.port != (hop.secure ? 443 : 80)) {
    line += ':' + std::to_string(hop.port);
  }
  return line;
}

}  // namespace

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
         (c >= 'A' && c <= 'Z');
}

// The request-target for an object name: percent-encoded, starting "/".
std::string EncodeTarget(std::string_view objectName) {
  std::string out = PercentEncode(objectName);
  if (out.empty() || out[0] != '/') out.insert(0, 1, '/');
  return out;
}

// A server name curl can take as it is: letters, digits, "-", "." and "_".
bool IsPlainServerName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_';
  });
}

// The host:port of an "http=host:port" list; empty for anything else.
std::string ProxyFromList(std::string_view list) {
  list = Trim(list);
  constexpr std::string_view kPrefix = "http=";
  if (list.size() <= kPrefix.size() ||
      !EqualsIgnoreCase(list.substr(0, kPrefix.size()), kPrefix)) {
    return "";
  }
  std::string_view hostPort = list.substr(kPrefix.size());
  size_t colon = hostPort.rfind(':');
  if (colon == std::string_view::npos || colon == 0 ||
      colon + 1 == hostPort.size()) {
    return "";
  }
  std::string host(hostPort.substr(0, colon));
  std::string_view port = hostPort.substr(colon + 1);
  if (!IsPlainServerName(host) ||
      !std::all_of(port.begin(), port.end(),
                   [](char c) { return c >= '0' && c <= '9'; }) ||
      port.size() > 5) {
    return "";
  }
  return std::string(hostPort);
}

// The caller's header text as lines: split at CR LF; an empty line, a line
// holding a lone CR or LF and a line without a name and colon are dropped,
// so no caller text can add a line of its own or end the header block.
std::vector<HeaderLine> CallerLines(std::string_view text) {
  std::vector<HeaderLine> lines;
  while (!text.empty()) {
    size_t end = text.find("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view()
                                         : text.substr(end + 2);
    if (line.find_first_of("\r\n") != std::string_view::npos) continue;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = Trim(line.substr(0, colon));
    if (name.empty()) continue;
    lines.push_back({std::string(name), std::string(line)});
  }
  return lines;
}

bool Exchange(const ExchangeSettings& settings, const Hop& hop,
              const std::vector<HeaderLine>& callerLines,
              bool callerHostApplies, Received& received) {
  std::unique_ptr<CURL, CurlEasyDeleter> easy(curl_easy_init());
  if (!easy) return false;
  CURL* e = easy.get();
  received.maxBody = settings.limits.maxBodyBytes;

  bool viaProxy = !hop.secure && !settings.proxy.empty();
  std::string origin = std::string(hop.secure ? "https://" : "http://") +
                       hop.server + ":" + std::to_string(hop.port);
  if (viaProxy) {
    // curl writes the absolute URL into the request line from CURLOPT_URL.
    curl_easy_setopt(e, CURLOPT_URL, (origin + hop.target).c_str());
    curl_easy_setopt(e, CURLOPT_PROXY, ("http://" + settings.proxy).c_str());
  } else {
    curl_easy_setopt(e, CURLOPT_URL, (origin + "/").c_str());
    curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, hop.target.c_str());
    // An empty proxy also overrides the environment's proxy variables.
    curl_easy_setopt(e, CURLOPT_PROXY, "");
  }
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(settings.limits.connectTimeout.count()));
  // What is left of the request's time; an exchange that starts with none
  // left is not made.
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      settings.deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  if (settings.deadline != std::chrono::steady_clock::time_point::max()) {
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
  }
  Progress progress;
  progress.easy = e;
  progress.idleTimeout = settings.limits.idleTimeout;
  progress.lastActivity = std::chrono::steady_clock::now();
  curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(e, CURLOPT_XFERINFODATA, &progress);
  if (hop.secure) {
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caFile.empty()) {
      curl_easy_setopt(e, CURLOPT_CAINFO, settings.caFile.c_str());
    }
  }
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &received);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &received);

  if (hop.verb == "HEAD") {
    curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
  } else {
    curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
  }
  if (hop.sendBody) {
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(hop.body.size()));
    curl_easy_setopt(e, CURLOPT_POSTFIELDS,
                     hop.body.empty() ? "" : hop.body.data());
  }

  // The header lines in wire order: Host, User-Agent, the caller's lines,
  // the store's Cookie line. A caller's Host or User-Agent line takes the
  // place of the service's own.
  const HeaderLine* callerHost = nullptr;
  const HeaderLine* callerAgent = nullptr;
  bool has[4] = {false, false, false, false};  // Accept, Content-Type,
                                               // Expect, Proxy-Connection.
  for (const HeaderLine& h : callerLines) {
    if (EqualsIgnoreCase(h.name, "Host") && !callerHost) callerHost = &h;
    if (EqualsIgnoreCase(h.name, "User-Agent") && !callerAgent) {
      callerAgent = &h;
    }
    if (EqualsIgnoreCase(h.name, "Accept")) has[0] = true;
    if (EqualsIgnoreCase(h.name, "Content-Type")) has[1] = true;
    if (EqualsIgnoreCase(h.name, "Expect")) has[2] = true;
    if (EqualsIgnoreCase(h.name, "Proxy-Connection")) has[3] = true;
  }
  if (!callerHostApplies) callerHost = nullptr;
  curl_slist* raw = nullptr;
  auto add = [&raw](const std::string& line) {
    curl_slist* more = curl_slist_append(raw, line.c_str());
    if (more) raw = more;
  };
  add(callerHost ? ForCurl(callerHost->line) : HostLine(hop));
  if (callerAgent) {
    add(ForCurl(callerAgent->line));
  } else if (!settings.agent.empty() &&
             settings.agent.find_first_of("\r\n") == std::string::npos) {
    add("User-Agent: " + settings.agent);
  }
  for (const HeaderLine& h : callerLines) {
    if (&h == callerAgent || &h == callerHost) continue;
    // A caller's Host line for another server is not carried along a
    // redirect.
    if (!callerHostApplies && EqualsIgnoreCase(h.name, "Host")) continue;
    add(ForCurl(h.line));
  }
  if (!(settings.flags & kInetFlagNoCookies)) {
    std::string cookies = ProcessCookieStore().CookieHeader(
        hop.server, PathOf(hop.target), hop.secure, NowSeconds());
    if (!cookies.empty()) add("Cookie: " + cookies);
  }
  // Lines curl would add of its own accord are switched off.
  if (!has[0]) add("Accept:");
  if (!has[1]) add("Content-Type:");
  if (!has[2]) add("Expect:");
  if (!has[3]) add("Proxy-Connection:");
  std::unique_ptr<curl_slist, SlistDeleter> headerList(raw);
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList.get());

  CURLcode code = curl_easy_perform(e);
  if (received.bodyTooLarge) received.body.clear();

  if (received.blockDone && !(settings.flags & kInetFlagNoCookies)) {
    std::string_view block = received.headerBlock;
    int64_t now = NowSeconds();
    while (!block.empty()) {
      size_t end = block.find("\r\n");
      std::string_view line = block.substr(0, end);
      block = end == std::string_view::npos ? std::string_view()
                                            : block.substr(end + 2);
      size_t colon = line.find(':');
      if (colon != std::string_view::npos &&
          EqualsIgnoreCase(Trim(line.substr(0, colon)), "Set-Cookie")) {
        ProcessCookieStore().Store(Trim(line.substr(colon + 1)), hop.server,
                                   PathOf(hop.target), now);
      }
    }
  }
  return code == CURLE_OK;
}

std::string LocationOf(const std::string& headerBlock) {
  std::string location;
  std::string_view block = headerBlock;
  while (!block.empty()) {
    size_t end = block.find("\r\n");
    std::string_view line = block.substr(0, end);
    block = end == std::string_view::npos ? std::string_view()
                                          : block.substr(end + 2);
    size_t colon = line.find(':');
    if (colon != std::string_view::npos &&
        EqualsIgnoreCase(Trim(line.substr(0, colon)), "Location")) {
      location = std::string(Trim(line.substr(colon + 1)));
    }
  }
  return location;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 ||
         status == 308;
}

// Points `hop` at the redirect target `location`, resolved against the
// hop's own address. False when the target cannot or may not be followed.
bool Redirect(Hop& hop, unsigned flags, const std::string& location) {
  // The fragment is not sent; the rest may hold bytes a URL may not, which
  // are encoded as in a request-target (scheme and host are unaffected).
  std::string encoded =
      PercentEncode(std::string_view(location).substr(0, location.find('#')));
  std::unique_ptr<CURLU, CurlUrlDeleter> url(curl_url());
  if (!url) return false;
  std::string current = std::string(hop.secure ? "https://" : "http://") +
                        hop.server + ":" + std::to_string(hop.port) +
                        hop.target;
  if (curl_url_set(url.get(), CURLUPART_URL, current.c_str(), 0) != CURLUE_OK ||
      curl_url_set(url.get(), CURLUPART_URL, encoded.c_str(), 0) != CURLUE_OK) {
    return false;
  }
  auto part = [&url](CURLUPart which, unsigned partFlags) {
    char* value = nullptr;
    std::string out;
    if (curl_url_get(url.get(), which, &value, partFlags) == CURLUE_OK &&
        value) {
      out = value;
    }
    curl_free(value);
    return out;
  };
  std::string scheme = Lower(part(CURLUPART_SCHEME, 0));
  bool secure;
  if (scheme == "https") {
    secure = true;
  } else if (scheme == "http") {
    secure = false;
  } else {
    return false;
  }
  // http to https only with the flag; https never falls back to http.
  if (secure && !hop.secure && !(flags & kInetFlagIgnoreRedirectToHttps)) {
    return false;
  }
  if (!secure && hop.secure) return false;
  std::string server = Lower(part(CURLUPART_HOST, 0));
  std::string port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
  std::string path = part(CURLUPART_PATH, 0);
  std::string query = part(CURLUPART_QUERY, 0);
  if (!IsPlainServerName(server) || port.empty()) return false;
  hop.secure = secure;
  hop.server = server;
  hop.port = std::stoi(port);
  hop.target = EncodeTarget(query.empty() ? path : path + "?" + query);
  return true;
}

}  // namespace velk::platform::inet
