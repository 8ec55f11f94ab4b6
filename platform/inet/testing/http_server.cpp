#include "platform/inet/testing/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velk::testing {
namespace {

constexpr std::chrono::milliseconds kSocketTimeout{5000};
constexpr std::chrono::milliseconds kTick{20};
constexpr size_t kMaxRequest = 64 * 1024 * 1024;

SSL_CTX* AsContext(void* context) { return static_cast<SSL_CTX*>(context); }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The Content-Length of a request head; 0 when it has none.
size_t ContentLength(const std::string& head) {
  std::string lower = Lower(head);
  size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return std::strtoull(lower.c_str() + at + 17, nullptr, 10);
}

// Waits up to `duration` (in ticks, so that a stopping server is not held
// up) and tells whether the client closed its end meanwhile.
bool PeerClosed(int fd, std::chrono::milliseconds duration) {
  auto end = std::chrono::steady_clock::now() + duration;
  do {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    int wait = static_cast<int>(
        std::clamp(left, std::chrono::milliseconds(0), kTick).count());
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, wait) > 0) {
      if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) return true;
      char scratch[4096];
      long n = recv(fd, scratch, sizeof(scratch), MSG_DONTWAIT | MSG_PEEK);
      if (n == 0) return true;
      // Bytes the client sends after its request are dropped.
      if (n > 0) recv(fd, scratch, static_cast<size_t>(n), MSG_DONTWAIT);
    }
  } while (std::chrono::steady_clock::now() < end);
  return false;
}

}  // namespace

ReplyStep ReplyStep::Send(std::string bytes) {
  ReplyStep step;
  step.kind = Kind::kSend;
  step.bytes = std::move(bytes);
  return step;
}

ReplyStep ReplyStep::Repeat(std::string bytes, size_t times) {
  ReplyStep step;
  step.kind = Kind::kRepeat;
  step.bytes = std::move(bytes);
  step.times = times;
  return step;
}

ReplyStep ReplyStep::Drip(std::string bytes,
                          std::chrono::milliseconds interval) {
  ReplyStep step;
  step.kind = Kind::kDrip;
  step.bytes = std::move(bytes);
  step.duration = interval;
  return step;
}

ReplyStep ReplyStep::Pause(std::chrono::milliseconds duration) {
  ReplyStep step;
  step.kind = Kind::kPause;
  step.duration = duration;
  return step;
}

ReplyStep ReplyStep::Reset() {
  ReplyStep step;
  step.kind = Kind::kReset;
  return step;
}

ReplyStep ReplyStep::Hold(std::chrono::milliseconds duration) {
  ReplyStep step;
  step.kind = Kind::kHold;
  step.duration = duration;
  return step;
}

std::string HttpResponse(std::string_view head, std::string_view body) {
  std::string out(head);
  out += "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out += body;
  return out;
}

Reply Respond(std::string_view head, std::string_view body) {
  return {ReplyStep::Send(HttpResponse(head, body))};
}

// One accepted connection, plain or TLS.
struct TestHttpServer::Peer {
  int fd = -1;
  SSL* ssl = nullptr;

  // Bytes read, 0 at the end, -1 on error or time-out.
  long Read(char* buffer, size_t size) {
    if (ssl) {
      int n = SSL_read(ssl, buffer, static_cast<int>(size));
      return n > 0 ? n
                   : (SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
    }
    return recv(fd, buffer, size, 0);
  }
  bool Write(std::string_view bytes) {
    while (!bytes.empty()) {
      long n =
          ssl ? SSL_write(
                    ssl, bytes.data(),
                    static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20)))
              : send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }
};

TestHttpServer::TestHttpServer() : TestHttpServer(TlsFiles{}) {}

TestHttpServer::TestHttpServer(const TlsFiles& tls) {
  signal(SIGPIPE, SIG_IGN);
  if (!tls.certFile.empty()) {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context ||
        SSL_CTX_use_certificate_chain_file(context, tls.certFile.c_str()) !=
            1 ||
        SSL_CTX_use_PrivateKey_file(context, tls.keyFile.c_str(),
                                    SSL_FILETYPE_PEM) != 1) {
      SSL_CTX_free(context);
      return;
    }
    sslContext_ = context;
  }
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    return;
  }
  listenFd_ = fd;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

TestHttpServer::~TestHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
  SSL_CTX_free(AsContext(sslContext_));
}

std::string TestHttpServer::HostPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

void TestHttpServer::Enqueue(Reply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(reply));
}

void TestHttpServer::SetHandler(Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = std::move(handler);
}

std::vector<std::string> TestHttpServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

int TestHttpServer::Connections() {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

void TestHttpServer::Run() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(kTick.count())) <= 0) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    timeval timeout{};
    timeout.tv_sec = kSocketTimeout.count() / 1000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++connections_;
    }
    Serve(fd);
  }
}

std::string TestHttpServer::ReadRequest(Peer& peer) {
  std::string request;
  char buffer[16384];
  size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos && request.size() < kMaxRequest) {
    long n = peer.Read(buffer, sizeof(buffer));
    if (n <= 0) return request;
    request.append(buffer, static_cast<size_t>(n));
    headEnd = request.find("\r\n\r\n");
  }
  if (headEnd == std::string::npos) return request;
  size_t total = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
  while (request.size() < total && request.size() < kMaxRequest) {
    long n =
        peer.Read(buffer, std::min(sizeof(buffer), total - request.size()));
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  return request;
}

Reply TestHttpServer::NextReply(const std::string& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(request);
  if (!queue_.empty()) {
    Reply reply = std::move(queue_.front());
    queue_.pop_front();
    return reply;
  }
  if (handler_) return handler_(request);
  return Respond("HTTP/1.1 404 Not Found");
}

void TestHttpServer::Serve(int fd) {
  Peer peer;
  peer.fd = fd;
  if (sslContext_) {
    peer.ssl = SSL_new(AsContext(sslContext_));
    SSL_set_fd(peer.ssl, fd);
    if (SSL_accept(peer.ssl) != 1) {
      ERR_clear_error();
      SSL_free(peer.ssl);
      close(fd);
      return;
    }
  }
  std::string request = ReadRequest(peer);
  // A client that sent nothing (a TLS client that refused the certificate,
  // say) made no request and gets no reply.
  Reply reply;
  if (!request.empty()) reply = NextReply(request);
  bool reset = false;
  for (const ReplyStep& step : reply) {
    if (stop_) break;
    if (step.kind == ReplyStep::Kind::kSend) {
      if (!peer.Write(step.bytes)) break;
    } else if (step.kind == ReplyStep::Kind::kRepeat) {
      bool sent = true;
      for (size_t i = 0; i < step.times && sent && !stop_; ++i) {
        sent = peer.Write(step.bytes);
      }
      if (!sent) break;
    } else if (step.kind == ReplyStep::Kind::kDrip) {
      bool sent = true;
      for (size_t i = 0; i < step.bytes.size() && sent && !stop_; ++i) {
        // The wait ends early when the client has closed, so a client that
        // gave up does not keep the next connection waiting.
        if (PeerClosed(fd, step.duration)) {
          sent = false;
          break;
        }
        sent = peer.Write(std::string_view(step.bytes).substr(i, 1));
      }
      if (!sent) break;
    } else if (step.kind == ReplyStep::Kind::kPause) {
      std::this_thread::sleep_for(step.duration);
    } else if (step.kind == ReplyStep::Kind::kReset) {
      reset = true;
      break;
    } else {
      auto end = std::chrono::steady_clock::now() + step.duration;
      while (!stop_ && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(kTick.count())) <= 0) continue;
        char scratch[4096];
        if (recv(fd, scratch, sizeof(scratch), MSG_DONTWAIT) <= 0) break;
      }
    }
  }
  if (reset) {
    linger abort{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
  } else if (peer.ssl) {
    SSL_shutdown(peer.ssl);
  }
  SSL_free(peer.ssl);
  close(fd);
}

namespace {

bool RunQuiet(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

TestCertificates::TestCertificates() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "velk-certs-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return;
  dir_ = pattern;
  caFile_ = dir_ + "/ca.pem";
  serverCert_ = dir_ + "/server.pem";
  serverKey_ = dir_ + "/server.key";
  selfCert_ = dir_ + "/self.pem";
  selfKey_ = dir_ + "/self.key";
  otherCert_ = dir_ + "/other.pem";

  const std::string d = "'" + dir_ + "'";
  const std::string newKey =
      "timeout 60 openssl req -newkey ec -pkeyopt "
      "ec_paramgen_curve:prime256v1 -nodes ";
  // Signs the server key's request for the names in `altNames`.
  auto sign = [&](const std::string& name, const std::string& altNames) {
    std::ofstream(dir_ + "/" + name + ".ext")
        << "subjectAltName=" << altNames
        << "\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
           "extendedKeyUsage=serverAuth\n";
    return RunQuiet("timeout 60 openssl x509 -req -in " + d +
                    "/server.csr -CA " + d + "/ca.pem -CAkey " + d +
                    "/ca.key -CAcreateserial -days 2 -out " + d + "/" + name +
                    ".pem -extfile " + d + "/" + name + ".ext");
  };
  ok_ = RunQuiet(newKey + "-x509 -keyout " + d + "/ca.key -out " + d +
                 "/ca.pem -days 2 -subj '/CN=Test CA' -addext "
                 "basicConstraints=critical,CA:TRUE -addext "
                 "keyUsage=critical,keyCertSign,cRLSign") &&
        RunQuiet(newKey + "-keyout " + d + "/server.key -out " + d +
                 "/server.csr -subj '/CN=127.0.0.1'") &&
        sign("server", "IP:127.0.0.1,DNS:localhost") &&
        sign("other", "DNS:other.example") &&
        RunQuiet(newKey + "-x509 -keyout " + d + "/self.key -out " + d +
                 "/self.pem -days 2 -subj '/CN=127.0.0.1' -addext "
                 "subjectAltName=IP:127.0.0.1,DNS:localhost");
}

TestCertificates::~TestCertificates() {
  if (!dir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
}

}  // namespace velk::testing
