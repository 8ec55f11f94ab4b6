// A scripted HTTP server for tests, in the test's own process.
//
// It listens on 127.0.0.1 on a port the system picks, serves one connection
// at a time on its own thread, records the exact bytes of every request and
// answers each connection with the next scripted reply (or the default
// handler's). A reply is a list of steps: send bytes, send a block many
// times over, drip bytes one at a time, pause, reset the connection, or hold
// it open without answering. After the last step the
// connection is closed. Every read and wait is bounded, so a test cannot
// hang on the server. With TLS files it speaks TLS on the same terms.
#ifndef VELK_PLATFORM_INET_TESTING_HTTP_SERVER_H_
#define VELK_PLATFORM_INET_TESTING_HTTP_SERVER_H_

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velk::testing {

struct ReplyStep {
  enum class Kind { kSend, kRepeat, kDrip, kPause, kReset, kHold };
  Kind kind = Kind::kSend;
  std::string bytes;
  std::chrono::milliseconds duration{0};
  size_t times = 0;

  static ReplyStep Send(std::string bytes);
  // Sends `bytes` `times` times in a row without holding the whole in
  // memory, until the client stops taking them.
  static ReplyStep Repeat(std::string bytes, size_t times);
  // Sends `bytes` one byte at a time, waiting `interval` before each, until
  // they are all sent or the client closes.
  static ReplyStep Drip(std::string bytes, std::chrono::milliseconds interval);
  static ReplyStep Pause(std::chrono::milliseconds duration);
  // Ends the connection with a TCP reset instead of an orderly close.
  static ReplyStep Reset();
  // Sends nothing until the client closes or `duration` has passed.
  static ReplyStep Hold(std::chrono::milliseconds duration);
};
using Reply = std::vector<ReplyStep>;

// "head" (status line and header lines, separated by CR LF, without a
// final CR LF) followed by a Content-Length line for `body`, the empty line
// and `body`.
std::string HttpResponse(std::string_view head, std::string_view body = {});
// A reply that sends HttpResponse(head, body) at once.
Reply Respond(std::string_view head, std::string_view body = {});

struct TlsFiles {
  std::string certFile;  // PEM, the chain the server presents.
  std::string keyFile;   // PEM.
};

class TestHttpServer {
 public:
  using Handler = std::function<Reply(const std::string& request)>;

  TestHttpServer();
  explicit TestHttpServer(const TlsFiles& tls);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // False when the server could not start (no port, bad TLS files).
  bool ok() const { return listenFd_ >= 0; }
  int port() const { return port_; }
  // "127.0.0.1:PORT".
  std::string HostPort() const;

  // The reply for the next connection that has none yet.
  void Enqueue(Reply reply);
  // The reply for connections when the queue is empty (default: 404).
  void SetHandler(Handler handler);

  // The exact bytes of every request received so far, in order.
  std::vector<std::string> Requests();
  // Connections accepted so far.
  int Connections();

 private:
  struct Peer;
  void Run();
  void Serve(int fd);
  std::string ReadRequest(Peer& peer);
  Reply NextReply(const std::string& request);

  int listenFd_ = -1;
  int port_ = 0;
  void* sslContext_ = nullptr;  // SSL_CTX*, kept opaque here.
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::deque<Reply> queue_;
  Handler handler_;
  std::vector<std::string> requests_;
  int connections_ = 0;
  std::thread thread_;
};

// A throw-away certificate authority, a server certificate it signed for
// 127.0.0.1 and localhost, one it signed for another name only, and a
// self-signed server certificate for 127.0.0.1, made with
// the openssl command in a fresh temporary folder that the destructor
// removes.
class TestCertificates {
 public:
  TestCertificates();
  ~TestCertificates();
  TestCertificates(const TestCertificates&) = delete;
  TestCertificates& operator=(const TestCertificates&) = delete;

  bool ok() const { return ok_; }
  const std::string& caFile() const { return caFile_; }
  TlsFiles signedServer() const { return {serverCert_, serverKey_}; }
  TlsFiles selfSignedServer() const { return {selfCert_, selfKey_}; }
  // Signed by the CA for "other.example" alone.
  TlsFiles wrongNameServer() const { return {otherCert_, serverKey_}; }

 private:
  bool ok_ = false;
  std::string dir_;
  std::string caFile_;
  std::string serverCert_;
  std::string serverKey_;
  std::string selfCert_;
  std::string selfKey_;
  std::string otherCert_;
};

}  // namespace velk::testing

#endif  // VELK_PLATFORM_INET_TESTING_HTTP_SERVER_H_
